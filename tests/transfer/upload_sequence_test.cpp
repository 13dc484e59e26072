// The upload's exact exchanges on a serial link, played by a byte-level fake
// receiver: records counts, the order of headers, points and links, the
// track headers of each protocol, splitting, NAK repetition and failures.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/settings.h"
#include "formats/ovl_ascii.h"
#include "link/protocol_set.h"
#include "tests/support/scripted_platform.h"
#include "tests/support/fake_serial_peer.h"
#include "tests/transfer/transfer_helpers.h"
#include "model/point_table.h"
#include "transfers/upload.h"

namespace {

const char* const kEtrexProtocols =
    "\r\nP000\r\nL001\r\nA010\r\nA100\r\nD108\r\nA201\r\nD202\r\nD108\r\nD210"
    "\r\nA301\r\nD310\r\nD301";
const char* const kA300Protocols = "A100\r\nA200\r\nA300\r\nD103\r\nD201\r\n____\r\nD300\r\n____\r\n";
const char* const kTransferError = "Übertragungsfehler.";
const char* const kPartlySent = "\nDas GPS-Gerät kann jetzt einen Teil der gesendeten Daten enthalten.";
const char* const kProtocolError =
    "Übertragungsfehler.\nStellen Sie sicher, dass das GPS-Gerät\n"
    "auf 'GARMIN' oder 'GRMN' als Daten-\naustauschprotokoll eingestellt ist.";
const char* const kRouteQuestion =
    "Wegpunkte in ROUTE(N) laden auf Basis von \nRoutennummern und / oder Routennamen? \n";
const char* const kSeparateQuestion =
    "Track-Punkte in separate (benannte) Track-Aufz. laden \n"
    "auf Basis der Track-Nummern und / oder Track-Namen? \n"
    "(Vorausgesetzt Ihr GPS-Gerät kann mehrere Track-Logs \nspeichern.) \n";

std::vector<uint8_t> ids(const std::vector<HostFrame>& frames) {
    std::vector<uint8_t> result;
    for (const HostFrame& f : frames) result.push_back(f.id);
    return result;
}

std::vector<int> pauses(const ScriptedPlatform& ui) {
    std::vector<int> result;
    for (const ScriptedEvent* event : ui.eventsOf(ScriptedEvent::Pause)) result.push_back(event->number);
    return result;
}

int u16At(const HostFrame& frame) { return frame.data.at(0) | (frame.data.at(1) << 8); }

// The ident of a D310 track header (from byte 2).
std::string trackIdent(const HostFrame& frame) { return std::string(frame.data.begin() + 2, frame.data.end() - 1); }

std::vector<std::string> trackIdents(const std::vector<HostFrame>& frames) {
    std::vector<std::string> result;
    for (const HostFrame& f : frames)
        if (f.id == 99) result.push_back(trackIdent(f));
    return result;
}

class UploadSerial : public ::testing::Test {
  protected:
    void SetUp() override {
        setProtocolSet(kEtrexProtocols);
        savedSettings = settings;
        pointTable.reset();
        peer.onFrame = ackEverything;
    }
    void TearDown() override { settings = savedSettings; }

    void add(const PointRecord& record) { pointTable.records[pointTable.count++] = record; }
    // n points of group (number, name), numbered from 1.
    void addGroup(int number, const char* name, int n, double lat) {
        for (int i = 0; i < n; i++) {
            char pointName[16];
            std::snprintf(pointName, sizeof pointName, "P%02d%03d", number, i + 1);
            add(makePoint({.route = number,
                           .routeName = name,
                           .number = i + 1,
                           .name = pointName,
                           .lat = lat + i * 0.001,
                           .lon = 7.0 + i * 0.001,
                           .newSegment = i == 0,
                           .time = 86400 + 1000 + i}));  // 1990-01-01 00:16:40 on
        }
    }

    // The table as a MIF file, offered in the open dialog; the first question
    // (route mode, separate tracks) answered with yes.
    std::string offerTable(const std::string& name, bool yes) {
        const std::string file = writeTableAsMif(name, PointObjects);
        ui.queueOpenFile(file);
        ui.queueYesNo(yes);
        return file;
    }

    ScriptedPlatform ui;
    FakeSerialPeer peer{{.startMs = 1000, .lookMs = 1, .byteReadMs = 0}};
    Settings savedSettings;
};

TEST_F(UploadSerial, WaypointsGoAsRecordsPointsAndTransferComplete) {
    add(makePoint({.number = 1, .name = "HAUS", .lat = 50.5, .lon = 7.25}));
    add(makePoint({.number = 2, .name = "KIRCHE", .lat = 50.6, .lon = 7.5}));
    add(makePoint({.number = 3, .name = "BRUECKE", .lat = -33.9, .lon = 151.2}));
    offerTable("wpt.mif", false);

    uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);

    const auto opens = ui.eventsOf(ScriptedEvent::OpenFile);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0]->title, "Wegmate  --  MIF-Datei öffnen zum Senden an GPS-Gerät");
    EXPECT_EQ(opens[0]->text, "*.mif");
    EXPECT_EQ(opens[0]->filter, FileFilter::MapInfo);
    EXPECT_EQ(ui.questionTexts(), (std::vector<std::string>{kRouteQuestion}));

    const std::vector<HostFrame> frames = peer.framesWithoutAcks();
    EXPECT_EQ(ids(frames), (std::vector<uint8_t>{27, 35, 35, 35, 12}));
    EXPECT_EQ(u16At(frames[0]), 3);
    EXPECT_EQ(u16At(frames[4]), 3);
    EXPECT_EQ(pauses(ui), (std::vector<int>{500, 50, 50, 50, 50}));
    EXPECT_EQ(ui.statusTexts(), (std::vector<std::string>{"  Status:   0000  von  0003  Wegpunkten gesendet.",
                                                          "  Status:   0001  von  0003  Wegpunkten gesendet.",
                                                          "  Status:   0002  von  0003  Wegpunkten gesendet.",
                                                          "  Status:   0003  von  0003  Wegpunkten gesendet."}));
    EXPECT_EQ(ui.statusCounts(), (std::vector<std::pair<long, long>>{{0, 3}, {1, 3}, {2, 3}, {3, 3}}));
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (0003 Punkte)."}));
}

// Values of a foreign file that neither the table nor the receiver's format
// can hold reach the receiver as absent values, never wrapped or moved to
// another date, and one warning counts them before anything is sent.
TEST_F(UploadSerial, ValuesWithoutRoomArriveAsAbsentAndAreCounted) {
    setProtocolSet("A100\r\nD110\r\n");
    const std::string mif = tempFile("values.mif");
    writeFile(mif,
              "Version 300\nCharset \"WindowsLatin1\"\nDelimiter \",\"\nCoordSys Earth Projection 1, 104\n"
              "Columns 6\n  NameOfPoint Char(50)\n  Altitude Char(10)\n  Time Char(19)\n  Symbol Char(5)\n"
              "  Display1 Char(3)\n  Display2 Char(3)\nData\n\nPoint 8.1 50.1\nPoint 8.2 50.2\n");
    writeFile(mif.substr(0, mif.size() - 3) + "mid",
              "\"EINS\",\"25000\",\"2026-13-01 10:00:00\",\"8\",\"40\",\"1\"\n"
              "\"ZWEI\",\"120\",\"2026-02-28 10:00:00\",\"999999\",\"3\",\"1\"\n");
    ui.queueOpenFile(mif);
    ui.queueYesNo(false);

    uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);

    const std::vector<HostFrame> frames = peer.framesWithoutAcks();
    ASSERT_EQ(ids(frames), (std::vector<uint8_t>{27, 35, 35, 12}));
    auto bytes = [](const HostFrame& f, size_t at, size_t n) {
        return std::vector<uint8_t>(f.data.begin() + (long)at, f.data.begin() + (long)(at + n));
    };
    const HostFrame& eins = frames[1];
    const HostFrame& zwei = frames[2];
    // EINS: altitude 25000 goes as 1e25, month 13 as no time (0xFFFFFFFF),
    // colour 40 as the absent colour 0x1F beside display 1; symbol 8 stays.
    EXPECT_EQ(bytes(eins, 32, 4), (std::vector<uint8_t>{0x51, 0x59, 0x04, 0x69}));
    EXPECT_EQ(bytes(eins, 56, 4), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(eins.data.at(2), 1 * 32 + 0x1F);
    EXPECT_EQ(bytes(eins, 4, 2), (std::vector<uint8_t>{8, 0}));
    // ZWEI: symbol 999999 is no symbol (the absent 178, not 16959), so its
    // display values have no place either; altitude and time arrive.
    EXPECT_EQ(bytes(zwei, 4, 2), (std::vector<uint8_t>{178, 0}));
    EXPECT_EQ(zwei.data.at(2), 0x1F);
    EXPECT_EQ(bytes(zwei, 32, 4), (std::vector<uint8_t>{0x00, 0x00, 0xF0, 0x42}));  // 120.0f
    const uint32_t time = 1141207200u;  // 2026-02-28 10:00:00 UTC, seconds since 1989-12-31
    EXPECT_EQ(bytes(zwei, 56, 4), (std::vector<uint8_t>{(uint8_t)time, (uint8_t)(time >> 8), (uint8_t)(time >> 16),
                                                        (uint8_t)(time >> 24)}));
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"6 Angaben der eingelesenen Punkte (Höhe, Zeit, Symbol \n"
                                                       "oder Anzeige) sind ungültig und bleiben leer.",
                                                       "Übertragung erfolgreich beendet (0002 Punkte)."}));
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::Box)[0]->title, "Wegmate-WARNUNG");
}

TEST_F(UploadSerial, RepeatedNamesAreChangedAndReported) {
    add(makePoint({.number = 1, .name = "HAUS", .lat = 50.5, .lon = 7.25}));
    add(makePoint({.number = 2, .name = "HAUS", .lat = 50.6, .lon = 7.5}));
    offerTable("dup.mif", false);
    uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (0002 Punkte).",
                                                       "Wegpunktnamen geändert wegen mehrfachem Vorkommen gleicher "
                                                       "Bezeichnungen in Input-Datei."}));
    EXPECT_STREQ(pointTable.records[1].NameOfPoint, "HAUS01");
}

TEST_F(UploadSerial, RoutesWithLinksCountTwiceThePointsInHeaderPointLinkOrder) {
    addGroup(1, "NORD", 3, 50.0);
    addGroup(2, "SUED", 2, 48.0);
    offerTable("routes.mif", true);

    uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);

    const std::vector<HostFrame> frames = peer.framesWithoutAcks();
    EXPECT_EQ(ids(frames), (std::vector<uint8_t>{27, 29, 30, 98, 30, 98, 30, 29, 30, 98, 30, 12}));
    EXPECT_EQ(u16At(frames.front()), 10);
    EXPECT_EQ(std::string(frames[1].data.begin(), frames[1].data.end()), std::string("NORD\0", 5));
    EXPECT_EQ(std::string(frames[7].data.begin(), frames[7].data.end()), std::string("SUED\0", 5));
    EXPECT_EQ(frames[3].data.size(), 21u);
    EXPECT_TRUE(ui.eventsOf(ScriptedEvent::RouteTrackIdDialog).empty());
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (0005 Punkte)."}));
}

TEST_F(UploadSerial, RoutesWithoutLinksCountPointsAndRoutes) {
    setProtocolSet("A100\r\nA200\r\nA300\r\nD103\r\nD201\r\n");
    addGroup(1, "", 3, 50.0);
    addGroup(2, "", 2, 48.0);
    const std::string file = offerTable("routes200.mif", true);
    uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);
    const std::vector<HostFrame> frames = peer.framesWithoutAcks();
    EXPECT_EQ(ids(frames), (std::vector<uint8_t>{27, 29, 30, 30, 30, 29, 30, 30, 12}));
    EXPECT_EQ(u16At(frames.front()), 7);
    EXPECT_EQ(frames[1].data.size(), 21u);  // D201
    EXPECT_EQ(frames[1].data[0], 1);
    EXPECT_EQ(frames[5].data[0], 2);
}

// A file without route numbers and names: the id dialog gives all points
// one route, by number where the route format has a number (preset "01",
// narrow field) and by name otherwise (preset "ROUTE"). A file that names
// its routes is not asked.
TEST_F(UploadSerial, RouteIdDialogInNumberAndNameModeOnlyForFilesWithoutIds) {
    for (int i = 0; i < 3; i++)
        add(makePoint({.number = i + 1,
                       .name = i == 1 ? "MITTE"
                               : i    ? "ZIEL"
                                      : "START",
                       .lat = 50 + i * 0.01,
                       .lon = 7}));
    const std::string plain = writeTableAsMif("noids.mif", PointObjects);
    // No numbers in the file: the number column left empty.
    std::string mid = readFile(plain.substr(0, plain.size() - 1) + "d");
    for (size_t at = mid.find("\"0\","); at != std::string::npos; at = mid.find("\"0\",", at + 1))
        if (at == 0 || mid[at - 1] == '\n') mid.replace(at, 4, "\"\",");
    writeFile(plain.substr(0, plain.size() - 1) + "d", mid);
    struct Case {
        const char* protocols;
        const char* entry;
        const char* preset;
        const char* field;
    };
    for (const Case& c : {Case{"A100\r\nA200\r\nD103\r\nD201\r\n", "7", "01", "narrow"},
                          Case{kEtrexProtocols, "TOUR", "ROUTE", "wide"}}) {
        SCOPED_TRACE(c.preset);
        setProtocolSet(c.protocols);
        ui.clearEvents();
        peer.reset();
        ui.queueOpenFile(plain);
        ui.queueYesNo(true);
        ui.queueRouteTrackId(true, c.entry);
        uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);
        const auto dialogs = ui.eventsOf(ScriptedEvent::RouteTrackIdDialog);
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_EQ(dialogs[0]->items, (std::vector<std::string>{c.preset, c.field}));
        const std::vector<HostFrame> frames = peer.framesWithoutAcks();
        ASSERT_GE(frames.size(), 2u);
        ASSERT_EQ(frames[1].id, 29);
        EXPECT_EQ(peer.count(29), 1);
        if (c.preset[0] == '0') {
            EXPECT_EQ(frames[1].data[0], 7);  // D201 route number
        } else {
            EXPECT_EQ(std::string((const char*)frames[1].data.data()), "TOUR");  // D202 ident
        }
        EXPECT_FALSE(ui.answersLeft());
    }

    // Names but no numbers: the file names its route, nothing is asked.
    for (size_t at = mid.find("\"\",\"\","); at != std::string::npos; at = mid.find("\"\",\"\",", at + 1))
        mid.replace(at, 6, "\"\",\"RUNDE\",");
    writeFile(plain.substr(0, plain.size() - 1) + "d", mid);
    ui.clearEvents();
    peer.reset();
    ui.queueOpenFile(plain);
    ui.queueYesNo(true);
    uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);
    EXPECT_TRUE(ui.eventsOf(ScriptedEvent::RouteTrackIdDialog).empty());
    const std::vector<HostFrame> frames = peer.framesWithoutAcks();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(std::string((const char*)frames[1].data.data()), "RUNDE");
}

TEST_F(UploadSerial, EmptyRouteNameStaysInTheRouteAnotherNameStartsOne) {
    PointRecord a = makePoint({.route = 1, .number = 1, .name = "A1", .lat = 50.0, .lon = 7.0});
    copyName(a.NameOfRouteOrTrack, "ALPHA");
    PointRecord b = makePoint({.route = 1, .number = 2, .name = "A2", .lat = 50.1, .lon = 7.1});
    PointRecord c = makePoint({.route = 1, .number = 3, .name = "B1", .lat = 50.2, .lon = 7.2});
    copyName(c.NameOfRouteOrTrack, "BETA");
    add(a);
    add(b);
    add(c);
    offerTable("groups.mif", true);
    uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);
    const std::vector<HostFrame> frames = peer.framesWithoutAcks();
    EXPECT_EQ(ids(frames), (std::vector<uint8_t>{27, 29, 30, 98, 30, 29, 30, 12}));
    EXPECT_EQ(u16At(frames[0]), 6);
    EXPECT_EQ(std::string(frames[5].data.begin(), frames[5].data.end()), std::string("BETA\0", 5));
}

TEST_F(UploadSerial, OverlongRouteIsSplitAtTheLimit) {
    settings.maxRoutePoints = 250;
    addGroup(1, "WALK", 600, 50.0);
    offerTable("walk.mif", true);
    ui.recordAllStatus = false;
    uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);
    const std::vector<HostFrame> frames = peer.framesWithoutAcks();
    EXPECT_EQ(u16At(frames[0]), 1200);
    std::vector<std::string> headers;
    std::vector<int> pointsPerRoute;
    for (const HostFrame& f : frames) {
        if (f.id == 29) {
            headers.push_back(std::string(f.data.begin(), f.data.end() - 1));
            pointsPerRoute.push_back(0);
        }
        if (f.id == 30) pointsPerRoute.back()++;
    }
    EXPECT_EQ(headers, (std::vector<std::string>{"WALK", "WALK_B", "WALK_C"}));
    EXPECT_EQ(pointsPerRoute, (std::vector<int>{250, 250, 100}));
    EXPECT_EQ(peer.count(98), 597);
    EXPECT_EQ(ui.boxTexts().back(), "Übertragung erfolgreich beendet (0600 Punkte).");
}

// Routes and separate track logs alike.
TEST_F(UploadSerial, DuplicatePointNumbersStopBeforeAnythingIsSent) {
    add(makePoint({.route = 1, .number = 4, .name = "A", .lat = 50.0, .lon = 7.0}));
    add(makePoint({.route = 1, .number = 4, .name = "B", .lat = 50.1, .lon = 7.1}));
    const std::string file = writeTableAsMif("dupnum.mif", PointObjects);
    for (TransferKind kind : {TransferKind::Waypoints, TransferKind::Tracks}) {
        SCOPED_TRACE(transferKindCode(kind));
        ui.clearEvents();
        peer.reset();
        ui.queueOpenFile(file);
        ui.queueYesNo(true);  // as routes / as separate track logs
        uploadToDevice(serialLink(1), kind, MapInfoMif);
        EXPECT_TRUE(peer.frames.empty());
        EXPECT_EQ(ui.boxTexts(),
                  (std::vector<std::string>{
                      "Mehrere Punkte mit identischer Punktnummer \nund Track- / Routen-Nummer gefunden! \n"
                      "(Jede Kombination von Punktnummer und Routen- \nbzw. Track-Nummer darf nur einmal "
                      "vorkommen.) "}));
    }
}

// A map program's GPX file: waypoints and a route through some of them. As
// routes only the route goes, its point names made unique among its own.
TEST_F(UploadSerial, WaypointsOfAMixedGpxAreLeftOutOfTheRoutes) {
    const std::string file = tempFile("mixed.gpx");
    writeFile(file,
              "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"Karte\" "
              "xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
              "<wpt lat=\"50.0\" lon=\"7.0\"><name>START</name></wpt>\n"
              "<wpt lat=\"50.2\" lon=\"7.2\"><name>ZIEL</name></wpt>\n"
              "<rte><name>TOUR</name><rtept lat=\"50.0\" lon=\"7.0\"><name>START</name></rtept>"
              "<rtept lat=\"50.1\" lon=\"7.1\"><name>MITTE</name></rtept>"
              "<rtept lat=\"50.2\" lon=\"7.2\"><name>ZIEL</name></rtept></rte>\n</gpx>\n");
    ui.queueOpenFile(file);
    ui.queueYesNo(true);
    uploadToDevice(serialLink(1), TransferKind::Waypoints, Gpx);
    const std::vector<HostFrame> frames = peer.framesWithoutAcks();
    EXPECT_EQ(ids(frames), (std::vector<uint8_t>{27, 29, 30, 98, 30, 98, 30, 12}));
    EXPECT_EQ(u16At(frames.at(0)), 6);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"2 Wegpunkte ohne Routen- und Punktnummer gehören zu \n"
                                                       "keiner Route und werden ausgelassen.",
                                                       "Übertragung erfolgreich beendet (0003 Punkte)."}));
}

// Two tracks of a file with the same number, the first also with a second
// segment: each reaches the receiver whole, as a log of its own.
TEST_F(UploadSerial, TracksSharingANumberStaySeparate) {
    const std::string file = tempFile("same-number.gpx");
    writeFile(file,
              "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"Karte\" "
              "xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
              "<trk><number>1</number><trkseg><trkpt lat=\"10.1\" lon=\"7\"/><trkpt lat=\"10.2\" lon=\"7\"/>"
              "</trkseg><trkseg><trkpt lat=\"10.3\" lon=\"7\"/><trkpt lat=\"10.4\" lon=\"7\"/></trkseg></trk>\n"
              "<trk><number>1</number><trkseg><trkpt lat=\"20.1\" lon=\"7\"/><trkpt lat=\"20.2\" lon=\"7\"/>"
              "<trkpt lat=\"20.3\" lon=\"7\"/></trkseg></trk>\n</gpx>\n");
    ui.queueOpenFile(file);
    ui.queueYesNo(true);  // separate track logs
    uploadToDevice(serialLink(1), TransferKind::Tracks, Gpx);
    std::vector<std::string> sent;  // "H" for a header, else the latitude
    for (const HostFrame& f : peer.framesWithoutAcks()) {
        if (f.id == 99) sent.push_back("H");
        if (f.id != 34) continue;
        const int32_t semicircles = (int32_t)(f.data.at(0) | f.data.at(1) << 8 | f.data.at(2) << 16 | f.data.at(3) << 24);
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", semicircles * 180.0 / 2147483648.0);
        sent.push_back(text);
    }
    EXPECT_EQ(sent, (std::vector<std::string>{"H", "10.1", "10.2", "10.3", "10.4", "H", "20.1", "20.2", "20.3"}));
    EXPECT_EQ(ui.boxTexts().back(), "Übertragung erfolgreich beendet (0007 Punkte).");
}

// NAKs to the same point: ten are answered by sending it again, the
// eleventh ends the upload; an ACK starts the count anew.
TEST_F(UploadSerial, NakRepetitionUpToTenTimes) {
    {
        add(makePoint({.number = 1, .name = "HAUS", .lat = 50.5, .lon = 7.25}));
        add(makePoint({.number = 2, .name = "HOF", .lat = 50.6, .lon = 7.5}));
        const std::string file = writeTableAsMif("nak2.mif", PointObjects);
        int naks = 0;
        peer.onFrame = [&naks](const HostFrame& frame, FakeSerialPeer& p) {
            // Ten NAKs for each of the two points, then its ACK.
            if (frame.id == 35 && naks++ % 11 < 10)
                p.sendNak(35);
            else
                ackEverything(frame, p);
        };
        ui.queueOpenFile(file);
        ui.queueYesNo(false);
        uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);
        EXPECT_EQ(peer.count(35), 22);
        EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (0002 Punkte)."}));
        pointTable.reset();
    }

    add(makePoint({.number = 1, .name = "HAUS", .lat = 50.5, .lon = 7.25}));
    add(makePoint({.number = 2, .name = "HOF", .lat = 50.6, .lon = 7.5}));
    const std::string file = writeTableAsMif("nak.mif", PointObjects);
    for (int naks : {10, 11}) {
        ui.clearEvents();
        peer.reset();
        int seen = 0;
        peer.onFrame = [&seen, naks](const HostFrame& frame, FakeSerialPeer& p) {
            if (frame.id == 35 && frame.data.size() > 50 && frame.data[48] == 'H' && frame.data[49] == 'A' &&
                seen++ < naks)
                p.sendNak(35);
            else
                ackEverything(frame, p);
        };
        ui.queueOpenFile(file);
        ui.queueYesNo(false);
        uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);
        const std::vector<HostFrame> frames = peer.framesWithoutAcks();
        if (naks == 10) {
            EXPECT_EQ(peer.count(35), 12);
            EXPECT_EQ(ids(frames).back(), 12);
            EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (0002 Punkte)."}));
            // The repeated packet is the same packet.
            EXPECT_EQ(frames[1].data, frames[11].data);
        } else {
            EXPECT_EQ(peer.count(35), 11);
            EXPECT_EQ(peer.count(12), 0);
            EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{kTransferError}));
        }
    }
}

TEST_F(UploadSerial, UnexpectedRepliesAndSilence) {
    addGroup(1, "NORD", 2, 50.0);
    const std::string file = writeTableAsMif("reply.mif", PointObjects);
    struct Case {
        uint8_t answeredId;  // the packet that gets the odd reply
        bool silent;
        std::vector<std::string> boxes;
    };
    const std::vector<Case> cases = {
        {29, false, {kTransferError}},
        // The route header was taken: the receiver may hold part of the route.
        {30, false, {std::string(kProtocolError) + kPartlySent}},
        {98, false, {std::string(kProtocolError) + kPartlySent}},
        {30, true, {"Fehler beim Einlesen vom seriellen Anschluss."}},
    };
    for (const Case& c : cases) {
        ui.clearEvents();
        peer.reset();
        peer.onFrame = [c](const HostFrame& frame, FakeSerialPeer& p) {
            if (frame.id == c.answeredId) {
                if (!c.silent) p.send(77, {1, 2});
            } else {
                ackEverything(frame, p);
            }
        };
        ui.queueOpenFile(file);
        ui.queueYesNo(true);
        uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);
        EXPECT_EQ(ui.boxTexts(), c.boxes) << "reply to packet " << (int)c.answeredId;
        EXPECT_EQ(peer.count(12), 0);
        EXPECT_EQ(ids(peer.framesWithoutAcks()).back(), c.answeredId);
    }
}

TEST_F(UploadSerial, UnacknowledgedRecordsPacketIsTriedFiveTimes) {
    add(makePoint({.number = 1, .name = "HAUS", .lat = 50.5, .lon = 7.25}));
    const std::string file = writeTableAsMif("silent.mif", PointObjects);
    peer.onFrame = nullptr;
    ui.queueOpenFile(file);
    ui.queueYesNo(false);
    uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);
    EXPECT_EQ(ids(peer.frames), (std::vector<uint8_t>{27, 27, 27, 27, 27}));
    EXPECT_EQ(pauses(ui), (std::vector<int>{500, 50, 1000, 50, 1000, 50, 1000, 50, 1000, 50}));
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler beim Aufbau der Verbindung zum GPS-Gerät."}));
}

TEST_F(UploadSerial, A300ReceiverGetsNoTrackHeader) {
    setProtocolSet(kA300Protocols);
    addGroup(1, "", 3, 50.0);
    addGroup(2, "", 2, 51.0);
    const std::string file = writeTableAsMif("a300.mif", PointObjects);
    ui.queueOpenFile(file);
    uploadToDevice(serialLink(1), TransferKind::Tracks, MapInfoMif);
    const std::vector<HostFrame> frames = peer.framesWithoutAcks();
    EXPECT_EQ(ids(frames), (std::vector<uint8_t>{27, 34, 34, 34, 34, 34, 12}));
    EXPECT_EQ(u16At(frames[0]), 5);
    ASSERT_EQ(frames[1].data.size(), 13u);  // D300
    EXPECT_EQ(frames[1].data[12], 1);
    EXPECT_EQ(frames[2].data[12], 0);
    EXPECT_EQ(frames[4].data[12], 1);
    EXPECT_TRUE(ui.questionTexts().empty());
    EXPECT_EQ(ui.lastStatus(), "  Status:   0005  von  0005  Track-Punkten gesendet.");
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (0005 Punkte)."}));
}

TEST_F(UploadSerial, OneTrackLogFromAFileWithoutIdsAsksForTheName) {
    for (int i = 0; i < 4; i++) add(makePoint({.number = i + 1, .lat = 50.0 + i * 0.01, .lon = 7.0}));
    pointTable.records[0].NewSegment = 1;
    const std::string file = tempFile("track.ovl");
    countLinePoints(PointObjects);
    ASSERT_EQ(writeOvlAsciiFile(file.c_str(), PointObjects), 1);

    for (bool confirm : {true, false}) {
        ui.clearEvents();
        peer.reset();
        ui.queueOpenFile(file);
        ui.queueRouteTrackId(confirm, "MEIN TRACK");
        uploadToDevice(serialLink(1), TransferKind::Tracks, OvlAscii);
        const std::vector<HostFrame> frames = peer.framesWithoutAcks();
        EXPECT_EQ(ids(frames), (std::vector<uint8_t>{27, 99, 34, 34, 34, 34, 12}));
        EXPECT_EQ(u16At(frames[0]), 5);
        // Cancelled, the track keeps the name the ASCII reader gave it.
        EXPECT_EQ(trackIdents(frames), (std::vector<std::string>{confirm ? "MEIN TRACK" : "TRK01"}));
        const auto dialogs = ui.eventsOf(ScriptedEvent::RouteTrackIdDialog);
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_EQ(dialogs[0]->title, " Wegmate -- Routen-/Track-ID");
        EXPECT_EQ(frames[2].data.size(), 21u);  // D301
    }
}

TEST_F(UploadSerial, SeparateUnnamedTracksAreNamedByTheirNumbers) {
    addGroup(5, "", 2, 50.0);
    addGroup(7, "", 2, 51.0);
    addGroup(9, "", 2, 52.0);
    const std::string file = offerTable("sep.mif", true);
    uploadToDevice(serialLink(1), TransferKind::Tracks, MapInfoMif);
    const auto questions = ui.eventsOf(ScriptedEvent::YesNo);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0]->title, "Wegmate  --  Track-Punkt-Zuordnung");
    EXPECT_EQ(questions[0]->text, kSeparateQuestion);
    const std::vector<HostFrame> frames = peer.framesWithoutAcks();
    EXPECT_EQ(ids(frames), (std::vector<uint8_t>{27, 99, 34, 34, 99, 34, 34, 99, 34, 34, 12}));
    EXPECT_EQ(u16At(frames[0]), 9);
    EXPECT_EQ(trackIdents(frames), (std::vector<std::string>{"TRK05", "TRK07", "TRK09"}));
    EXPECT_TRUE(ui.eventsOf(ScriptedEvent::RouteTrackIdDialog).empty());

    // Not separate: one track log, which has no name of its own.
    ui.clearEvents();
    peer.reset();
    ui.queueOpenFile(file);
    ui.queueYesNo(false);
    uploadToDevice(serialLink(1), TransferKind::Tracks, MapInfoMif);
    const std::vector<HostFrame> one = peer.framesWithoutAcks();
    EXPECT_EQ(ids(one), (std::vector<uint8_t>{27, 99, 34, 34, 34, 34, 34, 34, 12}));
    EXPECT_EQ(trackIdents(one), (std::vector<std::string>{"TRACK"}));
}

TEST_F(UploadSerial, D311IndexesComeFromTrkNamesOrNumbers) {
    setProtocolSet("\r\nA100\r\nD108\r\nA301\r\nD311\r\nD301");
    addGroup(3, "TRK12", 2, 50.0);
    addGroup(4, "TRK1", 2, 51.0);
    offerTable("d311.mif", true);
    uploadToDevice(serialLink(1), TransferKind::Tracks, MapInfoMif);
    std::vector<int> indexes;
    for (const HostFrame& f : peer.framesWithoutAcks())
        if (f.id == 99) indexes.push_back(u16At(f));
    EXPECT_EQ(indexes, (std::vector<int>{12, 4}));
}

// A route number beyond the header's byte, or a track index beyond its two
// bytes, would arrive cut and could replace another route or track on the
// receiver: the upload ends before anything is sent.
TEST_F(UploadSerial, NumbersBeyondTheHeaderFieldSendNothing) {
    setProtocolSet("A100\r\nA200\r\nD103\r\nD201\r\n");
    addGroup(1, "", 2, 50.0);
    addGroup(257, "", 2, 48.0);
    offerTable("route257.mif", true);
    uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);
    EXPECT_TRUE(peer.framesWithoutAcks().empty());
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Routennummer 257 liegt außerhalb des Bereichs 0 bis 255, \nden "
                                                       "das GPS-Gerät speichern kann. \nEs wurde nichts übertragen."}));

    pointTable.reset();
    ui.clearEvents();
    setProtocolSet("\r\nA100\r\nD108\r\nA301\r\nD311\r\nD301");
    addGroup(3, "TRK12", 2, 50.0);
    addGroup(70000, "", 2, 51.0);
    offerTable("track70000.mif", true);
    uploadToDevice(serialLink(1), TransferKind::Tracks, MapInfoMif);
    EXPECT_TRUE(peer.framesWithoutAcks().empty());
    EXPECT_EQ(ui.boxTexts(),
              (std::vector<std::string>{"Track-Nummer 70000 liegt außerhalb des Bereichs 0 bis 65535, \nden das "
                                        "GPS-Gerät speichern kann. \nEs wurde nichts übertragen."}));
}

TEST_F(UploadSerial, OverlongTrackIsSplitIntoSeparateLogsWithoutAsking) {
    settings.maxTrackPoints = 500;
    addGroup(1, "ACTIVE LOG", 1200, 50.0);
    const std::string file = writeTableAsMif("long.mif", PointObjects);
    ui.queueOpenFile(file);
    ui.recordAllStatus = false;
    uploadToDevice(serialLink(1), TransferKind::Tracks, MapInfoMif);
    EXPECT_TRUE(ui.questionTexts().empty());
    const std::vector<HostFrame> frames = peer.framesWithoutAcks();
    EXPECT_EQ(u16At(frames[0]), 1203);
    EXPECT_EQ(trackIdents(frames), (std::vector<std::string>{"ACTIVE LOG", "ACTLG_B", "ACTLG_C"}));
    EXPECT_EQ(peer.count(34), 1200);
    const auto boxes = ui.eventsOf(ScriptedEvent::Box);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0]->title, "Wegmate -- Grenzwertüberschreitung");
    EXPECT_EQ(boxes[1]->text, "Übertragung erfolgreich beendet (1200 Punkte).");
}

TEST_F(UploadSerial, NakToATrackHeaderEndsTheUpload) {
    addGroup(1, "EINS", 2, 50.0);
    const std::string file = writeTableAsMif("hdrnak.mif", PointObjects);
    peer.onFrame = [](const HostFrame& frame, FakeSerialPeer& p) {
        if (frame.id == 99)
            p.sendNak(99);
        else
            ackEverything(frame, p);
    };
    ui.queueOpenFile(file);
    ui.queueYesNo(false);
    uploadToDevice(serialLink(1), TransferKind::Tracks, MapInfoMif);
    EXPECT_EQ(ids(peer.framesWithoutAcks()), (std::vector<uint8_t>{27, 99}));
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{kTransferError}));
}

TEST_F(UploadSerial, PointThatCannotBeSentEndsTheUpload) {
    add(makePoint({.number = 1, .name = "HAUS", .lat = 50.5, .lon = 7.25}));
    add(makePoint({.number = 2, .name = "HOF", .lat = 50.6, .lon = 7.5}));
    const std::string file = writeTableAsMif("nosend.mif", PointObjects);
    peer.failWritesOfId = 35;
    ui.queueOpenFile(file);
    ui.queueYesNo(false);
    uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler bei Ausgabe zum seriellen Anschluss.", kTransferError}));
    EXPECT_EQ(ids(peer.framesWithoutAcks()), (std::vector<uint8_t>{27}));
}

// A transfer-complete packet that cannot be sent is no success.
TEST_F(UploadSerial, FailedTransferCompleteIsReportedAsError) {
    add(makePoint({.number = 1, .name = "HAUS", .lat = 50.5, .lon = 7.25}));
    const std::string file = writeTableAsMif("end.mif", PointObjects);
    peer.failWritesOfId = 12;
    ui.queueOpenFile(file);
    ui.queueYesNo(false);
    uploadToDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler bei Ausgabe zum seriellen Anschluss.",
                                                       std::string(kTransferError) + kPartlySent}));
}

}  // namespace
