#!/bin/bash
# Peak memory (maximum resident set size) and wall time of wegmate-cli for
# the largest transfers: a download of one track log of N points (default
# 20000, the table's capacity) from wegmate-sim on a pseudo terminal, unpaced,
# and the upload of the file written, both through /usr/bin/time -v. For
# comparison the small built-in sample (240 points).
#   bench/report/peak_memory.sh BUILD-DIR OUTPUT-DIR [N]
build="$1"
out="$2"
n="${3:-20000}"
cli="$build/wegmate/cli/wegmate-cli"
sim="$build/wegmate/wegmate-sim"
mkdir -p "$out"
work=$(mktemp -d /tmp/wegmate-peak-XXXXXX) || exit 1
simpid=
cleanup() {
    [ -n "$simpid" ] && kill "$simpid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# start_sim ARGS...: wegmate-sim in the background; sets tty and simpid.
start_sim() {
    "$sim" --profile etrex "$@" >"$work/sim.out" 2>"$work/sim.err" &
    simpid=$!
    tty=
    for _ in $(seq 100); do
        tty=$(head -n1 "$work/sim.out" 2>/dev/null)
        [ -n "$tty" ] && break
        sleep 0.1
    done
}
stop_sim() {
    kill "$simpid" 2>/dev/null
    wait "$simpid" 2>/dev/null
    simpid=
}

# measure NAME COMMAND...: one line "NAME<TAB>max_rss_kB<TAB>seconds<TAB>exit"
measure() {
    local name="$1"
    shift
    /usr/bin/time -v "$@" >"$work/$name.out" 2>"$work/$name.time"
    local rc=$?
    local rss secs
    rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/$name.time")
    secs=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/$name.time")
    printf '%s\t%s\t%s\t%s\n' "$name" "$rss" "$secs" "$rc"
    cp "$work/$name.time" "$out/$name.time.txt"
}

{
    echo -e "run\tmax_rss_kB\twall\texit"
    measure "cli_download_sample_240" "$cli" download tracks --port sim --format mif --objects points -o "$work/sample.mif"

    start_sim --generate "0,0,0,1,$n"
    measure "cli_download_tracks_$n" "$cli" download tracks --port "$tty" --format mif --objects points -o "$work/big.mif"
    stop_sim
    points=$(grep -c '^Point' "$work/big.mif" 2>/dev/null)
    echo -e "# points in the downloaded MIF: $points"

    start_sim
    measure "cli_upload_tracks_$n" "$cli" upload tracks --port "$tty" --format mif "$work/big.mif"
    stop_sim
} | tee "$out/peak_memory.tsv"
