// Upload of waypoints, routes and track logs from a file to the receiver:
// file choice, reading, names, questions, sorting, splitting, the id dialog,
// the records packet and every record with its handshake.

#include "transfers/upload.h"
#include "transfers/messages.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/text_encoding.h"
#include "formats/file_formats.h"
#include "link/packet.h"
#include "link/protocol_set.h"
#include "model/helpers.h"
#include "model/names.h"
#include "model/content.h"
#include "model/point_table.h"
#include "model/symbols.h"
#include "records/record_formats.h"
#include "model/splitting.h"

namespace {

const char* const kStatusPrefix = "  Status:   ";

const char* const kRouteModeTitle = "Wegmate  --  Wegpunktmodus";
const char* const kRouteModeQuestionNumbered =
    "Wegpunkte in ROUTE(N) laden auf Basis von \nRoutennummern und / oder Routennamen? \n";
const char* const kRouteModeQuestionAscii = "Wegpunkte in ROUTE(N) laden? \n";
const char* const kSeparateTracksTitle = "Wegmate  --  Track-Punkt-Zuordnung";
const char* const kSeparateTracksQuestion =
    "Track-Punkte in separate (benannte) Track-Aufz. laden \n"
    "auf Basis der Track-Nummern und / oder Track-Namen? \n"
    "(Vorausgesetzt Ihr GPS-Gerät kann mehrere Track-Logs \nspeichern.) \n";

const char* const kDuplicateError =
    "Mehrere Punkte mit identischer Punktnummer \nund Track- / Routen-Nummer gefunden! \n"
    "(Jede Kombination von Punktnummer und Routen- \nbzw. Track-Nummer darf nur einmal vorkommen.) ";
const char* const kRouteNumberError =
    "Routennummer %d liegt außerhalb des Bereichs 0 bis 255, \nden das GPS-Gerät speichern kann. "
    "\nEs wurde nichts übertragen.";
const char* const kTrackNumberError =
    "Track-Nummer %d liegt außerhalb des Bereichs 0 bis 65535, \nden das GPS-Gerät speichern kann. "
    "\nEs wurde nichts übertragen.";
const char* const kWaypointsLeftOut =
    "%d Wegpunkte ohne Routen- und Punktnummer gehören zu \nkeiner Route und werden ausgelassen.";
const char* const kNoRoutePointsError =
    "Die Eingabedatei enthält keine Routenpunkte. \nEs wurde nichts übertragen.";
const char* const kNamesChangedInfo =
    "Wegpunktnamen geändert wegen mehrfachem Vorkommen gleicher Bezeichnungen in Input-Datei.";

const char* const kNamesSpelledOutInfo =
    "%d Namen oder Kommentare für das GPS-Gerät umgeschrieben (Umlaute und Akzente ausgeschrieben, andere Zeichen "
    "ersetzt).";
const char* const kNameSpelledOutInfo =
    "1 Name oder Kommentar für das GPS-Gerät umgeschrieben (Umlaute und Akzente ausgeschrieben, andere Zeichen "
    "ersetzt).";

constexpr int kMaxNakRepeats = 10;

// What a reply other than ACK means after the packet just sent.
enum ReplyRule {
    RouteHeaderReply,  // NAK repeats; anything else: "Übertragungsfehler."
    TrackHeaderReply,  // everything but ACK: "Übertragungsfehler."; nakCount untouched
    PointReply         // NAK repeats; anything else: the long protocol hint
};

struct UploadState {
    const Link& link;
    int nakCount;       // NAKs in a row
    int recordsTaken;   // records the receiver has taken
};

// An upload that fails after the receiver took records has left them there.
const char* const kPartlySentNote = "\nDas GPS-Gerät kann jetzt einen Teil der gesendeten Daten enthalten.";

void showUploadError(const UploadState& state, const char* text) {
    if (state.recordsTaken == 0) {
        showError(text);
        return;
    }
    showError((std::string(text) + kPartlySentNote).c_str());
}

// Sends one record packet and, on a link that has them, waits for its
// acknowledgement. The status text, when given, is shown after the first
// successful send, with its counts (done of total points). A NAK repeats the
// unchanged packet, up to ten times in a row.
int sendRecord(UploadState& state, uint8_t id, const uint8_t* data, int size, ReplyRule rule, const char* statusText,
               int done = 0, int total = 0) {
    Packet packet;
    packet.build(id, (uint8_t)size, data);
    bool statusShown = false;
    for (;;) {
        if (!packet.send(state.link, 1)) {
            showUploadError(state, kTransferError);
            return 0;
        }
        if (statusText && !statusShown) {
            setProgressStatus(statusText, done, total);
            statusShown = true;
        }
        if (!state.link.acknowledged) {
            if (rule != TrackHeaderReply) state.nakCount = 0;
            state.recordsTaken++;
            return 1;
        }
        pauseMs(50);
        Packet reply;
        if (!reply.receive(state.link, 1, 5.0)) {
            if (!receiveShowedMessage()) showUploadError(state, kNoAnswerError);
            return 0;
        }
        if (reply.id == kPidAck) {
            if (rule != TrackHeaderReply) state.nakCount = 0;
            state.recordsTaken++;
            return 1;
        }
        if (reply.id == kPidNak && rule != TrackHeaderReply) {
            state.nakCount++;
            if (state.nakCount > kMaxNakRepeats) {
                showUploadError(state, kTransferError);
                return 0;
            }
            continue;
        }
        showUploadError(state, rule == PointReply ? kProtocolError : kTransferError);
        return 0;
    }
}

bool hasTrackLogProtocol() { return protocolSetContains("A301") || protocolSetContains("A302"); }

// The reader of the file type; a reader that can ask whether several lines
// are several track logs asks only when the receiver keeps track logs.
int readInputFile(const std::string& fileName, TransferKind transferKind, const FileFormat& format, ReadFacts& facts) {
    facts.askSeparateTracks = transferKind == TransferKind::Tracks && hasTrackLogProtocol();
    return format.read(fileName.c_str(), transferKind, facts) && applySelection(transferKind, transferSelection);
}

// How the prepared point table goes to the receiver.
struct UploadPlan {
    bool tracks = false;          // track points, else waypoints
    bool trackLogs = false;       // the receiver takes track logs with headers
    bool routeMode = false;       // waypoints as routes
    bool separateTracks = false;  // one track log per group
    int routeOrTrackCount = 0;    // headers to send
    int textsSpelledOut = 0;      // names and comments the receivers' filter changed
    bool namesChanged = false;    // the naming step changed a repeated name
};

// A table text through one of the receivers' filters. true when more than
// its case changed.
bool spellForReceiver(char (&field)[kNameSize], std::string (*filter)(std::string_view)) {
    const std::string spelled = filter(field);
    std::string capitals = field;
    for (char& c : capitals)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    copyName(field, spelled.c_str());
    return spelled != capitals;
}

// The receivers' character set, applied once where the table goes out over
// the binary protocol: point names and comments (before their uniqueness is
// decided on what the receiver keeps), or the route and track names of the
// headers. Returns how many texts changed beyond their case; a route or
// track name counts once.
int spellTableForReceiver(bool pointTexts) {
    int changed = 0;
    std::set<std::string> lineNames;
    for (int i = 0; i < pointTable.count; i++) {
        PointRecord& r = pointTable.records[i];
        if (pointTexts) {
            changed += spellForReceiver(r.NameOfPoint, filterIdent);
            changed += spellForReceiver(r.Comment, filterComment);
        } else {
            const std::string before = r.NameOfRouteOrTrack;
            if (spellForReceiver(r.NameOfRouteOrTrack, filterIdent)) lineNames.insert(before);
        }
    }
    return changed + static_cast<int>(lineNames.size());
}

bool hasDuplicatePointNumbers() {
    for (int i = 1; i < pointTable.count; i++) {
        const PointRecord& a = pointTable.records[i - 1];
        const PointRecord& b = pointTable.records[i];
        if (a.NumberOfRouteOrTrack == b.NumberOfRouteOrTrack && a.NumberOfPoint == b.NumberOfPoint) return true;
    }
    return false;
}

// ROUTETRACKNAMEDLG for one id of the whole table: preset "01" asks for a
// number, any other preset for a name.
void askCommonRouteOrTrackId(const char* preset) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s", preset);
    if (!runRouteTrackNameDialog(buffer)) return;
    const bool numberMode = preset[0] == '0';
    const int number = numberMode ? std::atoi(buffer) : 0;
    for (int i = 0; i < pointTable.count; i++) {
        if (numberMode)
            pointTable.records[i].NumberOfRouteOrTrack = number;
        else
            copyName(pointTable.records[i].NameOfRouteOrTrack, filterIdent(utf8ToCp1252(buffer)).c_str());
    }
}

void terminateNames(PointRecord& record) {
    record.NameOfPoint[kNameSize - 1] = 0;
    record.NameOfRouteOrTrack[kNameSize - 1] = 0;
    record.Comment[kNameSize - 1] = 0;
}

// Whether a track upload goes into several track logs: the reader's answer,
// over-long groups that must be split, or the question for files that carry
// numbers or names.
bool decideSeparateTracks(const FileFormat& format, const ReadFacts& facts) {
    bool separate = facts.separateTracksAnswered;
    if (splitRoutesAndTracks(TransferKind::Tracks, true)) separate = true;
    if (!separate && format.carriesRouteOrTrackIds &&
        askYesNo(QuestionId::SeparateTracks, kSeparateTracksTitle, kSeparateTracksQuestion))
        separate = true;
    return separate;
}

// ROUTETRACKNAMEDLG preset for one id of the whole table, or nullptr.
const char* commonIdPreset(const UploadPlan& plan) {
    if (!plan.tracks) {
        if (!plan.routeMode) return nullptr;
        return (protocolSetContains("D200") || protocolSetContains("D201")) ? "01" : "ROUTE";
    }
    if (!plan.trackLogs) return nullptr;
    if (protocolSetContains("D310") || protocolSetContains("D312")) return "ACTIVE LOG";
    if (protocolSetContains("D311")) return "01";
    return nullptr;
}

// A route header of D200 or D201 has one byte for the route number, a D311
// track header two for the track index (taken from a "TRKnn" name when
// there is one). A number beyond that would arrive cut to its low bits and
// could replace another route or track on the receiver: nothing is sent.
bool routeAndTrackNumbersFit(const UploadPlan& plan) {
    int limit = 0;
    const char* message = nullptr;
    if (plan.routeMode && uploadRouteHeaderFormat(protocolSet()) != RouteHeaderFormat::D202) {
        limit = 255;
        message = kRouteNumberError;
    } else if (plan.tracks && plan.trackLogs && uploadTrackHeaderFormat(protocolSet()) == TrackHeaderFormat::D311) {
        limit = 65535;
        message = kTrackNumberError;
    } else {
        return true;
    }
    // One track for all points has the header of the first.
    const int headers = plan.tracks && !plan.separateTracks && pointTable.count > 0 ? 1 : pointTable.count;
    for (int i = 0; i < headers; i++) {
        const PointRecord& r = pointTable.records[i];
        const int number = plan.tracks ? d311TrackIndex(r) : r.NumberOfRouteOrTrack;
        if (number >= 0 && number <= limit) continue;
        char text[200];
        snprintf(text, sizeof text, message, number);
        showError(text);
        return false;
    }
    return true;
}

// Reads the file and readies the point table: names, the route question,
// sorting, separate tracks, splitting and the common id. false after a
// message (or a cancelled dialog in the reader).
bool prepareUpload(const std::string& fileName, TransferKind transferKind, const FileFormat& format, UploadPlan& plan) {

    plan.tracks = transferKind == TransferKind::Tracks;
    plan.trackLogs = hasTrackLogProtocol();
    ReadFacts facts;
    // The readers have left out every record whose position the receiver
    // cannot hold.
    if (!readInputFile(fileName, transferKind, format, facts)) return false;
    // The file's values that the table could not hold, and those that the
    // receiver's waypoint format has no room for.
    int leftEmpty = pointTable.fieldsLeftEmpty;
    if (!plan.tracks) {
        const WaypointFormat waypointFormat = uploadWaypointFormat(protocolSet());
        for (int i = 0; i < pointTable.count; i++)
            leftEmpty += waypointFieldsNotCarried(pointTable.records[i], waypointFormat);
    }
    warnFieldsLeftEmpty(leftEmpty);
    if (!plan.tracks) warnUnknownSymbolNames(unknownSymbolNames());

    if (!plan.tracks) {
        // Only what goes to the receiver is named: the route question first.
        plan.routeMode = askYesNo(QuestionId::RouteMode, kRouteModeTitle,
                                  format.carriesRouteOrTrackIds ? kRouteModeQuestionNumbered : kRouteModeQuestionAscii);
        if (plan.routeMode && !leaveWaypointsOutOfRoutes()) return false;
        plan.textsSpelledOut = spellTableForReceiver(true);
        makePointNamesUnique(facts.naming, waypointIdentifierLength(uploadWaypointFormat(protocolSet())));
        plan.namesChanged = facts.naming.namesChanged;
    }
    if (plan.routeMode || (plan.tracks && plan.trackLogs)) plan.textsSpelledOut += spellTableForReceiver(false);

    sortPointTable();

    if (plan.tracks && plan.trackLogs) {
        plan.separateTracks = decideSeparateTracks(format, facts);
        plan.routeOrTrackCount = 1;
    }

    if (plan.routeMode || plan.separateTracks) {
        if (hasDuplicatePointNumbers()) {
            showError(kDuplicateError);
            return false;
        }
        splitRoutesAndTracks(transferKind, false);
        plan.routeOrTrackCount = countRouteOrTrackGroups();
    }

    if ((plan.routeOrTrackCount < 2 || (plan.tracks && !plan.separateTracks)) && !facts.hasNumbers && !facts.hasNames) {
        if (const char* preset = commonIdPreset(plan)) askCommonRouteOrTrackId(preset);
    }
    return routeAndTrackNumbersFit(plan);
}

// The records packet, every record with its handshake, and the end.
void sendUpload(const Link& link, const UploadPlan& plan) {
    const bool tracks = plan.tracks;
    const bool routeMode = plan.routeMode;
    const int points = pointTable.count;
    const bool routeLinks = routeMode && protocolSetContains("A201");
    const int records = routeLinks ? 2 * points : points + plan.routeOrTrackCount;
    uint8_t data[255] = {};
    data[0] = (uint8_t)(records & 0xFF);
    data[1] = (uint8_t)((records >> 8) & 0xFF);
    Packet packet;
    packet.build(kPidRecords, 2, data);
    if (!openingExchange(link, packet, 5, 50)) {
        showError(kConnectError);
        return;
    }

    const char* protocols = protocolSet();
    const WaypointFormat waypointFormat = uploadWaypointFormat(protocols);
    const RouteHeaderFormat routeHeaderFormat = uploadRouteHeaderFormat(protocols);
    const TrackHeaderFormat trackHeaderFormat = uploadTrackHeaderFormat(protocols);
    const TrackPointFormat trackPointFormat = uploadTrackPointFormat(protocols);
    const char* pointWord = tracks ? "Track-Punkten" : "Wegpunkten";

    UploadState state = {link, 0, 0};
    int currentNumber = -1;
    char currentName[kNameSize] = "";
    char status[128];
    for (int v = 0; v < points; v++) {
        PointRecord& record = pointTable.records[v];
        terminateNames(record);

        if (routeMode &&
            startsNewGroup(record.NumberOfRouteOrTrack, record.NameOfRouteOrTrack, currentNumber, currentName)) {
            currentNumber = record.NumberOfRouteOrTrack;
            copyName(currentName, record.NameOfRouteOrTrack);
            const int size = encodeRouteHeader(record, routeHeaderFormat, data);
            if (!sendRecord(state, kPidRteHdr, data, size, RouteHeaderReply, nullptr)) return;
        }

        if (tracks && ((v == 0 && plan.trackLogs) ||
                       (plan.separateTracks && startsNewGroup(record.NumberOfRouteOrTrack, record.NameOfRouteOrTrack,
                                                              currentNumber, currentName)))) {
            currentNumber = record.NumberOfRouteOrTrack;
            copyName(currentName, record.NameOfRouteOrTrack);
            const int size = encodeTrackHeader(record, trackHeaderFormat, plan.separateTracks, data);
            if (!sendRecord(state, kPidTrkHdr, data, size, TrackHeaderReply, nullptr)) return;
        }

        std::snprintf(status, sizeof status, "%s%04d  von  %04d  %s gesendet.", kStatusPrefix, v, points, pointWord);
        if (tracks) {
            const int size = encodeTrackPoint(record, trackPointFormat, data);
            if (!sendRecord(state, kPidTrkData, data, size, PointReply, status, v, points)) return;
        } else {
            const int size = encodeWaypoint(record, waypointFormat, data);
            if (!sendRecord(state, routeMode ? kPidRteWptData : kPidWptData, data, size, PointReply, status, v, points))
                return;
        }

        if (routeLinks && v + 1 < points) {
            const PointRecord& next = pointTable.records[v + 1];
            if (!startsNewGroup(next.NumberOfRouteOrTrack, next.NameOfRouteOrTrack, currentNumber, currentName)) {
                const int size = encodeRouteLink(data);
                if (!sendRecord(state, kPidRteLinkData, data, size, PointReply, nullptr)) return;
            }
        }
        pumpEvents();
    }

    std::snprintf(status, sizeof status, "%s%04d  von  %04d  %s gesendet.", kStatusPrefix, points, points, pointWord);
    setProgressStatus(status, points, points);
    std::memset(data, 0, sizeof data);
    data[0] = (uint8_t)(points & 0xFF);
    data[1] = (uint8_t)((points >> 8) & 0xFF);
    packet.build(kPidXferComplete, 2, data);
    if (!packet.send(link, 1)) {
        // The receiver never learnt that the transfer is complete.
        showUploadError(state, kTransferError);
        return;
    }
    char text[200];
    std::snprintf(text, sizeof text, "Übertragung erfolgreich beendet (%04d Punkte).", points);
    showInfo(text);
    if (plan.textsSpelledOut > 0) {
        std::snprintf(text, sizeof text, plan.textsSpelledOut == 1 ? kNameSpelledOutInfo : kNamesSpelledOutInfo,
                      plan.textsSpelledOut);
        showInfo(text);
    }
    if (!tracks && plan.namesChanged) showInfo(kNamesChangedInfo);
}

}  // namespace

bool readUploadFile(TransferKind transferKind, FileKind fileKind, bool& carriesRouteOrTrackIds, NamingState& naming) {
    const FileFormat& format = fileFormat(fileKind);
    std::string fileName = format.pattern;
    if (!platform().chooseFileToOpen(format.openTitle, format.filter, fileName)) return false;
    platform().repaintMainWindow();
    ReadFacts facts;
    // The readers have left out every record whose position the receiver
    // cannot hold.
    const bool read = readInputFile(fileName, transferKind, format, facts);
    naming = facts.naming;
    if (!read) return false;
    warnFieldsLeftEmpty(pointTable.fieldsLeftEmpty);
    carriesRouteOrTrackIds = format.carriesRouteOrTrackIds;
    return true;
}

bool askUploadRouteMode(bool carriesRouteOrTrackIds) {
    return askYesNo(QuestionId::RouteMode, kRouteModeTitle,
                    carriesRouteOrTrackIds ? kRouteModeQuestionNumbered : kRouteModeQuestionAscii);
}

bool leaveWaypointsOutOfRoutes() {
    const int waypoints = dropWaypoints();
    if (waypoints == 0) return true;
    char text[160];
    std::snprintf(text, sizeof text, kWaypointsLeftOut, waypoints);
    showWarning(text);
    if (pointTable.count > 0) return true;
    showError(kNoRoutePointsError);
    return false;
}

void uploadToDevice(const Link& link, TransferKind transferKind, FileKind fileKind) {
    const FileFormat& format = fileFormat(fileKind);
    std::string fileName = format.pattern;
    if (!platform().chooseFileToOpen(format.openTitle, format.filter, fileName)) return;
    platform().repaintMainWindow();
    pauseMs(500);

    UploadPlan plan;
    if (!prepareUpload(fileName, transferKind, format, plan)) return;
    sendUpload(link, plan);
}
