#!/bin/sh
# man-page-test.sh PROGRAM MANPAGE: the page renders without a warning and names every option
# that PROGRAM's --help lists.
set -eu
program=$1
page=$2
lint=$(mandoc -T lint -W warning "$page" 2>&1) || { echo "$lint"; exit 1; }
groff -ww -z -man "$page"
missing=
for option in $("$program" --help | grep -oE -- '^  (-[a-zA-Z], )?--[a-z-]+(, --[a-z-]+)?' |
    grep -oE -- '-{1,2}[a-zA-Z][a-z-]*'); do
    # An item of the page's option list, where each dash is written \-.
    escaped=$(printf '%s' "$option" | sed 's/-/\\\\-/g')
    grep -qE -- "^\.B[IR]? (.* )?$escaped( |\"|\$)" "$page" || missing="$missing $option"
done
if [ -n "$missing" ]; then
    echo "options of --help missing from $page:$missing"
    exit 1
fi
