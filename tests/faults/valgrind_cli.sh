#!/bin/sh
# One whole track download of wegmate-cli from its built-in simulator on a
# pseudo terminal, under valgrind's memory checker: any error or leak fails.
# Exit status 77 (skipped) when valgrind is missing or the program carries
# the address sanitizer, which valgrind cannot run.
cli="$1"
if ! command -v valgrind >/dev/null 2>&1; then
    echo "valgrind is not installed: the memory check is skipped"
    exit 77
fi
if ldd "$cli" 2>/dev/null | grep -q 'libasan'; then
    echo "wegmate-cli is built with the address sanitizer: the valgrind check is skipped"
    exit 77
fi
dir=$(mktemp -d /tmp/wegmate-valgrind-XXXXXX) || exit 1
trap 'rm -rf "$dir"' EXIT
valgrind --error-exitcode=1 --leak-check=full --log-file="$dir/valgrind.log" \
    "$cli" download tracks --port sim --format mif --objects points -o "$dir/tracks.mif"
status=$?
cat "$dir/valgrind.log"
if [ $status -ne 0 ]; then
    echo "wegmate-cli under valgrind ended with status $status"
    exit 1
fi
if ! grep -q "ERROR SUMMARY: 0 errors" "$dir/valgrind.log"; then
    echo "valgrind reported errors"
    exit 1
fi
# The sample data: two track logs of 120 points each.
points=$(grep -c '^Point' "$dir/tracks.mif")
if [ "$points" -ne 240 ]; then
    echo "expected 240 points in the MIF file, found $points"
    exit 1
fi
echo "clean: 240 points downloaded under valgrind"
