// The download's exact exchanges on a serial link, played by a byte-level
// fake receiver: questions, acknowledgements, counts, ends and the file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "link/protocol_set.h"
#include "tests/support/scripted_platform.h"
#include "tests/support/fake_serial_peer.h"
#include "tests/transfer/transfer_helpers.h"
#include "transfers/download.h"
#include "model/point_table.h"

namespace {

const char* const kEtrexProtocols =
    "\r\nP000\r\nL001\r\nA010\r\nA100\r\nD108\r\nA201\r\nD202\r\nD108\r\nD210"
    "\r\nA301\r\nD310\r\nD301";
const char* const kRouteQuestion =
    "Nur die Wegpunkte abrufen, die ROUTE(N) zugeordnet sind? \n  \n"
    "(Bei 'Nein' werden alle vorhandenen Wegpunkte übertragen, \n"
    "aber deren Routenzugehörigkeit - sofern gegeben - wird \n"
    "nicht erkennbar sein.)";
const char* const kPrematureEnd = "Übertragungsfehler. \nDer Datentransfer wurde vorzeitig beendet. ";
const char* const kNothingLeft = "Es bleibt nichts zum Schreiben übrig. Es wird keine \nAusgabedatei erzeugt.";
const char* const kNoValidPosition =
    "Kein einziger der eingelesenen Punkte hat, \ngültige Positionsdaten. Deshalb kann keine \n"
    "Ausgabedatei erzeugt werden. \n";

struct DevicePacket {
    uint8_t id;
    std::vector<uint8_t> data;
};

// A receiver that acknowledges the transfer command and then sends the
// given packets in one go (it ignores the program's acknowledgements).
void answerCommandWith(FakeSerialPeer& peer, std::vector<DevicePacket> packets) {
    peer.onFrame = [packets](const HostFrame& frame, FakeSerialPeer& p) {
        if (frame.id != 10) return;
        p.sendAck(10);
        for (const DevicePacket& packet : packets) p.send(packet.id, packet.data);
    };
}

std::vector<uint8_t> ackedIds(const FakeSerialPeer& peer) {
    std::vector<uint8_t> ids;
    for (const HostFrame& frame : peer.frames)
        if (frame.id == 6) ids.push_back(frame.data.at(0));
    return ids;
}

std::vector<int> pauses(const ScriptedPlatform& ui) {
    std::vector<int> result;
    for (const ScriptedEvent* event : ui.eventsOf(ScriptedEvent::Pause)) result.push_back(event->number);
    return result;
}

class DownloadSerial : public ::testing::Test {
  protected:
    void SetUp() override {
        setProtocolSet(kEtrexProtocols);
        pointTable.reset();
        file = tempFile("download.mif");
    }
    ScriptedPlatform ui;
    FakeSerialPeer peer{{.startMs = 1000, .lookMs = 1, .byteReadMs = 0}};
    std::string file;
};

TEST_F(DownloadSerial, WaypointsAreAcknowledgedNumberedAndWritten) {
    ui.queueSaveFile(file);
    ui.queueYesNo(false);
    answerCommandWith(peer, {{27, u16Bytes(3)},
                             {35, waypointRecord(WaypointFormat::D108, "HAUS", 50.5, 7.25, "Garten")},
                             {35, waypointRecord(WaypointFormat::D108, "KIRCHE", 50.6, 7.5)},
                             {35, waypointRecord(WaypointFormat::D108, "BRUECKE", -33.9, 151.2)},
                             {12, u16Bytes(7)}});

    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, PointObjects);

    const auto saves = ui.eventsOf(ScriptedEvent::SaveFile);
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0]->title, "Wegmate  --  MIF-Datei schreiben");
    EXPECT_EQ(saves[0]->text, "*.mif");
    EXPECT_EQ(saves[0]->filter, FileFilter::MapInfo);
    const auto questions = ui.eventsOf(ScriptedEvent::YesNo);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0]->title, "Wegmate  --  Wegpunktmodus");
    EXPECT_EQ(questions[0]->text, kRouteQuestion);

    ASSERT_GE(peer.frames.size(), 1u);
    EXPECT_EQ(peer.frames[0].id, 10);
    EXPECT_EQ(peer.frames[0].data, (std::vector<uint8_t>{7, 0}));
    EXPECT_EQ(ackedIds(peer), (std::vector<uint8_t>{27, 35, 35, 35, 12}));
    EXPECT_EQ(pauses(ui), (std::vector<int>{500, 100}));
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::Repaint).size(), 1u);

    ASSERT_EQ(pointTable.count, 3);
    const PointRecord* r = pointTable.records;
    EXPECT_STREQ(r[0].NameOfPoint, "HAUS");
    EXPECT_STREQ(r[0].Comment, "Garten");
    EXPECT_STREQ(r[2].NameOfPoint, "BRUECKE");
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(r[i].NumberOfRouteOrTrack, 0);
        EXPECT_EQ(r[i].NumberOfPoint, i + 1);
        EXPECT_EQ(r[i].NewSegment, i == 0 ? 1 : 0);
        EXPECT_STREQ(r[i].NameOfRouteOrTrack, "");
    }
    EXPECT_NEAR(r[2].Latitude, -33.9, 1e-6);

    const std::vector<std::string> status = ui.statusTexts();
    EXPECT_EQ(status, (std::vector<std::string>{"  Status:   0001  von  0003  Wegpunkten empfangen.",
                                                "  Status:   0002  von  0003  Wegpunkten empfangen.",
                                                "  Status:   0003  von  0003  Wegpunkten empfangen."}));
    EXPECT_EQ(ui.statusCounts(), (std::vector<std::pair<long, long>>{{1, 3}, {2, 3}, {3, 3}}));
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (00003 Punkte)."}));
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::Box)[0]->title, "Wegmate-INFO");
    EXPECT_TRUE(fileExists(file));
    EXPECT_TRUE(fileExists(file.substr(0, file.size() - 1) + "d"));
}

// A point without valid position is kept out of the file with a box, and
// the success count names the points written.
TEST_F(DownloadSerial, InvalidPositionsAreLeftOutReportedAndCounted) {
    ui.queueSaveFile(file);
    ui.queueYesNo(false);
    answerCommandWith(peer, {{27, u16Bytes(3)},
                             {35, waypointRecord(WaypointFormat::D108, "HAUS", 50.5, 7.25)},
                             {35, waypointRecord(WaypointFormat::D108, "NIRGENDS", 95.0, 7.5)},
                             {35, waypointRecord(WaypointFormat::D108, "HOF", 50.6, 7.5)},
                             {12, u16Bytes(7)}});
    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, PointObjects);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{
                                 "Einer oder mehrere der eingelesenen Punkte \nhaben keine gültigen "
                                 "Positionsdaten. Diese \nPunkte sind daher nicht in der Ausgabedatei \nenthalten.",
                                 "Übertragung erfolgreich beendet (00002 Punkte)."}));
    const std::string mid = readFile(file.substr(0, file.size() - 1) + "d");
    EXPECT_NE(mid.find("\"HAUS\""), std::string::npos);
    EXPECT_NE(mid.find("\"HOF\""), std::string::npos);
    EXPECT_EQ(mid.find("NIRGENDS"), std::string::npos);
}

// An altitude of the receiver that the file cannot hold (the writers take
// -500 to 20000 metres) is left empty, and the warning counts it; the
// receiver's own "no altitude" is no such value.
TEST_F(DownloadSerial, AltitudesTheFileCannotHoldAreCounted) {
    std::vector<uint8_t> high = waypointRecord(WaypointFormat::D108, "GIPFEL", 50.5, 7.25);
    const uint8_t bits[] = {0x00, 0x50, 0xC3, 0x46};  // 25000.0f
    std::copy(bits, bits + 4, high.begin() + 32);
    ui.queueSaveFile(file);
    ui.queueYesNo(false);
    answerCommandWith(peer, {{27, u16Bytes(2)},
                             {35, high},
                             {35, waypointRecord(WaypointFormat::D108, "TAL", 50.6, 7.5)},
                             {12, u16Bytes(7)}});
    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, PointObjects);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"1 Angabe der eingelesenen Punkte (Höhe, Zeit, Symbol \n"
                                                       "oder Anzeige) ist ungültig und bleibt leer.",
                                                       "Übertragung erfolgreich beendet (00002 Punkte)."}));
    EXPECT_NE(readFile(file.substr(0, file.size() - 1) + "d").find("\"GIPFEL\",\"\",\"\",\"\""), std::string::npos);
}

TEST_F(DownloadSerial, RouteModeNumbersThePointsWithinEachRoute) {
    setProtocolSet("\r\nA100\r\nD108\r\nA201\r\nD201");
    ui.queueSaveFile(file);
    ui.queueYesNo(true);
    std::vector<uint8_t> header3 = {3};
    for (const char* p = "AM FLUSS"; *p; p++) header3.push_back((uint8_t)*p);
    header3.resize(21, 0);
    std::vector<uint8_t> header5(21, 0);
    header5[0] = 5;
    const std::vector<uint8_t> link(21, 0);
    answerCommandWith(peer, {{27, u16Bytes(6)},
                             {29, header3},
                             {30, waypointRecord(WaypointFormat::D108, "A1", 50.0, 7.0)},
                             {98, link},
                             {30, waypointRecord(WaypointFormat::D108, "A2", 50.1, 7.1)},
                             {29, header5},
                             {30, waypointRecord(WaypointFormat::D108, "B1", 51.0, 8.0)},
                             {12, u16Bytes(4)}});

    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, LineObjects);

    EXPECT_EQ(peer.frames.at(0).data, (std::vector<uint8_t>{4, 0}));
    ASSERT_EQ(pointTable.count, 3);
    const PointRecord* r = pointTable.records;
    EXPECT_EQ(r[0].NumberOfRouteOrTrack, 3);
    EXPECT_EQ(r[1].NumberOfRouteOrTrack, 3);
    EXPECT_EQ(r[2].NumberOfRouteOrTrack, 5);
    EXPECT_EQ(r[0].NumberOfPoint, 1);
    EXPECT_EQ(r[1].NumberOfPoint, 2);
    EXPECT_EQ(r[2].NumberOfPoint, 1);
    EXPECT_EQ(r[0].NewSegment, 1);
    EXPECT_EQ(r[1].NewSegment, 0);
    EXPECT_EQ(r[2].NewSegment, 1);
    EXPECT_STREQ(r[0].NameOfRouteOrTrack, "AM FLUSS");
    EXPECT_STREQ(r[2].NameOfRouteOrTrack, "");
    EXPECT_EQ(ui.lastStatus(), "  Status:   0003  Routen-Wegpunkte empfangen.");
    EXPECT_EQ(ui.statusCounts().back(), (std::pair<long, long>{-1, -1}));
    // A route of one point cannot become a line.
    EXPECT_EQ(ui.boxTexts(),
              (std::vector<std::string>{
                  "Kann kein Linienobjekt aus einer Route, \neiner Track-Aufzeichnung oder einem Abschnitt \n"
                  "einer Track-Aufz. mit weniger als 2 Punkten \nerzeugen. \n"
                  "Einer oder mehrere Punkte werden verworfen.",
                  "Übertragung erfolgreich beendet (00002 Punkte)."}));
}

// Waypoints form no lines: with line objects a waypoint download leaves them
// out with their count; with nothing left to write (here, too, after a
// route of one point) no file is written.
TEST_F(DownloadSerial, NothingLeftForLinesWritesNoFile) {
    ui.queueSaveFile(file);
    ui.queueYesNo(false);
    answerCommandWith(peer, {{27, u16Bytes(2)},
                             {35, waypointRecord(WaypointFormat::D108, "KANSAS", 38.5, -98.0)},
                             {35, waypointRecord(WaypointFormat::D108, "TAIPEI", 25.0, 121.5)},
                             {12, u16Bytes(7)}});
    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, LineObjects);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"2 Wegpunkte gehören zu keiner Route und sind keine \n"
                                                       "Linienobjekte. Sie werden ausgelassen.",
                                                       kNothingLeft}));
    EXPECT_FALSE(fileExists(file));

    ui.clearEvents();
    peer.reset();
    ui.queueSaveFile(file);
    ui.queueYesNo(true);
    answerCommandWith(peer, {{27, u16Bytes(2)},
                             {29, {'R', '1', 0}},
                             {30, waypointRecord(WaypointFormat::D108, "A1", 50.0, 7.0)},
                             {12, u16Bytes(4)}});
    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, LineObjects);
    ASSERT_EQ(ui.boxTexts().size(), 2u);
    EXPECT_EQ(ui.boxTexts()[1], kNothingLeft);
    EXPECT_FALSE(fileExists(file));
}

TEST_F(DownloadSerial, SilentReceiverGetsTheCommandFiveTimesWithPauses) {
    writeFile(file, "alter Inhalt");
    ui.queueSaveFile(file);
    ui.queueYesNo(false);

    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, PointObjects);

    EXPECT_EQ(peer.count(10), 5);
    EXPECT_EQ(pauses(ui), (std::vector<int>{500, 100, 1000, 100, 1000, 100, 1000, 100, 1000, 100}));
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler beim Aufbau der Verbindung zum GPS-Gerät."}));
    EXPECT_EQ(readFile(file), "alter Inhalt");
}

TEST_F(DownloadSerial, AnythingButAnAckToTheCommandIsAFailedAttempt) {
    ui.queueSaveFile(file);
    ui.queueYesNo(false);
    peer.onFrame = [](const HostFrame& frame, FakeSerialPeer& p) {
        if (frame.id == 10) p.sendNak(10);
    };
    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, PointObjects);
    EXPECT_EQ(peer.count(10), 5);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler beim Aufbau der Verbindung zum GPS-Gerät."}));
    EXPECT_FALSE(fileExists(file));
}

TEST_F(DownloadSerial, FirstPacketOtherThanRecordsNamesTheProtocolSetting) {
    ui.queueSaveFile(file);
    ui.queueYesNo(false);
    answerCommandWith(peer, {{35, waypointRecord(WaypointFormat::D108, "X", 1, 1)}});
    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, PointObjects);
    EXPECT_EQ(ui.boxTexts(),
              (std::vector<std::string>{"Übertragungsfehler.\nStellen Sie sicher, dass das GPS-Gerät\n"
                                        "auf 'GARMIN' oder 'GRMN' als Daten-\naustauschprotokoll eingestellt ist."}));
    EXPECT_FALSE(fileExists(file));
}

TEST_F(DownloadSerial, WrongCountsEndWithThePrematureEndMessageAndNoFile) {
    writeFile(file, "alter Inhalt");
    // Fewer records than announced.
    ui.queueSaveFile(file);
    ui.queueYesNo(false);
    answerCommandWith(peer, {{27, u16Bytes(3)},
                             {35, waypointRecord(WaypointFormat::D108, "A", 1, 1)},
                             {35, waypointRecord(WaypointFormat::D108, "B", 2, 2)},
                             {12, u16Bytes(7)}});
    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, PointObjects);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{kPrematureEnd}));
    EXPECT_EQ(readFile(file), "alter Inhalt");

    // More records than announced.
    ui.clearEvents();
    peer.reset();
    ui.queueSaveFile(file);
    ui.queueYesNo(false);
    answerCommandWith(peer, {{27, u16Bytes(1)},
                             {35, waypointRecord(WaypointFormat::D108, "A", 1, 1)},
                             {35, waypointRecord(WaypointFormat::D108, "B", 2, 2)},
                             {12, u16Bytes(7)}});
    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, PointObjects);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{kPrematureEnd}));
    EXPECT_EQ(readFile(file), "alter Inhalt");
    EXPECT_FALSE(fileExists(file.substr(0, file.size() - 1) + "d"));
}

TEST_F(DownloadSerial, SilenceInTheMiddleIsReportedAndWritesNothing) {
    ui.queueSaveFile(file);
    ui.queueYesNo(false);
    answerCommandWith(peer, {{27, u16Bytes(3)}, {35, waypointRecord(WaypointFormat::D108, "A", 1, 1)}});
    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, PointObjects);
    // One box: the read error, no second one that says the same.
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler beim Einlesen vom seriellen Anschluss."}));
    EXPECT_FALSE(fileExists(file));
}

TEST_F(DownloadSerial, AcksAndNaksOfTheReceiverAreNeitherCountedNorAcknowledged) {
    ui.queueSaveFile(file);
    ui.queueYesNo(false);
    answerCommandWith(peer, {{27, u16Bytes(1)},
                             {6, {35, 0}},
                             {21, {35, 0}},
                             {35, waypointRecord(WaypointFormat::D108, "A", 1, 1)},
                             {77, {1, 2, 3}},
                             {12, u16Bytes(1)}});
    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, PointObjects);
    EXPECT_EQ(ackedIds(peer), (std::vector<uint8_t>{27, 35, 77, 12}));
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (00001 Punkte)."}));
}

// The receiver waits for each acknowledgement: the single-track question
// comes before the transfer command, the tracks are offered once every
// record is in.
TEST_F(DownloadSerial, OneTrackChosenTrackByTrackAfterTheTransfer) {
    ui.queueSaveFile(file);
    ui.queueYesNo(true);   // only one track
    ui.queueYesNo(false);  // not track 1
    ui.queueYesNo(true);   // track 2
    std::vector<DevicePacket> packets = {{27, u16Bytes(9)}};
    const char* names[] = {"MORGEN", "MITTAG", "ABEND"};
    for (int t = 0; t < 3; t++) {
        packets.push_back({99, trackHeaderD310(names[t], 1, (uint8_t)(t + 2))});
        for (int i = 0; i < 2; i++)
            packets.push_back(
                {34, trackPointRecord(TrackPointFormat::D301, 50 + t, 7 + i * 0.01, 1000 + i, 100.5f + t, i == 0)});
    }
    packets.push_back({12, u16Bytes(9)});
    answerCommandWith(peer, packets);
    // How many questions had been asked when each header was acknowledged.
    std::vector<size_t> questionsAtHeaderAck;
    auto inner = peer.onFrame;
    peer.onFrame = [&, inner](const HostFrame& frame, FakeSerialPeer& p) {
        if (frame.id == 6 && frame.data.at(0) == 99)
            questionsAtHeaderAck.push_back(ui.eventsOf(ScriptedEvent::YesNo).size());
        inner(frame, p);
    };

    downloadFromDevice(serialLink(1), TransferKind::Tracks, MapInfoMif, LineObjects);

    EXPECT_EQ(questionsAtHeaderAck, (std::vector<size_t>{1, 1, 1}));
    const auto questions = ui.eventsOf(ScriptedEvent::YesNo);
    ASSERT_EQ(questions.size(), 3u);
    EXPECT_EQ(questions[0]->title, "Wegmate  --  Track-Aufz.-Auswahl");
    EXPECT_EQ(questions[0]->text, "Nur eine einzelne (noch auszuwählende) \nTrack-Aufzeichnung abrufen?");
    EXPECT_EQ(questions[1]->title, "Wegmate  --  Track-Aufz. auswählen");
    EXPECT_EQ(questions[1]->text, "Diese Track-Aufzeichnung abrufen?\nNr. 1 : 'MORGEN'");
    EXPECT_EQ(questions[2]->text, "Diese Track-Aufzeichnung abrufen?\nNr. 2 : 'MITTAG'");
    EXPECT_EQ(questions[0]->question, QuestionId::SingleTrack);
    EXPECT_EQ(questions[1]->question, QuestionId::TrackOffer);
    EXPECT_EQ(questions[2]->number, 2);
    EXPECT_EQ(peer.frames.at(0).data, (std::vector<uint8_t>{6, 0}));

    ASSERT_EQ(pointTable.count, 2);
    for (int i = 0; i < 2; i++) {
        const PointRecord& r = pointTable.records[i];
        EXPECT_EQ(r.NumberOfRouteOrTrack, 2);
        EXPECT_EQ(r.NumberOfPoint, i + 1);
        EXPECT_STREQ(r.NameOfRouteOrTrack, "MITTAG");
        EXPECT_EQ(r.HasSymbol, 1);
        EXPECT_EQ(r.Display2, 3);
        EXPECT_EQ(r.Time, 1000 + i);
        EXPECT_FLOAT_EQ(r.Altitude, 101.5f);
        EXPECT_EQ(r.NewSegment, i == 0 ? 1 : 0);
    }
    EXPECT_EQ(ui.lastStatus(), "  Status:   00006  von  00006  Track-Punkten empfangen.");
    EXPECT_EQ(ui.statusCounts().back(), (std::pair<long, long>{6, 6}));
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (00002 Punkte)."}));
}

TEST_F(DownloadSerial, NoToEveryOfferedTrackGivesNoFile) {
    ui.queueSaveFile(file);
    ui.queueYesNo(true);
    ui.queueYesNo(false);
    ui.queueYesNo(false);
    answerCommandWith(peer, {{27, u16Bytes(4)},
                             {99, trackHeaderD310("EINS")},
                             {34, trackPointRecord(TrackPointFormat::D301, 50, 7, 0, 1, true)},
                             {99, trackHeaderD310("ZWEI")},
                             {34, trackPointRecord(TrackPointFormat::D301, 50, 7, 0, 1, true)},
                             {12, u16Bytes(2)}});
    downloadFromDevice(serialLink(1), TransferKind::Tracks, MapInfoMif, PointObjects);
    EXPECT_EQ(pointTable.count, 0);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Keine der Track-Aufzeichnungen wurde ausgewählt. \n"
                                                       "Es wird keine Ausgabedatei erzeugt."}));
    EXPECT_FALSE(fileExists(file));
}

// A receiver that sends each packet after the ACK of the one before and
// gives up on an ACK that comes later than it waits (three tries of 4 s).
void sendOnAcks(FakeSerialPeer& peer, std::vector<DevicePacket> packets) {
    auto next = std::make_shared<size_t>(0);
    auto sentAt = std::make_shared<uint32_t>(0);
    peer.onFrame = [packets, next, sentAt](const HostFrame& frame, FakeSerialPeer& p) {
        if (frame.id == 10) {
            p.sendAck(10);
        } else if (frame.id != 6 || *next == 0 || *next > packets.size() ||
                   frame.data.at(0) != packets[*next - 1].id) {
            return;
        } else if (p.now - *sentAt > 12000) {
            *next = packets.size() + 1;  // gave up
            return;
        }
        if (*next >= packets.size()) return;
        p.send(packets[*next].id, packets[*next].data);
        *sentAt = p.now;
        ++*next;
    };
}

// Every question of the single-track choice stays open longer than the
// receiver waits for an acknowledgement, and the transfer still succeeds.
TEST(DownloadSerialQuestions, NoQuestionKeepsTheReceiverWaiting) {
    setProtocolSet(kEtrexProtocols);
    pointTable.reset();
    const std::string file = tempFile("slow-answers.mif");
    FakeSerialPeer peer{{.startMs = 1000, .lookMs = 1, .byteReadMs = 0}};
    int offers = 0;
    ScriptedPlatform ui({.yesNo =
                             [&](QuestionId id) {
                                 peer.now += 13000;
                                 if (id == QuestionId::SingleTrack) return true;
                                 return ++offers == 2;  // not track 1, track 2
                             },
                         .openFile = "",
                         .saveFile = file,
                         .initials = ""});
    std::vector<DevicePacket> packets = {{27, u16Bytes(6)}};
    for (int t = 0; t < 2; t++) {
        packets.push_back({99, trackHeaderD310(t == 0 ? "EINS" : "ZWEI")});
        for (int i = 0; i < 2; i++)
            packets.push_back({34, trackPointRecord(TrackPointFormat::D301, 50 + t, 7 + i * 0.01, 0, 1, i == 0)});
    }
    packets.push_back({12, u16Bytes(6)});
    sendOnAcks(peer, packets);

    downloadFromDevice(serialLink(1), TransferKind::Tracks, MapInfoMif, PointObjects);

    EXPECT_EQ(offers, 2);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (00002 Punkte)."}));
    ASSERT_EQ(pointTable.count, 2);
    EXPECT_STREQ(pointTable.records[0].NameOfRouteOrTrack, "ZWEI");
    EXPECT_TRUE(fileExists(file));
}

TEST_F(DownloadSerial, AllTracksWithStatusOfStoredPoints) {
    ui.queueSaveFile(file);
    ui.queueYesNo(false);
    answerCommandWith(peer, {{27, u16Bytes(5)},
                             {99, trackHeaderD310("EINS")},
                             {34, trackPointRecord(TrackPointFormat::D301, 50, 7, 0, 1, true)},
                             {34, trackPointRecord(TrackPointFormat::D301, 50.1, 7, 0, 1, false)},
                             {99, trackHeaderD310("ZWEI")},
                             {34, trackPointRecord(TrackPointFormat::D301, 51, 7, 0, 1, false)},
                             {12, u16Bytes(2)}});
    downloadFromDevice(serialLink(1), TransferKind::Tracks, OvlBinary, PointObjects);
    ASSERT_EQ(pointTable.count, 3);
    EXPECT_EQ(pointTable.records[2].NumberOfRouteOrTrack, 2);
    EXPECT_EQ(pointTable.records[2].NumberOfPoint, 1);
    // A new track starts a new line even without the receiver's flag.
    EXPECT_EQ(pointTable.records[2].NewSegment, 1);
    EXPECT_EQ(ui.statusTexts().back(), "  Status:   00003  von  00003  Track-Punkten empfangen.");
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::SaveFile)[0]->title, "Wegmate  --  OVL-Datei schreiben");
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::SaveFile)[0]->text, "*.ovl");
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::SaveFile)[0]->filter, FileFilter::Overlay);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (00003 Punkte)."}));
}

TEST_F(DownloadSerial, A300TrackIsOneUnnamedTrackSegmentedByTheReceiverFlag) {
    setProtocolSet("A100\r\nA200\r\nA300\r\nD103\r\nD201\r\n____\r\nD300\r\n____\r\n");
    ui.queueSaveFile(file);
    answerCommandWith(peer, {{27, u16Bytes(4)},
                             {34, trackPointRecord(TrackPointFormat::D300, 50, 7, 10, 0, true)},
                             {34, trackPointRecord(TrackPointFormat::D300, 50.1, 7, 20, 0, false)},
                             {34, trackPointRecord(TrackPointFormat::D300, 50.2, 7, 30, 0, true)},
                             {34, trackPointRecord(TrackPointFormat::D300, 50.3, 7, 40, 0, false)},
                             {12, u16Bytes(4)}});
    downloadFromDevice(serialLink(1), TransferKind::Tracks, MapInfoMif, LineObjects);
    EXPECT_TRUE(ui.eventsOf(ScriptedEvent::YesNo).empty());
    ASSERT_EQ(pointTable.count, 4);
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(pointTable.records[i].NumberOfRouteOrTrack, 1);
        EXPECT_EQ(pointTable.records[i].NumberOfPoint, i + 1);
        EXPECT_STREQ(pointTable.records[i].NameOfRouteOrTrack, "");
        EXPECT_EQ(pointTable.records[i].HasSymbol, 0);
        EXPECT_FLOAT_EQ(pointTable.records[i].Altitude, kNoAltitude);
    }
    EXPECT_EQ(pointTable.records[2].NewSegment, 1);
    EXPECT_EQ(pointTable.records[3].NewSegment, 0);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (00004 Punkte)."}));
}

TEST_F(DownloadSerial, D303GapMarkersAreDroppedAndTwoInARowStartASegment) {
    setProtocolSet("\r\nA100\r\nD108\r\nA301\r\nD310\r\nD303");
    ui.queueSaveFile(file);
    ui.queueYesNo(false);
    answerCommandWith(peer, {{27, u16Bytes(7)},
                             {99, trackHeaderD310("LAUF")},
                             {34, trackPointRecord(TrackPointFormat::D303, 50.0, 7, 0, 1, false)},
                             {34, gapMarker()},
                             {34, trackPointRecord(TrackPointFormat::D303, 50.1, 7, 0, 1, false)},
                             {34, gapMarker()},
                             {34, gapMarker()},
                             {34, trackPointRecord(TrackPointFormat::D303, 50.2, 7, 0, 1, false)},
                             {12, u16Bytes(7)}});
    downloadFromDevice(serialLink(1), TransferKind::Tracks, MapInfoMif, PointObjects);
    ASSERT_EQ(pointTable.count, 3);
    EXPECT_EQ(pointTable.records[0].NewSegment, 1);
    EXPECT_EQ(pointTable.records[1].NewSegment, 0);
    EXPECT_EQ(pointTable.records[2].NewSegment, 1);
    EXPECT_EQ(pointTable.records[1].NumberOfPoint, 2);
    EXPECT_EQ(pointTable.records[2].NumberOfPoint, 3);
    EXPECT_EQ(ui.lastStatus(), "  Status:   00003  von  00006  Track-Punkten empfangen.");
}

TEST_F(DownloadSerial, D311HeadersNameTheTracksByIndex) {
    setProtocolSet("\r\nA100\r\nD108\r\nA301\r\nD311\r\nD301");
    ui.queueSaveFile(file);
    ui.queueYesNo(false);
    answerCommandWith(peer, {{27, u16Bytes(2)},
                             {99, u16Bytes(7)},
                             {34, trackPointRecord(TrackPointFormat::D301, 50.0, 7, 0, 1, false)},
                             {12, u16Bytes(1)}});
    downloadFromDevice(serialLink(1), TransferKind::Tracks, MapInfoMif, PointObjects);
    ASSERT_EQ(pointTable.count, 1);
    EXPECT_STREQ(pointTable.records[0].NameOfRouteOrTrack, "TRK07");
    EXPECT_EQ(pointTable.records[0].HasSymbol, 0);
}

// The table holds 20000 points: a log of exactly that many is written, one
// more point stops the download without a file.
TEST_F(DownloadSerial, TableCapacityOfTwentyThousandPoints) {
    for (int total : {kMaxPoints, kMaxPoints + 1}) {
        ui.clearEvents();
        peer.reset();
        const std::string out = tempFile("capacity.mif");
        ui.queueSaveFile(out);
        ui.queueYesNo(false);
        std::vector<DevicePacket> packets = {{27, u16Bytes(total + 1)}, {99, trackHeaderD310("LANG")}};
        for (int i = 0; i < total; i++)
            packets.push_back({34, trackPointRecord(TrackPointFormat::D301, 50 + i * 1e-5, 7, i, 1, false)});
        packets.push_back({12, u16Bytes(total)});
        answerCommandWith(peer, packets);
        ui.recordAllStatus = false;
        downloadFromDevice(serialLink(1), TransferKind::Tracks, MapInfoMif, LineObjects);
        if (total == kMaxPoints) {
            EXPECT_EQ(pointTable.count, kMaxPoints);
            EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Übertragung erfolgreich beendet (20000 Punkte)."}));
            EXPECT_TRUE(fileExists(out));
        } else {
            EXPECT_EQ(pointTable.count, kMaxPoints);
            EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Maximale Anzahl von Punkten überschritten."}));
            EXPECT_FALSE(fileExists(out));
        }
    }
}

TEST_F(DownloadSerial, WriterFailureIsReported) {
    ui.queueSaveFile("/nonexistent-directory/x.mif");
    ui.queueYesNo(false);
    answerCommandWith(peer,
                      {{27, u16Bytes(1)}, {35, waypointRecord(WaypointFormat::D108, "A", 1, 1)}, {12, u16Bytes(1)}});
    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, PointObjects);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler beim Öffnen oder Schreiben der Ausgabedatei."}));
}

TEST_F(DownloadSerial, AcknowledgementThatCannotBeSentEndsTheDownload) {
    ui.queueSaveFile(file);
    ui.queueYesNo(false);
    answerCommandWith(peer,
                      {{27, u16Bytes(1)}, {35, waypointRecord(WaypointFormat::D108, "A", 1, 1)}, {12, u16Bytes(1)}});
    peer.failWritesOfId = 6;
    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, PointObjects);
    EXPECT_EQ(ui.boxTexts(),
              (std::vector<std::string>{"Fehler bei Ausgabe zum seriellen Anschluss.", "Übertragungsfehler."}));
    EXPECT_FALSE(fileExists(file));
}

TEST_F(DownloadSerial, CancelledFileDialogEndsSilently) {
    ui.queueCancelFile();
    downloadFromDevice(serialLink(1), TransferKind::Waypoints, MapInfoMif, PointObjects);
    EXPECT_TRUE(peer.frames.empty());
    EXPECT_TRUE(ui.boxTexts().empty());
    EXPECT_TRUE(ui.eventsOf(ScriptedEvent::Pause).empty());
}

}  // namespace
