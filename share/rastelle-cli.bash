# Bash completion of rastelle-cli(1): its options and the values of the options that take one,
# both from its --help, and image files for FILE.

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
    # What an option takes, as its line of --help names it: "--fill none|zeros|ones" offers
    # the words, "-o, --output OUT" files, "--syntax NAME" and "--target NAME" the names that
    # "--syntax list" and "--target list" show; other capitals (N, WxH, TEXT) stand for free
    # text. An option that takes none has no word one space after it there.
    local option=$prev value=''
    [[ $option == -o ]] && option=--output
    [[ $option == --* ]] && value=$("$program" --help 2>/dev/null | awk -v option="$option" '
        { sub(/^  -o, /, "  ") }
        index($0, "  " option " ") == 1 && substr($0, length(option) + 4, 1) != " " { print $2; exit }')
    if [[ -n $value ]]; then
        local values='' word
        if [[ $option == --syntax || $option == --target ]]; then
            values="$("$program" "$option" list 2>/dev/null | awk '/^  [^ ]/ { print $1 }') list"
        elif [[ $value == OUT ]]; then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return 0
        fi
        for word in ${value//|/ }; do
            [[ $word =~ ^[a-z] ]] && values+=" $word"
        done
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
