#!/bin/bash
# A drive with DAYS days of track archive (bench/report/drive_archive.sh,
# default 60: 61 files, about 250,000 points) downloaded in full to GPX by
# wegmate-cli, beside gpsbabel merging the same files into one GPX file.
# Both under /usr/bin/time -v, one after the other, in one run: wall time,
# CPU time, peak resident memory, and the track points of each output.
#   bench/report/drive_archive_compare.sh WEGMATE-CLI OUTPUT-DIR [DAYS]
cli="$1"
out="$2"
days="${3:-60}"
here="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$out"
work=$(mktemp -d /tmp/wegmate-archive-XXXXXX) || exit 1
trap 'rm -rf "$work"' EXIT
"$here/drive_archive.sh" "$work/drive" "$days" || exit 1
points=$(cat "$work"/drive/Garmin/GPX/Archive/*.gpx "$work"/drive/Garmin/GPX/Current/*.gpx | grep -c '<trkpt')

measure() {  # measure NAME OUTPUT COMMAND...: one line of the table
    local name="$1" output="$2"
    shift 2
    /usr/bin/time -v "$@" >"$work/$name.out" 2>"$work/$name.time"
    local rc=$?
    awk -F': ' -v name="$name" -v rc="$rc" -v written="$(grep -c '<trkpt' "$output" 2>/dev/null)" '
        /Maximum resident set size/ { rss = $2 }
        /Elapsed \(wall clock\)/ { wall = $2 }
        /User time/ { user = $2 }
        /System time/ { sys = $2 }
        END { printf "%s\t%s\t%s\t%s\t%s\t%s\t%s\n", name, wall, user, sys, rss, written, rc }' "$work/$name.time"
    cp "$work/$name.time" "$out/$name.time.txt"
}

files=()
for f in "$work"/drive/Garmin/GPX/Archive/*.gpx "$work"/drive/Garmin/GPX/Current/*.gpx; do files+=(-f "$f"); done
{
    echo "# drive of $days days: $((days + 1)) files, $points track points"
    echo -e "run\twall\tuser_s\tsys_s\tmax_rss_kB\ttrkpt_written\texit"
    measure wegmate_drive_to_gpx "$work/wegmate.gpx" \
        "$cli" download tracks --port "drive:$work/drive" --format gpx --objects lines -o "$work/wegmate.gpx"
    measure gpsbabel_merge_to_gpx "$work/gpsbabel.gpx" gpsbabel -i gpx "${files[@]}" -o gpx -F "$work/gpsbabel.gpx"
} | tee "$out/drive_archive.tsv"
