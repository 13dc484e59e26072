#!/bin/bash
# A receiver's drive with DAYS days of track archive, as an eTrex writes it:
# Garmin/GarminDevice.xml of the eTrex 30 test tree, one file per day in
# Garmin/GPX/Archive ("2026-09-01 08.00.00.gpx" ...) and the current log in
# Garmin/GPX/Current/Current.gpx, 4000 to 4200 points each (60 days: 61
# files, about 250,000 points). The same arguments give the same files.
#   bench/report/drive_archive.sh ROOT [DAYS]
root="$1"
days="${2:-60}"
here="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$root/Garmin/GPX/Archive" "$root/Garmin/GPX/Current" || exit 1
cp "$here/../../tests/drive/trees/etrex30/Garmin/GarminDevice.xml" "$root/Garmin/" || exit 1
awk -v root="$root" -v days="$days" 'BEGIN {
    split("30 31 30 31", length_of);  # September to December
    for (d = 0; d <= days; d++) {
        month = 9; day = d + 1;
        while (month <= 12 && day > length_of[month - 8]) { day -= length_of[month - 8]; month++ }
        date = sprintf("2026-%02d-%02d", month, day);
        file = d < days ? sprintf("%s/Garmin/GPX/Archive/%s 08.00.00.gpx", root, date) \
                        : root "/Garmin/GPX/Current/Current.gpx";
        name = d < days ? "ARCHIV " date : "AKTUELLER TRACK " date;
        points = 4000 + (d * 397) % 201;
        printf "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>" \
               "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" creator=\"eTrex 30\" version=\"1.1\">" \
               "<metadata><time>%sT08:00:00Z</time></metadata><trk><name>%s</name><trkseg>\n", date, name > file;
        lat = 47.3 + (d % 7) * 0.01; lon = 10.6 + (d % 5) * 0.01; ele = 800;
        for (p = 0; p < points; p++) {
            if (p > 0 && p % 1500 == 0) printf "</trkseg><trkseg>\n" > file;
            lat += ((p * 7 + d) % 11 - 5) * 0.00001; lon += ((p * 13 + d) % 9 - 4) * 0.00001;
            ele += (p * 3 + d) % 5 - 2;
            s = 8 * 3600 + p * 5;
            printf "<trkpt lat=\"%.7f\" lon=\"%.7f\"><ele>%.1f</ele><time>%sT%02d:%02d:%02dZ</time></trkpt>\n",
                   lat, lon, ele, date, int(s / 3600), int(s / 60) % 60, s % 60 > file;
        }
        printf "</trkseg></trk></gpx>\n" > file;
        close(file);
    }
}'
