// Download of waypoints, routes and track logs from the receiver into one
// output file: file choice, questions, the opening exchange with the
// transfer command, the receive loop with its acknowledgements, the check of
// the positions and the writer of the chosen file type.

#include "transfers/download.h"
#include "transfers/messages.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "platform/text_encoding.h"
#include "formats/file_formats.h"
#include "formats/format_helpers.h"
#include "link/link_clock.h"
#include "link/packet.h"
#include "link/protocol_set.h"
#include "model/field_values.h"
#include "model/content.h"
#include "model/point_table.h"
#include "model/symbols.h"
#include "records/record_formats.h"

const char* const kCapacityError = "Maximale Anzahl von Punkten überschritten.";

namespace {

const char* const kStatusPrefix = "  Status:   ";

const char* const kRouteModeTitle = "Wegmate  --  Wegpunktmodus";
const char* const kRouteModeQuestion =
    "Nur die Wegpunkte abrufen, die ROUTE(N) zugeordnet sind? \n  \n"
    "(Bei 'Nein' werden alle vorhandenen Wegpunkte übertragen, \n"
    "aber deren Routenzugehörigkeit - sofern gegeben - wird \n"
    "nicht erkennbar sein.)";

const char* const kTrackChoiceTitle = "Wegmate  --  Track-Aufz.-Auswahl";
const char* const kTrackChoiceAheadQuestion =
    "Nur eine einzelne (noch auszuwählende) \nTrack-Aufzeichnung abrufen?\n"
    "(Das Erzeugen der Track-Auswahlliste kann \nu.U. bis zu einigen Minuten benötigen!)";
const char* const kTrackChoiceQuestion = "Nur eine einzelne (noch auszuwählende) \nTrack-Aufzeichnung abrufen?";
const char* const kTrackOfferTitle = "Wegmate  --  Track-Aufz. auswählen";
const char* const kNoTrackChosenError =
    "Keine der Track-Aufzeichnungen wurde ausgewählt. \nEs wird keine Ausgabedatei erzeugt.";

const char* const kWaypointsNoLines =
    "%d Wegpunkte gehören zu keiner Route und sind keine \nLinienobjekte. Sie werden ausgelassen.";

const char* const kPrematureEndError = "Übertragungsfehler. \nDer Datentransfer wurde vorzeitig beendet. ";

constexpr int kTrackListSlots = 300;

// A receiver that waits this long for an ACK sends its packet again.
// After an ACK that went out this long after the one before, a packet with
// the same bytes as the one just acknowledged is that repeat.
constexpr uint32_t kLateAckMs = 2000;

// Names offered in TRACKSELDLG (a link without acknowledgements), at most 50
// characters each.
char trackListNames[kTrackListSlots][kNameSize];

// State of one download, cleared at the start of the receive loop (the
// single-track choice made ahead survives that).
struct DownloadState {
    bool routeMode;
    int remaining;
    int expected;
    int waypointCounter;
    int currentRoute;
    int lastRouteSeen;
    int pointInRoute;
    int routeHeaderCount;
    char routeName[kNameSize];
    // Tracks.
    int trackCount;
    int pointsInTrack;
    int received;
    int stored;
    int gapRun;
    bool singleTrack;
    int selectedTrack;
    // One track is chosen once every record is in, on a link where the
    // receiver waits for each acknowledgement: no question may keep it
    // waiting.
    bool offerAfterTransfer;
    TrackHeader trackHeader;
};

// The names of the track headers received, for the choice after the transfer.
std::vector<std::string> receivedTrackNames;

bool samePacket(const Packet& a, const Packet& b) {
    return a.id == b.id && a.size == b.size && std::memcmp(a.data, b.data, a.size) == 0;
}

bool hasTrackLogProtocol() { return protocolSetContains("A301") || protocolSetContains("A302"); }

// The single-track choice on a link without acknowledgements, where the
// receiver does not wait for an answer between records: the log is read once
// ahead for the list of track names, and the user picks one. 0 when the
// download is to end.
int chooseSingleTrackAhead(const Link& link, DownloadState& state) {
    if (!askYesNo(QuestionId::SingleTrack, kTrackChoiceTitle, kTrackChoiceAheadQuestion)) return 1;
    state.singleTrack = true;
    platform().setWaitCursor(true);

    uint8_t data[255] = {};
    data[0] = (uint8_t)transferKindCode(TransferKind::Tracks);
    Packet packet;
    packet.build(kPidCommand, 2, data);
    packet.send(link, 0);

    std::memset(trackListNames, 0, sizeof trackListNames);
    const TrackHeaderFormat headerFormat = downloadTrackHeaderFormat(protocolSet());
    int headers = 0;
    for (;;) {
        if (!packet.receive(link, 1, 5.0)) {
            if (!receiveShowedMessage()) showError(kNoAnswerError);
            break;
        }
        if (packet.id == kPidXferComplete) break;
        if (packet.id == kPidTrkHdr) {
            if (headers < kTrackListSlots) {
                TrackHeader header;
                decodeTrackHeader(packet.data, packet.size, headerFormat, header);
                copyName(trackListNames[headers], header.name);
            }
            headers++;
        }
        pumpEvents();
    }
    link.finishExchange();
    platform().setWaitCursor(false);

    std::vector<std::string> names;
    for (int i = 0; i < kTrackListSlots && trackListNames[i][0] != 0; i++) names.push_back(trackListNames[i]);
    int selected = -1;
    if (!chooseDownloadTrack(names, selected)) return 0;
    state.selectedTrack = selected + 1;
    return 1;
}

void storeWaypoint(DownloadState& state, uint8_t id, const PointRecord& decoded) {
    PointRecord& record = pointTable.records[pointTable.count];
    record = decoded;
    if (state.currentRoute != state.lastRouteSeen) {
        record.NewSegment = 1;
        state.lastRouteSeen = state.currentRoute;
    } else {
        record.NewSegment = 0;
    }
    if (id == kPidRteWptData) {
        state.pointInRoute++;
        record.NumberOfRouteOrTrack = state.currentRoute;
        record.NumberOfPoint = state.pointInRoute;
    } else {
        record.NumberOfRouteOrTrack = 0;
        record.NumberOfPoint = pointTable.count + 1;
    }
    copyName(record.NameOfRouteOrTrack, state.routeName);
    record.LinePointCount = 0;
    pointTable.count++;
}

void storeTrackPoint(DownloadState& state, const PointRecord& decoded, bool newSegmentFlag) {
    PointRecord& record = pointTable.records[pointTable.count];
    record = decoded;
    record.NumberOfRouteOrTrack = state.trackCount > 0 ? state.trackCount : 1;
    record.NumberOfPoint = state.pointsInTrack;
    copyName(record.NameOfRouteOrTrack, state.trackCount > 0 ? state.trackHeader.name : "");
    record.NameOfPoint[0] = 0;
    record.Comment[0] = 0;
    record.Symbol = 0;
    record.HasSymbol = state.trackHeader.hasSymbol;
    record.Display1 = state.trackHeader.display1;
    record.Display2 = state.trackHeader.display2;
    record.LinePointCount = 0;
    bool newSegment = newSegmentFlag || pointTable.count == 0;
    if (!newSegment)
        newSegment = record.NumberOfRouteOrTrack != pointTable.records[pointTable.count - 1].NumberOfRouteOrTrack;
    record.NewSegment = newSegment ? 1 : 0;
    pointTable.count++;
}

void showTrackStatus(const DownloadState& state) {
    char text[128];
    if (state.singleTrack)
        std::snprintf(text, sizeof text, "%s%05d (%05d) von  %05d  Track-Punkten empfangen.", kStatusPrefix,
                      state.stored, state.received, state.expected);
    else
        std::snprintf(text, sizeof text, "%s%05d  von  %05d  Track-Punkten empfangen.", kStatusPrefix, state.stored,
                      state.expected);
    setProgressStatus(text, state.stored, state.expected);
}

void showWaypointStatus(const DownloadState& state) {
    char text[128];
    if (state.routeMode) {
        std::snprintf(text, sizeof text, "%s%04d  Routen-Wegpunkte empfangen.", kStatusPrefix, state.waypointCounter);
        setStatusLine(text);
    } else {
        std::snprintf(text, sizeof text, "%s%04d  von  %04d  Wegpunkten empfangen.", kStatusPrefix,
                      state.waypointCounter, state.expected);
        setProgressStatus(text, state.waypointCounter, state.expected);
    }
}

// Offers the received track logs one by one until one is taken, and keeps
// only its points. 0 when none was taken.
int offerReceivedTracks(DownloadState& state) {
    for (size_t t = 0; t < receivedTrackNames.size() && state.selectedTrack == 0; t++) {
        std::string name = cp1252ToUtf8(receivedTrackNames[t]);
        char text[160];
        std::snprintf(text, sizeof text, "Diese Track-Aufzeichnung abrufen?\nNr. %d : '%s'", (int)t + 1,
                      name.c_str());
        if (askYesNo(QuestionId::TrackOffer, kTrackOfferTitle, text, (int)t + 1)) state.selectedTrack = (int)t + 1;
    }
    if (state.selectedTrack == 0) return 0;
    int kept = 0;
    for (int i = 0; i < pointTable.count; i++)
        if (pointTable.records[i].NumberOfRouteOrTrack == state.selectedTrack)
            pointTable.records[kept++] = pointTable.records[i];
    pointTable.count = kept;
    return 1;
}

// The receive loop. 1 when the transfer ended normally with every announced
// record received.
int receiveRecords(const Link& link, DownloadState& state) {
    const char* protocols = protocolSet();
    const WaypointFormat waypointFormat = downloadWaypointFormat(protocols);
    const RouteHeaderFormat routeHeaderFormat = downloadRouteHeaderFormat(protocols);
    const TrackHeaderFormat trackHeaderFormat = downloadTrackHeaderFormat(protocols);
    const TrackPointFormat trackPointFormat = downloadTrackPointFormat(protocols);

    Packet packet;
    Packet acknowledged;
    bool acknowledgedLate = false;
    uint32_t lastAckMs = linkIo().nowMs();
    bool firstPacket = true;
    for (;;) {
        if (!packet.receive(link, 1, 5.0)) {
            if (!receiveShowedMessage()) showError(kNoAnswerError);
            return 0;
        }
        if (link.acknowledged && acknowledgedLate && samePacket(packet, acknowledged)) {
            // Sent again while its ACK was on the way: acknowledged, not stored.
            if (!sendAck(link, packet.id)) {
                showError(kTransferError);
                return 0;
            }
            continue;
        }
        if (firstPacket && packet.id != kPidRecords) {
            showError(kProtocolError);
            return 0;
        }
        firstPacket = false;

        bool endOfTransfer = false;
        bool tableFull = false;
        switch (packet.id) {
        case kPidRecords: state.remaining = state.expected = packet.data[0] | (packet.data[1] << 8); break;
        case kPidAck:
        case kPidNak: pumpEvents(); continue;
        case kPidRteHdr: {
            state.routeHeaderCount++;
            RouteHeader header;
            decodeRouteHeader(packet.data, packet.size, routeHeaderFormat, state.routeHeaderCount, header);
            state.currentRoute = header.number;
            copyName(state.routeName, header.name);
            state.pointInRoute = 0;
            state.remaining--;
            state.expected--;
            break;
        }
        case kPidRteLinkData:
            state.remaining--;
            state.expected--;
            break;
        case kPidWptData:
        case kPidRteWptData: {
            state.waypointCounter++;
            state.remaining--;
            showWaypointStatus(state);
            if (pointTable.count >= kMaxPoints) {
                tableFull = true;
                break;
            }
            PointRecord decoded = {};
            decodeWaypoint(packet.data, packet.size, waypointFormat, decoded);
            storeWaypoint(state, packet.id, decoded);
            break;
        }
        case kPidTrkHdr:
            state.remaining--;
            state.expected--;
            state.trackCount++;
            state.pointsInTrack = 0;
            decodeTrackHeader(packet.data, packet.size, trackHeaderFormat, state.trackHeader);
            receivedTrackNames.push_back(state.trackHeader.name);
            break;
        case kPidTrkData: {
            state.remaining--;
            state.received++;
            state.pointsInTrack++;
            const bool wanted = state.offerAfterTransfer ? state.trackCount > 0
                                                         : !state.singleTrack || state.selectedTrack == state.trackCount;
            if (wanted) state.stored++;
            PointRecord decoded = {};
            TrackPointInfo info = decodeTrackPoint(packet.data, packet.size, trackPointFormat, decoded);
            if (info.gapMarker) {
                state.received--;
                state.pointsInTrack--;
                if (wanted) state.stored--;
                state.gapRun++;
            } else {
                const bool newSegment = info.newSegment || state.gapRun >= 2;
                state.gapRun = 0;
                if (wanted) {
                    if (pointTable.count >= kMaxPoints)
                        tableFull = true;
                    else
                        storeTrackPoint(state, decoded, newSegment);
                }
            }
            showTrackStatus(state);
            break;
        }
        case kPidXferComplete: endOfTransfer = true; break;
        default: break;
        }

        if (link.acknowledged) {
            if (!sendAck(link, packet.id)) {
                showError(kTransferError);
                return 0;
            }
            const uint32_t now = linkIo().nowMs();
            acknowledgedLate = (uint32_t)(now - lastAckMs) > kLateAckMs;
            lastAckMs = now;
            acknowledged = packet;
        }
        if (endOfTransfer) {
            if (state.remaining != 0) {
                showError(kPrematureEndError);
                return 0;
            }
            return 1;
        }
        if (tableFull) {
            showError(kCapacityError);
            return 0;
        }
        pumpEvents();
    }
}

}  // namespace

bool chooseDownloadFile(FileKind fileKind, std::string& fileName) {
    const FileFormat& format = fileFormat(fileKind);
    fileName = format.pattern;
    return platform().chooseFileToSave(format.saveTitle, format.filter, format.extension, fileName);
}

bool askDownloadRouteMode() { return askYesNo(QuestionId::RouteMode, kRouteModeTitle, kRouteModeQuestion); }

bool askDownloadSingleTrack() {
    return askYesNo(QuestionId::SingleTrack, kTrackChoiceTitle, kTrackChoiceQuestion);
}

bool chooseDownloadTrack(const std::vector<std::string>& names, int& selected) {
    TrackSelectDialog dialog;
    dialog.title = " Wegmate -- Auswahl Track-Aufzeichnung";
    dialog.prompt = "Wählen Sie die zu übertrag. Track-Aufzeichnung:";
    dialog.noSelectionText = "FEHLER: Sie haben keine Track-Aufzeichnung ausgewählt!";
    dialog.noSelectionTitle = "Wegmate -- Auswahl Track-Aufzeichnung";
    for (const std::string& name : names) dialog.names.push_back(cp1252ToUtf8(name));
    selected = -1;
    if (!platform().trackSelectDialog(dialog, selected)) return false;
    return selected >= 0 && selected < (int)dialog.names.size();
}

// Altitudes that the file will not hold: the writers write only those in
// the altitude range (an ASCII overlay holds no altitude at all).
static int altitudesNotWritten(FileKind fileKind) {
    if (fileKind == FileKind::OvlAscii) return 0;
    int count = 0;
    for (int i = 0; i < pointTable.count; i++) {
        const PointRecord& r = pointTable.records[i];
        if (isValidPosition(r) && r.Altitude != kNoAltitude && !isAltitudeInRange(r.Altitude)) count++;
    }
    return count;
}

void addDownloadChecks(DownloadChecks& checks, FileKind fileKind, ObjectKind objectKind) {
    const LinePointResult lines = countLinePoints(objectKind);
    checks.records += pointTable.count;
    checks.valid += lines.valid;
    checks.fieldsLeftEmpty += pointTable.fieldsLeftEmpty + altitudesNotWritten(fileKind);
    checks.shortLine = checks.shortLine || lines.shortLine;
    // What the writer will write, lines of one point included where the
    // file type holds them.
    forEachWrittenRecord(
        objectKind, [&](const PointRecord&, bool) { return ++checks.written > 0; },
        fileFormat(fileKind).keepsShortLines);
}

bool reportDownloadChecks(const DownloadChecks& checks, FileKind fileKind) {
    if (checks.valid == 0) {
        showError(kNoValidPositionError);
        return false;
    }
    if (checks.valid < checks.records) showWarning(kSomeInvalidError);
    warnFieldsLeftEmpty(checks.fieldsLeftEmpty);
    if (checks.shortLine && !fileFormat(fileKind).keepsShortLines) showWarning(kShortLineError);
    if (checks.written == 0) {
        showError(kNothingLeftError);
        return false;
    }
    return true;
}

void reportDownloadWritten(int points) {
    char text[96];
    std::snprintf(text, sizeof text, "Übertragung erfolgreich beendet (%05d Punkte).", points);
    showInfo(text);
}

void writeDownloadFile(const std::string& fileName, FileKind fileKind, ObjectKind objectKind,
                       TransferKind transferKind, bool routeMode) {
    if (!applySelection(transferKind, transferSelection)) return;
    // Waypoints are no vertices of a line: joined, they would draw one line
    // through places that have nothing to do with each other.
    if (objectKind == LineObjects && transferKind == TransferKind::Waypoints && !routeMode && pointTable.count > 0) {
        char text[160];
        std::snprintf(text, sizeof text, kWaypointsNoLines, pointTable.count);
        showWarning(text);
        showError(kNothingLeftError);
        return;
    }
    if (fileKind != FileKind::Gpx) warnUnknownSymbolNames(unknownSymbolNames());
    DownloadChecks checks;
    addDownloadChecks(checks, fileKind, objectKind);
    if (!reportDownloadChecks(checks, fileKind)) return;
    if (fileFormat(fileKind).write(fileName.c_str(), objectKind, transferKind))
        reportDownloadWritten(checks.written);
    else
        showError(atomicRefusal() ? atomicRefusal() : kWriteError);
}

void downloadFromDevice(const Link& link, TransferKind transferKind, FileKind fileKind, ObjectKind objectKind) {
    // 1. Output file.
    std::string fileName;
    if (!chooseDownloadFile(fileKind, fileName)) return;

    // 2. Repaint and settle.
    platform().repaintMainWindow();
    pauseMs(500);

    static DownloadState state;
    std::memset(&state, 0, sizeof state);

    // 3. Routes or all waypoints.
    uint8_t command = (uint8_t)transferKindCode(transferKind);
    if (transferKind == TransferKind::Waypoints && askDownloadRouteMode()) {
        state.routeMode = true;
        command = kRouteTransferCommand;
    }

    // 4. Single track: chosen ahead where the receiver does not wait, else
    // asked for now and chosen once every record is in.
    if (transferKind == TransferKind::Tracks && hasTrackLogProtocol()) {
        if (!link.acknowledged) {
            if (!chooseSingleTrackAhead(link, state)) return;
        } else {
            state.offerAfterTransfer = askDownloadSingleTrack();
        }
    }

    // 5. Connection.
    uint8_t data[255] = {};
    data[0] = command;
    Packet packet;
    packet.build(kPidCommand, 2, data);
    if (!openingExchange(link, packet, 5, 100)) {
        showError(kConnectError);
        return;
    }

    // 6. Reset.
    state.remaining = 0;
    state.expected = 0;
    state.waypointCounter = 0;
    state.currentRoute = 0;
    state.lastRouteSeen = -1;
    state.pointInRoute = 0;
    state.routeHeaderCount = 0;
    state.routeName[0] = 0;
    state.trackCount = 0;
    state.pointsInTrack = 0;
    state.received = 0;
    state.stored = 0;
    state.gapRun = 0;
    std::memset(&state.trackHeader, 0, sizeof state.trackHeader);
    receivedTrackNames.clear();
    pointTable.reset();

    // 7. and 8. Receive loop; what the receiver still sends is dropped.
    const int complete = receiveRecords(link, state);
    link.finishExchange();
    if (!complete) return;
    if (state.offerAfterTransfer && !receivedTrackNames.empty() && !offerReceivedTracks(state)) {
        pointTable.reset();
        showError(kNoTrackChosenError);
        return;
    }

    // 9. Check and write.
    writeDownloadFile(fileName, fileKind, objectKind, transferKind, state.routeMode);
}
