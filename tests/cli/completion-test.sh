#!/usr/bin/env bash
# completion-test.sh PROGRAM COMPLETION: what Tab offers after each command line, as bash's
# completion would call the function.
set -u
PATH=$(dirname "$1"):$PATH
# shellcheck source=/dev/null
source "$2"
cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
touch sprite.bmp TILES.PNG notes.txt && mkdir art
failed=0
# The words typed so far (the last one being completed) | what Tab offers
while IFS='|' read -r line expected; do
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _rastelle_cli
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
    if [[ $got != "$expected " ]]; then
        echo "after '$line': got '$got', expected '$expected '"
        failed=1
    fi
done <<'EOF_CASES'
rastelle-cli --syntax z|zilog
rastelle-cli --syntax l|list
rastelle-cli --fill = o|ones
rastelle-cli --width-unit b|bits bytes
rastelle-cli --frames |all first
rastelle-cli --cen|--center --centre
rastelle-cli -o no|notes.txt
rastelle-cli --threshold |
rastelle-cli --rotate |180 270 90
rastelle-cli --resize |
rastelle-cli --fit = c|contain cover
rastelle-cli |TILES.PNG art sprite.bmp
EOF_CASES
exit "$failed"
