#!/bin/bash
# The libraries stand in layers, from the bottom up:
#   platform model records formats link transfers commands
# with the front ends (ui cli) and the simulator (sim) on top. A file of a
# library may include headers of its own library and of those below it, never
# of one above. Within a library no two files stand in a circle: when a file
# of unit A (a.cpp, a.h) includes b.h, no file of unit B includes a.h. Prints
# every include that goes up and every circle, and fails when there is one.
#
#   tests/layering.sh [SOURCE_DIR]
set -u
cd "${1:-$(dirname "$0")/..}" || exit 2
layers=(platform model records formats link transfers commands)
rank() {
    local i
    for i in "${!layers[@]}"; do
        [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }
    done
    echo -1
}
bad=0
checked=0
for lib in "${layers[@]}"; do
    own=$(rank "$lib")
    for file in "$lib"/*.cpp "$lib"/*.h; do
        [ -e "$file" ] || continue
        checked=$((checked + 1))
        while IFS=: read -r line dir; do
            used=$(rank "$dir")
            if [ "$used" -gt "$own" ] || [ "$dir" = ui ] || [ "$dir" = cli ] || [ "$dir" = sim ] || [ "$dir" = tests ]; then
                echo "$file:$line: includes a header of $dir/, a layer above $lib/"
                bad=1
            fi
        done < <(grep -n -o -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z_]+/' "$file" |
                 sed -E 's/^([0-9]+):.*"([a-z_]+)\/$/\1:\2/')
    done
done
# Circles between two units of one library (ui and cli included).
for lib in "${layers[@]}" ui cli; do
    edges=$(for file in "$lib"/*.cpp "$lib"/*.h; do
                [ -e "$file" ] || continue
                unit=$(basename "${file%.*}")
                grep -o -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"'"$lib"'/[a-z_]+\.h"' "$file" |
                    sed -E 's/.*\/([a-z_]+)\.h"$/\1/' | while read -r used; do
                        [ "$used" != "$unit" ] && echo "$unit $used"
                    done
            done | sort -u)
    while read -r a b; do
        [ -n "$a" ] || continue
        if [[ "$a" < "$b" ]] && grep -qx "$b $a" <<<"$edges"; then
            echo "$lib/: $a and $b include each other's headers"
            bad=1
        fi
    done <<<"$edges"
done
[ "$checked" -gt 0 ] || { echo "layering: no source files found"; exit 2; }
[ $bad -eq 0 ] && echo "layering: $checked files, no include goes up, no circle within a library"
exit $bad
