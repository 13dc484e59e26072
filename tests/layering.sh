#!/bin/bash
# The libraries stand in layers, from the bottom up:
#   platform model records formats link transfers commands
# with the front ends (ui cli) and the simulator (sim) on top. A file of a
# library may include headers of its own library and of those below it, never
# of one above. Prints every include that goes up and fails when there is one.
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
[ "$checked" -gt 0 ] || { echo "layering: no source files found"; exit 2; }
[ $bad -eq 0 ] && echo "layering: $checked files, no include goes up"
exit $bad
