#!/bin/bash
# Waypoint download over USB through libusb's real Linux backend, Wegmate
# beside gpsbabel, against the same receiver emulated under umockdev (every
# packet on the interrupt pipe). One line per program: program, waypoints,
# wall seconds (the whole command, Wegmate's fixed pauses included),
# interrupt transfers, exit status.
#
#   bench/report/usb_peer_compare.sh BENCH_BIN WEGMATE_CLI OUT_DIR WAYPOINTS
set -u
peer="$1"
cli="$2"
out="$3"
waypoints="$4"
command -v umockdev-wrapper >/dev/null || { echo "umockdev-wrapper missing"; exit 0; }
tsv="$out/usb_peer_waypoints_$waypoints.tsv"
printf 'program\twaypoints\tseconds\tinterrupt_transfers\tstatus\n' | tee "$tsv"
run() {  # run NAME COMMAND...
    local name="$1"
    shift
    local line
    line=$(umockdev-wrapper "$peer" "$waypoints" "$@" 2>/dev/null </dev/null | tail -n1)
    read -r seconds transfers status <<<"$line"
    printf '%s\t%s\t%s\t%s\t%s\n' "$name" "$waypoints" "${seconds:-?}" "${transfers:-?}" "${status:-?}" | tee -a "$tsv"
}
run wegmate "$cli" download waypoints --port usb --format gpx --objects points -o "$out/usb_peer_wegmate.gpx"
if command -v gpsbabel >/dev/null; then
    run gpsbabel gpsbabel -w -i garmin -f usb: -o gpx -F "$out/usb_peer_gpsbabel.gpx"
fi
