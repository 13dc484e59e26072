#!/bin/bash
# The same MIF conversion by GDAL's ogr2ogr, for comparison with the
# program's MIF reader and writer (bench_formats): N points (default 20000)
# as point objects and as one line object, written by wegmate-cli from
# wegmate-sim, read and written again by ogr2ogr. Best of three runs.
#   bench/report/ogr_compare.sh BUILD-DIR OUTPUT-DIR [N]
build="$1"
out="$2"
n="${3:-20000}"
cli="$build/wegmate/cli/wegmate-cli"
sim="$build/wegmate/wegmate-sim"
mkdir -p "$out"
if ! command -v ogr2ogr >/dev/null 2>&1; then
    echo "ogr2ogr is not installed: comparison skipped" | tee "$out/ogr2ogr.tsv"
    exit 0
fi
work=$(mktemp -d /tmp/wegmate-ogr-XXXXXX) || exit 1
simpid=
trap '[ -n "$simpid" ] && kill "$simpid" 2>/dev/null; rm -rf "$work"' EXIT

"$sim" --profile etrex --generate "0,0,0,1,$n" >"$work/sim.out" 2>/dev/null &
simpid=$!
for _ in $(seq 100); do
    tty=$(head -n1 "$work/sim.out" 2>/dev/null)
    [ -n "$tty" ] && break
    sleep 0.1
done
"$cli" download tracks --port "$tty" --format mif --objects points -o "$work/points.mif" >/dev/null 2>&1
"$cli" download tracks --port "$tty" --format mif --objects lines -o "$work/lines.mif" >/dev/null 2>&1
kill "$simpid" 2>/dev/null
wait "$simpid" 2>/dev/null
simpid=

best() {  # best wall time of three runs of the command, in ms
    local best_ms=
    for _ in 1 2 3; do
        rm -rf "$work/conv"
        mkdir -p "$work/conv"
        local t0 t1
        t0=$(date +%s%N)
        "$@" >/dev/null 2>&1 || { echo "failed"; return; }
        t1=$(date +%s%N)
        local ms=$(((t1 - t0) / 1000000))
        if [ -z "$best_ms" ] || [ "$ms" -lt "$best_ms" ]; then best_ms=$ms; fi
    done
    echo "$best_ms"
}

{
    echo -e "conversion\tobjects\tfeatures_out\tbest_ms"
    for kind in points lines; do
        ms=$(best ogr2ogr -f "MapInfo File" -dsco FORMAT=MIF "$work/conv/out.mif" "$work/$kind.mif")
        features=$(ogrinfo -al -so "$work/conv/out.mif" 2>/dev/null | awk -F': ' '/Feature Count/ {print $2}')
        echo -e "ogr2ogr MIF->MIF\t$kind\t$features\t$ms"
    done
} | tee "$out/ogr2ogr.tsv"
