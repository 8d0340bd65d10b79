# Bash completion of rastelle-cli(1): its options (from its --help), the values of the options
# that take one, and image files for FILE.

# Every option that takes a value, and what completes it: a fixed set of words, @syntaxes
# (the presets, from "--syntax list"), @files, or nothing for free text.
declare -gA _rastelle_cli_values=(
    [--threshold]=""
    [--fill]="none zeros ones"
    [--dither]="none ordered floyd-steinberg atkinson"
    [--background]="white black"
    [--width-unit]="bits bytes"
    [--syntax]="@syntaxes"
    [--label]=""
    [--label-prefix]=""
    [--frames]="first all"
    [--layout]="rows pages"
    [--bit-order]="msb lsb"
    [--cell]=""
    [--size]=""
    [--cell-order]="rows columns"
    [--mask]="alpha"
    [--mask-bit]="transparent opaque"
    [--mask-layout]="before after block"
    [-o]="@files"
    [--output]="@files"
)

_rastelle_cli() {
    local program=${COMP_WORDS[0]} cur=${COMP_WORDS[COMP_CWORD]} prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    # "--fill=z" comes as the words "--fill", "=", "z".
    if [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    COMPREPLY=()
    if [[ -v _rastelle_cli_values[$prev] ]]; then
        local values=${_rastelle_cli_values[$prev]}
        case $values in
            @syntaxes)
                values="$("$program" --syntax list 2>/dev/null | awk '/^  [^ ]/ { print $1 }') list"
                ;;
            @files)
                compopt -o filenames 2>/dev/null
                mapfile -t COMPREPLY < <(compgen -f -- "$cur")
                return 0
                ;;
        esac
        mapfile -t COMPREPLY < <(compgen -W "$values" -- "$cur")
        return 0
    fi
    if [[ $cur == -* ]]; then
        local options
        options=$("$program" --help 2>/dev/null | grep -oE -- '^  (-[a-zA-Z], )?--[a-z-]+(, --[a-z-]+)?' |
            grep -oE -- '-{1,2}[a-zA-Z][a-z-]*')
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return 0
    fi
    # Folders, and the files the program reads, by their usual names.
    compopt -o filenames 2>/dev/null
    local name
    while IFS= read -r name; do
        if [[ -d $name ]] || [[ ${name,,} =~ \.(bmp|png|gif|tga|pgm|ppm|pnm|psd|jpe?g)$ ]]; then
            COMPREPLY+=("$name")
        fi
    done < <(compgen -f -- "$cur")
    return 0
}
complete -F _rastelle_cli rastelle-cli
