// TOP50 overlay files in their ASCII form: writer and reader.

#include "formats/ovl_ascii.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "formats/format_helpers.h"
#include "model/helpers.h"
#include "formats/reading.h"
#include "model/names.h"
#include "model/point_table.h"

namespace {

const char kMsgOpen[] = "Fehler beim Öffnen der OVL-Eingabedatei.";
const char kMsgNoOvl[] = "Keine gültige ASCII-OVL-Datei!";
const char kMsgRead[] = "Fehler beim Lesen der OVL-Datei.";
const char kMsgObjectsLeftOut[] =
    "%d Objekte der OVL-Datei ohne Positionen zum Übertragen (Texte, \nRechtecke, Bilder oder Objekte ohne "
    "Koordinaten) \nwerden ausgelassen.";
const char kMsgObjectLeftOut[] =
    "1 Objekt der OVL-Datei ohne Positionen zum Übertragen (Text, \nRechteck, Bild oder Objekt ohne "
    "Koordinaten) \nwird ausgelassen.";

// The object types (Typ=) whose points the reader takes: point symbols
// (circles), lines and areas, whose outline is read as a line.
constexpr int kLineType = 3;
constexpr int kAreaType = 4;
constexpr int kCircleType = 6;

const char kSeparateTracksTitle[] = "Wegmate  --  Mehrere Track-Aufz.";
const char kSeparateTracksQuestion[] =
    "Falls mehrere Linienobjekte vorhanden sind, sollen \ndiese als verschiedene Track-Aufzeichnungen interpre- \n"
    "tiert werden? \n  \n(Vorausgesetzt Ihr GPS-Gerät kann mehrere 'Track \nLogs' speichern.) \n  \n"
    "(Bei 'NEIN' werden mehrere Linien-Objekte als ver- \nschiedene Segmente des gleichen 'Tracks' behandelt.) ";

// "<key>=<value>" with a coordinate value and the line end.
void writeCoordinate(AtomicFile& file, const char* key, double value) {
    char line[128];
    size_t n = strlen(key);
    memcpy(line, key, n);
    line[n++] = '=';
    formatCoordinate(line + n, 64, value);
    strcat(line + n, "\r\n");
    atomicPuts(file, line);
}

// The value after the first '=' of a coordinate line: a decimal number,
// surrounded by blanks or tabs at most. false when there is none.
bool coordinateValue(const char* line, double& value) {
    const char* begin = strchr(line, '=');
    if (!begin) return false;
    begin++;
    while (*begin == ' ' || *begin == '\t') begin++;
    const char* end = begin + strlen(begin);
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r' || end[-1] == '\n')) end--;
    return parseDecimalNumber(begin, end, value);
}

struct AsciiReader {
    FILE* file = nullptr;
    TransferKind transferKind = TransferKind::Waypoints;
    bool askSeparateTracks = false;
    int* separateTracks = nullptr;
    NamingState* naming = nullptr;  // the caller's, or the reading's own
    bool asked = false;
    int number = 1;
    int pointNumber = 1;
    bool firstLine = true;
    bool expectY = false;
    int named = 0;
    int index = 0;
    // NewSegment of the next point, kept here: the table's next entry may
    // lie beyond its end.
    int nextNewSegment = 1;
    // The current section is a line whose declared points are still to come.
    bool lineOpen = false;
    int symbolSections = 0;
    bool inOverlay = false;
    int declaredSymbols = -1;  // Symbols= of [Overlay], -1 while not read
    // The current [Symbol] section: its first record in the table, and
    // whether its points are left out (text, rectangle, bitmap).
    bool inSymbol = false;
    int sectionFirst = 0;
    bool skipSection = false;
    int objectsLeftOut = 0;
};

// Digits after a key, up to the line end: the count, or -1.
int countAfter(const char* text) {
    const char* p = text;
    while (*p == ' ' || *p == '\t') p++;
    if (*p < '0' || *p > '9') return -1;
    const int value = decimalValue(p);
    while (*p >= '0' && *p <= '9') p++;
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') p++;
    return *p ? -1 : value;
}

// The end of a section: a line must have had all the points it declared.
bool sectionComplete(const AsciiReader& reader) { return !reader.expectY && !(reader.lineOpen && reader.named > 0); }

// The end of a [Symbol] section: a section without points to send is
// counted.
void endSymbolSection(AsciiReader& reader) {
    if (!reader.inSymbol) return;
    reader.inSymbol = false;
    const bool skipped = reader.skipSection;
    reader.skipSection = false;
    if (skipped || pointTable.count == reader.sectionFirst) {
        pointTable.count = reader.sectionFirst;
        reader.objectsLeftOut++;
    }
}

int readLines(AsciiReader& reader) {
    std::string text;
    bool firstFileLine = true;
    for (int lineNumber = 1;; lineNumber++) {
        int got = readLine(reader.file, text);
        if (got == 0) break;
        if (got < 0) {
            showLineError(got, lineNumber, firstFileLine ? kMsgNoOvl : kMsgRead);
            return 0;
        }
        if (firstFileLine) skipByteOrderMark(text);
        char* const line = text.data();
        toUpperAscii(line);
        if (firstFileLine && !startsWith(line, "[SYMB")) {
            showError(kMsgNoOvl);
            return 0;
        }
        firstFileLine = false;
        if (line[0] == '[') {
            if (!sectionComplete(reader)) {
                showError(kMsgRead);
                return 0;
            }
            endSymbolSection(reader);
            reader.lineOpen = false;
            reader.inOverlay = startsWith(line, "[OVERLAY]");
            if (startsWith(line, "[SYMB")) {
                reader.symbolSections++;
                reader.inSymbol = true;
                reader.sectionFirst = pointTable.count;
                reader.skipSection = false;
            }
        } else if (reader.skipSection) {
            // The points of a text, rectangle or bitmap are not read.
        } else if (reader.inOverlay && startsWith(line, "SYMBOLS=")) {
            reader.declaredSymbols = countAfter(line + 8);
        } else if (startsWith(line, "TYP=")) {
            // Point symbols, lines and areas carry positions to send; the
            // other objects are left out, and counted.
            const int type = decimalValue(line + 4);
            if (reader.inSymbol && type != kLineType && type != kAreaType && type != kCircleType) {
                if (reader.expectY) {
                    showError(kMsgRead);
                    return 0;
                }
                pointTable.count = reader.sectionFirst;
                reader.skipSection = true;
                reader.lineOpen = false;
            }
        } else if (startsWith(line, "PUNKTE=")) {
            const int points = countAfter(line + 7);
            if (points < 0 || reader.expectY) {
                showError(kMsgRead);
                return 0;
            }
            if ((long long)pointTable.count + points > kMaxPoints) {
                showError(kCapacityMessage);
                return 0;
            }
            if (reader.transferKind == TransferKind::Tracks && reader.askSeparateTracks && !reader.asked) {
                reader.asked = true;
                *reader.separateTracks =
                    askYesNo(QuestionId::SeparateOverlayLines, kSeparateTracksTitle, kSeparateTracksQuestion) ? 1 : 0;
            }
            reader.named = points;
            reader.index = 0;
            reader.lineOpen = true;
            reader.nextNewSegment = 1;
            if (reader.transferKind != TransferKind::Tracks || *reader.separateTracks == 1) {
                if (!reader.firstLine) reader.number++;
                reader.pointNumber = 1;
            }
            if (!reader.firstLine) advanceNameInitials(reader.naming->initials[0], reader.naming->initials[1]);
            reader.firstLine = false;
        } else if (startsWith(line, "XKOORD")) {
            // The table is full only when a further point comes.
            if (pointTable.count >= kMaxPoints) {
                showError(kCapacityMessage);
                return 0;
            }
            double longitude;
            // A line takes no more points than it declared.
            if (reader.expectY || !coordinateValue(line, longitude) || (reader.lineOpen && reader.named == 0)) {
                showError(kMsgRead);
                return 0;
            }
            PointRecord& r = pointTable.records[pointTable.count];
            memset(&r, 0, sizeof r);
            r.NewSegment = reader.nextNewSegment;
            r.Longitude = longitude;
            int nameNumber;
            if (reader.named > 0) {
                nameNumber = ++reader.index;
                reader.named--;
            } else {
                nameNumber = reader.pointNumber;
            }
            if (reader.transferKind != TransferKind::Tracks)
                copyName(r.NameOfPoint, makeAutomaticPointName(*reader.naming, nameNumber).c_str());
            r.Altitude = kNoAltitude;
            reader.expectY = true;
        } else if (startsWith(line, "YKOORD")) {
            double latitude;
            if (!reader.expectY || !coordinateValue(line, latitude)) {
                showError(kMsgRead);
                return 0;
            }
            PointRecord& r = pointTable.records[pointTable.count];
            r.Latitude = latitude;
            r.NumberOfPoint = reader.pointNumber++;
            r.NumberOfRouteOrTrack = reader.number;
            snprintf(r.NameOfRouteOrTrack, kNameSize, "%s%02d",
                     reader.transferKind == TransferKind::Tracks ? "TRK" : "RTE", reader.number);
            pointTable.count++;
            reader.nextNewSegment = 0;
            reader.expectY = false;
        }
    }
    if (firstFileLine) {
        // An empty file holds no symbol section.
        showError(kMsgNoOvl);
        return 0;
    }
    // A file cut off before its end: inside a section, or before the
    // [Overlay] section has counted the symbols that came.
    if (!sectionComplete(reader) || reader.declaredSymbols != reader.symbolSections) {
        showError(kMsgRead);
        return 0;
    }
    endSymbolSection(reader);
    if (reader.objectsLeftOut > 0) {
        char message[256];
        snprintf(message, sizeof message, reader.objectsLeftOut == 1 ? kMsgObjectLeftOut : kMsgObjectsLeftOut,
                 reader.objectsLeftOut);
        showWarning(message);
    }
    return 1;
}

}  // namespace

int writeOvlAsciiFile(const char* fileName, int objectKind) {
    if (!fileName || !*fileName) return 0;
    AtomicFile file;
    if (!atomicOpen(file, fileName)) return 0;

    const Centre centre = centreOfValidPositions();

    char line[128];
    int n = 0;
    int k = 0;
    forEachWrittenRecord(objectKind, [&](const PointRecord& r, bool startsObject) {
        if (objectKind != LineObjects) {
            n++;
            snprintf(line, sizeof line, "[Symbol %d]\r\n", n);
            atomicPuts(file, line);
            atomicPuts(file, "Typ=6\r\nWidth=12\r\nHeight=12\r\nCol=1\r\nZoom=1\r\nSize=2\r\nArea=2\r\n");
            writeCoordinate(file, "XKoord", r.Longitude);
            writeCoordinate(file, "YKoord", r.Latitude);
            return !file.failed;
        }
        if (startsObject) {
            n++;
            snprintf(line, sizeof line, "[Symbol %d]\r\nTyp=3\r\nCol=5\r\nZoom=1\r\nSize=4\r\nArt=1\r\nPunkte=%d\r\n",
                     n, r.LinePointCount);
            atomicPuts(file, line);
            k = 0;
        } else {
            k++;
        }
        char key[24];
        snprintf(key, sizeof key, "XKoord%d", k);
        writeCoordinate(file, key, r.Longitude);
        snprintf(key, sizeof key, "YKoord%d", k);
        writeCoordinate(file, key, r.Latitude);
        return !file.failed;
    });

    snprintf(line, sizeof line, "[Overlay]\r\nSymbols=%d\r\n", n);
    atomicPuts(file, line);
    atomicPuts(file,
               "[MapLage]\r\nMapName=L\xE4nder\xFC"
               "bersicht\r\nDimmFc=100\r\nZoomFc=100\r\n");
    writeCoordinate(file, "CenterLat", centre.latitude);
    writeCoordinate(file, "CenterLong", centre.longitude);
    atomicPuts(file, "RefColor=255\r\nRefRad=58\r\nRefLine=6\r\nRefOn=1\r\nRefVisib=1\r\nRefOnCenter=1\r\n");
    writeCoordinate(file, "RefLat", centre.latitude);
    writeCoordinate(file, "RefLong", centre.longitude);
    return atomicCommit(file);
}

int readOvlAsciiFile(const char* fileName, TransferKind transferKind, int& separateTracks, bool askSeparateTracks,
                     NamingState* naming) {
    AsciiReader reader;
    NamingState ownNaming;
    reader.naming = naming ? naming : &ownNaming;
    reader.file = openInputFile(fileName, kMsgOpen);
    if (!reader.file) return 0;
    if (transferKind != TransferKind::Tracks) askNameInitials(*reader.naming);
    pointTable.reset();
    separateTracks = 0;
    reader.transferKind = transferKind;
    reader.askSeparateTracks = askSeparateTracks;
    reader.separateTracks = &separateTracks;
    int ok = readLines(reader);
    fclose(reader.file);
    return ok && leaveOutInvalidPositions();
}
