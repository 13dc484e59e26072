// Download -> file -> upload: for every simulator profile, file type and
// object kind, the points a second receiver gets back are those the first
// one held, as far as the file type carries them: coordinates within the
// semicircle truncation, and names, comments, times, altitudes, symbols and
// the route and track structure where the file keeps them.

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>

#include "commands/command.h"
#include "tests/support/scripted_platform.h"
#include "tests/transfer/sim_session.h"
#include "tests/transfer/transfer_helpers.h"
#include "model/point_table.h"

namespace {

enum Kind { Waypoints, Routes, Tracks };

struct RoundTrip {
    std::string profile;
    SimLink link;
    Kind kind;
    FileKind fileKind;
    ObjectKind objectKind;
};

std::string describe(const RoundTrip& c) {
    const char* kinds[] = {"waypoints", "routes", "tracks"};
    const char* files[] = {"", "mif", "ovlascii", "ovlbinary", "gpx"};
    return c.profile + "_" + linkName(c.link) + "_" + kinds[c.kind] + "_" + files[static_cast<int>(c.fileKind)] + "_" +
           (c.objectKind == LineObjects ? "lines" : "points");
}

std::string caseName(const ::testing::TestParamInfo<RoundTrip>& info) { return describe(info.param); }

void PrintTo(const RoundTrip& c, std::ostream* out) { *out << describe(c); }

std::vector<RoundTrip> allCases() {
    std::vector<RoundTrip> cases;
    for (const std::string& profile : simProfileNames())
        for (SimLink link : {SimLink::Usb, SimLink::Serial}) {
            // Receivers without a protocol array cost a 3 s wait for it on
            // every serial query: those run on USB, and once on serial.
            const bool fullSerial = findSimProfile(profile)->sendsArray;
            for (int kind = Waypoints; kind <= Tracks; kind++)
                for (FileKind fileKind : {MapInfoMif, OvlAscii, OvlBinary, Gpx})
                    for (ObjectKind objectKind : {LineObjects, PointObjects}) {
                        // Waypoints form no lines: such a download writes nothing.
                        if (kind == Waypoints && objectKind == LineObjects) continue;
                        if (link == SimLink::Serial && !fullSerial &&
                            !(kind == Tracks && fileKind == MapInfoMif && objectKind == PointObjects))
                            continue;
                        cases.push_back({profile, link, (Kind)kind, fileKind, objectKind});
                    }
        }
    return cases;
}

// One comparable point of either side.
struct Flat {
    double lat, lon;
    std::string name, comment;
    float altitude;
    uint32_t time;
    uint16_t symbol;
    bool newSegment;
};

bool hasAltitude(const SimProfile& p, Kind kind) {
    if (kind == Tracks) return p.trackPointFormat != SimTrackPointFormat::D300;
    return p.waypointFormat == SimWaypointFormat::D108 || p.waypointFormat == SimWaypointFormat::D109 ||
           p.waypointFormat == SimWaypointFormat::D110;
}

bool trackLogs(const SimProfile& p) { return p.trackHeaderFormat != SimTrackHeaderFormat::None; }

std::string upper(std::string text) {
    for (char& c : text) c = (char)std::toupper((unsigned char)c);
    return text;
}

Flat flat(const SimWaypoint& w) { return {w.lat, w.lon, w.name, w.comment, w.altitude, w.time, w.symbol, false}; }
Flat flat(const SimTrackPoint& p) { return {p.lat, p.lon, "", "", p.altitude, p.time, 0, p.newSegment}; }

template <typename Group>
std::vector<Flat> flatten(const std::vector<Group>& groups) {
    std::vector<Flat> out;
    for (const Group& g : groups)
        for (const auto& p : g.points) out.push_back(flat(p));
    return out;
}

std::vector<Flat> flatten(const std::vector<SimWaypoint>& points) {
    std::vector<Flat> out;
    for (const SimWaypoint& w : points) out.push_back(flat(w));
    return out;
}

template <typename Group>
std::vector<size_t> sizes(const std::vector<Group>& groups) {
    std::vector<size_t> out;
    for (const Group& g : groups) out.push_back(g.points.size());
    return out;
}

template <typename Group>
std::vector<std::string> names(const std::vector<Group>& groups) {
    std::vector<std::string> out;
    for (const Group& g : groups) out.push_back(g.name);
    return out;
}

class RoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTripTest, SecondReceiverHoldsTheSamePoints) {
    const RoundTrip c = GetParam();
    const SimProfile& profile = *findSimProfile(c.profile);
    const bool points = c.objectKind == PointObjects;
    const bool ascii = c.fileKind == OvlAscii;
    const bool gpx = c.fileKind == Gpx;
    const std::string file = tempFile(c.fileKind == MapInfoMif ? "trip.mif" : gpx ? "trip.gpx" : "trip.ovl");

    // The first receiver and the download.
    SimSession source(c.profile, c.link);
    if (c.kind == Waypoints) source.sim->generate(6, 0, 0, 0, 0);
    if (c.kind == Routes) source.sim->generate(0, 2, 5, 0, 0);
    if (c.kind == Tracks) source.sim->generate(0, 0, 0, 2, 120);
    // Bulk reads cost 10 ms each: the eTrex sends its waypoints, routes and
    // one track download on the bulk pipe, the rest goes on the interrupt pipe.
    source.sim->usbInterruptOnly =
        !(c.profile == "etrex" && (c.kind != Tracks || (c.fileKind == MapInfoMif && points)));
    source.start();
    int expected = 0;
    {
        ScriptedPlatform ui;
        ui.recordAllStatus = false;
        ui.queueSaveFile(file);
        if (c.kind != Tracks) ui.queueYesNo(c.kind == Routes);
        if (c.kind == Tracks && trackLogs(profile)) ui.queueYesNo(false);
        runCommand(c.kind == Tracks ? DownloadTracks : DownloadWaypoints, source.port, c.fileKind, c.objectKind);
        expected = pointTable.count;
        std::vector<std::string> boxes = ui.boxTexts();
        char success[80];
        std::snprintf(success, sizeof success, "Übertragung erfolgreich beendet (%05d Punkte).", expected);
        ASSERT_EQ(boxes, std::vector<std::string>{success});
        EXPECT_FALSE(ui.answersLeft());
    }
    source.stop();
    ASSERT_TRUE(fileExists(file));

    // The second receiver and the upload.
    SimSession target(c.profile, c.link);
    target.sim->usbInterruptOnly = true;
    target.start();
    {
        ScriptedPlatform ui;
        ui.recordAllStatus = false;
        ui.queueOpenFile(file);
        if (c.kind != Tracks) {
            // GPX keeps the names of route points: no initials needed.
            if (ascii || (!points && !gpx)) ui.queueInitials("KB");
            ui.queueYesNo(c.kind == Routes);
            if (c.kind == Routes && ascii && points) ui.queueRouteTrackId(false);
        } else if (trackLogs(profile)) {
            if (!ascii || !points) ui.queueYesNo(true);  // separate track logs
            if (ascii && points) ui.queueRouteTrackId(false);
        }
        runCommand(c.kind == Tracks ? UploadTracks : UploadWaypoints, target.port, c.fileKind, LineObjects);
        std::vector<std::string> boxes = ui.boxTexts();
        char success[80];
        std::snprintf(success, sizeof success, "Übertragung erfolgreich beendet (%04d Punkte).", expected);
        ASSERT_EQ(boxes, std::vector<std::string>{success});
        EXPECT_FALSE(ui.answersLeft());
    }
    target.stop();
    const SimUploadLog log = target.sim->uploadLog();
    EXPECT_EQ(log.transfers, 1);
    EXPECT_EQ(log.transferCompleteCount, expected);

    std::vector<Flat> before, after;
    if (c.kind == Waypoints) {
        before = flatten(source.sim->waypoints);
        after = flatten(log.waypoints);
    } else if (c.kind == Routes) {
        before = flatten(source.sim->routes);
        after = flatten(log.routes);
    } else {
        before = flatten(source.sim->tracks);
        after = flatten(log.tracks);
    }
    ASSERT_EQ(after.size(), before.size());

    const double semicircle = 180.0 / 2147483648.0;
    const bool attributes = points && !ascii;  // the files that keep point attributes
    const bool mifPoints = points && c.fileKind == MapInfoMif;
    for (size_t i = 0; i < before.size(); i++) {
        SCOPED_TRACE("point " + std::to_string(i));
        EXPECT_NEAR(after[i].lat, before[i].lat, 1.5 * semicircle);
        EXPECT_NEAR(after[i].lon, before[i].lon, 1.5 * semicircle);
        if (c.kind != Tracks && attributes) {
            EXPECT_EQ(after[i].name, before[i].name);
            if (profile.waypointFormat != SimWaypointFormat::D100) {  // D100 has no symbol
                EXPECT_EQ(after[i].symbol, before[i].symbol);
            }
            // D105 and D106 carry no comment.
            if (mifPoints && profile.waypointFormat != SimWaypointFormat::D103 &&
                profile.waypointFormat != SimWaypointFormat::D105 &&
                profile.waypointFormat != SimWaypointFormat::D106) {
                EXPECT_EQ(upper(after[i].comment), upper(before[i].comment));
            }
        }
        if (attributes && hasAltitude(profile, c.kind)) {
            EXPECT_NEAR(after[i].altitude, before[i].altitude, mifPoints ? 0.5 : 1.0);
        }
        // Times: track points always; waypoints where the format has one
        // and the file does not give the comment's place to it.
        const bool times =
            c.kind == Tracks ? attributes : mifPoints && profile.waypointFormat == SimWaypointFormat::D110;
        if (times) {
            EXPECT_EQ(after[i].time, before[i].time);
        }
        if (c.kind == Tracks && !(ascii && points) && profile.trackPointFormat <= SimTrackPointFormat::D302) {
            EXPECT_EQ(after[i].newSegment, before[i].newSegment);
        }
    }

    if (c.kind == Routes) {
        if (ascii && points) {
            EXPECT_EQ(sizes(log.routes), (std::vector<size_t>{10}));
        } else {
            EXPECT_EQ(sizes(log.routes), sizes(source.sim->routes));
            if (!ascii && profile.routeHeaderFormat != SimRouteHeaderFormat::D200) {  // D200: no name
                EXPECT_EQ(names(log.routes), names(source.sim->routes));
            }
        }
    }
    if (c.kind == Tracks) {
        if (!trackLogs(profile) || (ascii && points)) {
            EXPECT_EQ(sizes(log.tracks), (std::vector<size_t>{240}));
        } else if (ascii) {
            // Every line object of the overlay, that is every segment, became a track log.
            EXPECT_EQ(sizes(log.tracks), (std::vector<size_t>{50, 50, 20, 50, 50, 20}));
        } else {
            EXPECT_EQ(sizes(log.tracks), sizes(source.sim->tracks));
            if (profile.trackHeaderFormat != SimTrackHeaderFormat::D311) {  // D311: named by its index
                EXPECT_EQ(names(log.tracks), names(source.sim->tracks));
            }
        }
    }
}

// A GPX file as other programs write it, with two tracks, the first of two
// segments, and a waypoint beside them: a track upload sends every track
// point, as separate track logs with their segments.
TEST(GpxUpload, SeveralTracksWithSegmentsReachTheReceiver) {
    const std::string file = tempFile("several.gpx");
    writeFile(file,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<gpx version=\"1.1\" creator=\"other\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
              "<wpt lat=\"47.0\" lon=\"11.0\"><name>Gipfel</name></wpt>\n"
              "<trk><name>Hinweg</name>\n"
              "<trkseg><trkpt lat=\"47.1\" lon=\"11.1\"><ele>812.5</ele><time>2023-06-01T08:00:00Z</time></trkpt>"
              "<trkpt lat=\"47.11\" lon=\"11.11\"/><trkpt lat=\"47.12\" lon=\"11.12\"/></trkseg>\n"
              "<trkseg><trkpt lat=\"47.2\" lon=\"11.2\"/><trkpt lat=\"47.21\" lon=\"11.21\"/></trkseg>\n"
              "</trk>\n"
              "<trk><name>Rueckweg</name><trkseg><trkpt lat=\"-47.3\" lon=\"-11.3\"/><trkpt lat=\"-47.31\" "
              "lon=\"-11.31\"/><trkpt lat=\"-47.32\" lon=\"-11.32\"/><trkpt lat=\"-47.33\" lon=\"-11.33\"/>"
              "</trkseg></trk>\n</gpx>\n");
    SimSession target("etrex", SimLink::Usb);
    target.sim->usbInterruptOnly = true;
    target.start();
    {
        ScriptedPlatform ui;
        ui.recordAllStatus = false;
        ui.queueOpenFile(file);
        ui.queueYesNo(true);  // separate track logs
        runCommand(UploadTracks, target.port, Gpx, LineObjects);
        // The waypoint is no part of a track upload, and the user learns so.
        EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"1 Punkt aus Wegpunkten der GPX-Datei wird ausgelassen \n"
                                                           "(gelesen werden hier nur Tracks).",
                                                           "Übertragung erfolgreich beendet (0009 Punkte)."}));
        EXPECT_FALSE(ui.answersLeft());
    }
    target.stop();
    const SimUploadLog log = target.sim->uploadLog();
    ASSERT_EQ(sizes(log.tracks), (std::vector<size_t>{5, 4}));
    EXPECT_EQ(names(log.tracks), (std::vector<std::string>{"HINWEG", "RUECKWEG"}));
    const std::vector<Flat> points = flatten(log.tracks);
    const double lat[] = {47.1, 47.11, 47.12, 47.2, 47.21, -47.3, -47.31, -47.32, -47.33};
    const bool newSegment[] = {true, false, false, true, false, true, false, false, false};
    const double semicircle = 180.0 / 2147483648.0;
    for (size_t i = 0; i < points.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(points[i].lat, lat[i], 1.5 * semicircle);
        EXPECT_NEAR(points[i].lon, lat[i] > 0 ? lat[i] - 36.0 : lat[i] + 36.0, 1.5 * semicircle);
        EXPECT_EQ(points[i].newSegment, newSegment[i]);
    }
    EXPECT_NEAR(points[0].altitude, 812.5f, 0.01);
    EXPECT_EQ(points[0].time, 1054540800u);  // 2023-06-01 08:00:00 UTC in receiver seconds
}

INSTANTIATE_TEST_SUITE_P(AllProfiles, RoundTripTest, ::testing::ValuesIn(allCases()), caseName);

}  // namespace
