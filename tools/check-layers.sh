#!/usr/bin/env bash
# Fails when a file under src/ includes from a folder above its own.
#
# The order is the one written in README.md, in the fenced block that starts
# with ```layers: each line is a chain "low < ... < high", and a folder may
# include from its own folder and from every folder below it in any chain.
# src/main.cpp sits above everything.
#   tools/check-layers.sh [ROOT]
set -uo pipefail
root="${1:-$(dirname "${BASH_SOURCE[0]}")/..}"
cd "$root" || exit 2

chains="$(awk '/^```layers/ { inside = 1; next } /^```/ { inside = 0 } inside' README.md)"
if [ -z "$chains" ]; then
    echo "check-layers: README.md has no \`\`\`layers block"
    exit 2
fi

# below[F] = the folders F may include from (space separated, F itself too).
declare -A below
while read -r line; do
    [ -z "$line" ] && continue
    IFS='<' read -ra names <<<"$line"
    seen=""
    for name in "${names[@]}"; do
        name="${name// /}"
        below[$name]="${below[$name]:-} $seen $name"
        seen="$seen $name"
    done
done <<<"$chains"
# Transitive: what a lower folder may use, a higher one may use too.
changed=1
while ((changed)); do
    changed=0
    for folder in "${!below[@]}"; do
        for lower in ${below[$folder]}; do
            for item in ${below[$lower]:-}; do
                if [[ " ${below[$folder]} " != *" $item "* ]]; then
                    below[$folder]="${below[$folder]} $item"
                    changed=1
                fi
            done
        done
    done
done

status=0
for dir in src/*/; do
    folder="$(basename "$dir")"
    if [ -z "${below[$folder]:-}" ]; then
        echo "check-layers: src/$folder is in no chain of README.md's layers block"
        status=1
        continue
    fi
    while IFS=: read -r file line target; do
        used="${target%%/*}"
        if [[ " ${below[$folder]} " != *" $used "* ]]; then
            echo "$file:$line: $folder includes $target, from a layer above or beside it"
            status=1
        fi
    done < <(grep -rnoE '^#include "[a-z0-9_]+/[^"]+"' "$dir" | sed -E 's/#include "([^"]+)"/\1/')
done
((status == 0)) && echo "check-layers: every include in src/ points down"
exit $status
