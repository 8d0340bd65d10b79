#!/usr/bin/env bash
# stage-order-test.sh ENGINE_DIR
# Each folder of the engine includes only the shared folder, its own and earlier stages'
# headers, named by their folder: the data goes one way, and a stage can be read without the
# ones after it.
set -euo pipefail
cd "$1"
stages=(common image picture layout text preview back conversion)
rank() {
    local i
    for i in "${!stages[@]}"; do
        if [[ ${stages[i]} == "$1" ]]; then
            echo "$i"
            return
        fi
    done
    echo -1
}
failed=0
while IFS= read -r file; do
    own=$(rank "${file%%/*}")
    if ((own < 0)); then
        echo "$file: in no stage's folder"
        failed=1
        continue
    fi
    while IFS= read -r included; do
        theirs=$(rank "${included%%/*}")
        if [[ $included != */* ]] || ((theirs < 0)); then
            echo "$file: includes \"$included\", which names no stage's folder"
            failed=1
        elif ((theirs > own)); then
            echo "$file: includes \"$included\", of a later stage"
            failed=1
        fi
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort)
exit "$failed"
