// TOP50 overlay files in their binary form: the writer (version 2.0) and
// the reader of versions 2, 3 and 4.

#include "formats/ovl_binary.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "formats/format_helpers.h"
#include "model/field_values.h"
#include "model/helpers.h"
#include "formats/reading.h"
#include "model/names.h"
#include "model/point_table.h"
#include "model/times.h"

namespace {

const char kMsgOpen[] = "Fehler beim Öffnen der OVL-Eingabedatei.";
const char kMsgRead[] = "Fehler beim Lesen der OVL-Datei.";
const char kMsgNoBinary[] = "Dies ist keine gültige OVL-BINÄR-Datei.";
const char kMsgInvalidObject[] =
    "OVL-Datei enthält ein ungültiges Graphik-Objekt: \nTyp: %d  Objekttyp: %d \n(Hier sind nur PUNKT-/KREIS- "
    "oder LINIEN- \nObjekte zulässig -- und zwar nur OHNE eine \nVerknüpfung mit einer Multimedia-Datei oder \n"
    "einer Datenbank.)";

constexpr int kHeaderSize = 169;
// Largest object text the reader takes: every length a 16-bit field can give.
constexpr int kTextCapacity = 65535;
// The reader's line length for the object text (readTextLine size).
constexpr size_t kTextLineSize = 100;

// ---------------------------------------------------------------- writing

void buildHeader(unsigned char* header, double centerLon, double centerLat) {
    memset(header, 0, kHeaderSize);
    memcpy(header, "DOMGVCRD Ovlfile V2.0:", 22);
    put16(header + 23, 144);
    put16(header + 25, 2);
    put16(header + 27, 1);
    memcpy(header + 29,
           "L\xE4nder\xFC"
           "bersicht BRD",
           20);  // with its NUL
    put32(header + 61, 100);
    put32(header + 65, 100);
    putDouble(header + 69, centerLon);
    putDouble(header + 77, centerLat);
    putDouble(header + 85, centerLon);
    putDouble(header + 93, centerLat);
    put32(header + 101, 255);
    put16(header + 105, 58);
    put16(header + 107, 6);
    put16(header + 109, 1);
    put16(header + 111, 5);
    put16(header + 117, 986);
    put16(header + 119, 583);
}

// The fourth text line's symbol part: " /symbol/display1/display2" or less.
void formatPointText(char* text, size_t size, PointRecord& r, bool startsLine) {
    char time[24];
    formatTime(r.Time, time);
    trimLine(time);
    const char* third = r.Comment[0] ? r.Comment : time;
    char altitude[16] = "";
    if (isAltitudeInRange(r.Altitude))
        snprintf(altitude, sizeof altitude, "%d", (int)r.Altitude);
    char symbol[12] = "", display1[8] = "", display2[8] = "";
    if (r.HasSymbol) {
        snprintf(symbol, sizeof symbol, "/%d", (int)r.Symbol);
        snprintf(display1, sizeof display1, "/%d", (int)r.Display1);
        snprintf(display2, sizeof display2, "/%d", (int)r.Display2);
    }
    // A point with a comment keeps its time on a fifth line.
    const char* timeLine = r.Comment[0] && time[0] ? "\r\n" : "";
    snprintf(text, size, "%d%s / %s\r\n%d / %s\r\n%s\r\n%s%s%s%s%s%s%s", (int)r.NumberOfPoint, startsLine ? "*" : "",
             r.NameOfPoint, (int)r.NumberOfRouteOrTrack, r.NameOfRouteOrTrack, third, altitude, r.HasSymbol ? " " : "",
             symbol, display1, display2, timeLine, timeLine[0] ? time : "");
}

void formatLineText(char* text, size_t size, const PointRecord& r) {
    char time[24];
    formatTime(r.Time, time);
    trimLine(time);
    char display1[8] = "", display2[8] = "";
    if (r.HasSymbol) {
        snprintf(display1, sizeof display1, "/%d", (int)r.Display1);
        snprintf(display2, sizeof display2, "/%d", (int)r.Display2);
    }
    snprintf(text, size, "%d\r\n%s\r\n%s\r\n%s%s%s%s", (int)r.NumberOfRouteOrTrack, r.NameOfRouteOrTrack, r.Comment,
             time, r.HasSymbol ? " " : "", display1, display2);
}

// Head, text length and text of an object.
void writeObjectStart(AtomicFile& file, unsigned type, const char* text) {
    unsigned char head[12];
    put16(head, type);
    put16(head + 2, 1);
    put16(head + 4, 1);
    put16(head + 6, 16);
    size_t length = strlen(text) + 1;
    put32(head + 8, (uint32_t)length);
    atomicWrite(file, head, sizeof head);
    atomicWrite(file, text, length);
}

void writeVertex(AtomicFile& file, const PointRecord& r) {
    unsigned char vertex[16];
    putDouble(vertex, r.Longitude);
    putDouble(vertex + 8, r.Latitude);
    atomicWrite(file, vertex, sizeof vertex);
}

// ---------------------------------------------------------------- reading

struct BinaryReader {
    FILE* file = nullptr;
    long long size = 0;      // bytes in the file
    long long position = 0;  // bytes read so far
    int version = 0;
    TransferKind transferKind = TransferKind::Waypoints;
    int* objectKindFound = nullptr;
    bool* hasNumbers = nullptr;
    bool* hasNames = nullptr;
    NamingState* naming = nullptr;  // the caller's, or the reading's own
    int lineCounter = 0;
    int lastLineNumber = 0;
    char lastLineName[kNameSize] = "";
    int pointInLine = 0;
    bool seenLine = false;
    // NewSegment of the next record stored; kept here and not in the table,
    // whose next entry may lie beyond its end.
    int nextNewSegment = 1;
    std::vector<OvlObject>* objects = nullptr;
};

// The object text, read anew for every object.
char objectText[kTextCapacity + 1];
// Bytes of a head that the reader passes over.
unsigned char scratch[65536 + 2];

bool readBytes(BinaryReader& reader, void* data, size_t size) {
    size_t got = size ? fread(data, 1, size, reader.file) : 0;
    reader.position += (long long)got;
    return got == size;
}

// Passes over size bytes; the last two of them are left in last2.
bool skipBytes(BinaryReader& reader, size_t size, unsigned char* last2) {
    unsigned char buffer[4096];
    while (size > 0) {
        size_t chunk = size < sizeof buffer ? size : sizeof buffer;
        if (!readBytes(reader, buffer, chunk)) return false;
        if (last2) {
            if (chunk >= 2) {
                last2[0] = buffer[chunk - 2];
                last2[1] = buffer[chunk - 1];
            } else {
                last2[0] = last2[1];
                last2[1] = buffer[0];
            }
        }
        size -= chunk;
    }
    return true;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The text after the first '/', with further '/' and blanks skipped, or
// nullptr when the line has no '/'.
const char* textAfterSlash(const char* line) {
    const char* slash = strchr(line, '/');
    if (!slash) return nullptr;
    while (*slash == '/' || *slash == ' ') slash++;
    return slash;
}

bool isAutomaticallyNamed(TransferKind transferKind) {
    return transferKind != TransferKind::Tracks && transferKind != TransferKind::OvlConversion;
}

void nameAutomatically(NamingState& naming, PointRecord& r) {
    askNameInitialsOnce(naming);
    copyName(r.NameOfPoint, makeAutomaticPointName(naming, pointTable.count + 1).c_str());
}

void addRecord(BinaryReader& reader) {
    pointTable.count++;
    reader.nextNewSegment = 0;
}

// A fresh record at [count] (the caller has checked the capacity) with the
// NewSegment preset.
PointRecord& newRecord(BinaryReader& reader) {
    PointRecord& r = pointTable.records[pointTable.count];
    memset(&r, 0, sizeof r);
    r.NewSegment = reader.nextNewSegment;
    r.Altitude = kNoAltitude;
    return r;
}

void noteObject(BinaryReader& reader, int kind, int first) {
    if (reader.objects) reader.objects->push_back({kind, first, pointTable.count - first});
}

void readPointWithText(BinaryReader& reader, double longitude, double latitude, const char* text, const char* end) {
    if (*reader.objectKindFound == 0) *reader.objectKindFound = PointObjects;
    PointRecord& r = newRecord(reader);
    r.Longitude = longitude;
    r.Latitude = latitude;

    char line[kTextLineSize];
    // Line 1: point number (and start mark) and name, or the compact form.
    text = readTextLine(line, text, end, sizeof line);
    size_t length = strlen(line);
    bool compact =
        (length == 3 || length == 4) && isDigit(line[0]) && isDigit(line[1]) && isDigit(line[2]) && !strchr(line, '/');
    if (compact) {
        *reader.hasNumbers = true;
        int v = decimalValue(line);
        r.NumberOfRouteOrTrack = v / 100;
        r.NumberOfPoint = v % 100;
    } else {
        r.NumberOfPoint = decimalValue(line);
        r.NewSegment = strchr(line, '*') ? 1 : 0;
        if (const char* name = textAfterSlash(line)) {
            char value[kTextLineSize];
            strcpy(value, name);
            keepFileText(value);
            copyName(r.NameOfPoint, value);
        }
    }
    // Line 2: the name (compact form), or route number and name.
    text = readTextLine(line, text, end, sizeof line);
    if (compact) {
        keepFileText(line);
        copyName(r.NameOfPoint, line);
    } else {
        if (startsWithDigit(line)) *reader.hasNumbers = true;
        r.NumberOfRouteOrTrack = decimalValue(line);
        if (const char* name = textAfterSlash(line)) {
            char value[kTextLineSize];
            strcpy(value, name);
            keepFileText(value);
            value[kNameSize - 1] = '\0';
            if (hasSignificantChar(value)) *reader.hasNames = true;
            copyName(r.NameOfRouteOrTrack, value);
        }
    }
    // Line 3: comment, and the time when it holds one.
    text = readTextLine(line, text, end, sizeof line);
    keepFileText(line);
    copyName(r.Comment, line);
    // A comment in the time form is a time; one of a day or clock time that
    // does not exist, or of a year outside 1990..2050, leaves the time empty.
    if (strlen(r.Comment) == 19 && isDigit(r.Comment[0]) && r.Comment[4] == '-' && r.Comment[7] == '-')
        counted(timeFromText(r.Comment, r.Time));
    // Line 4: altitude and symbol, or the start mark (compact form).
    text = readTextLine(line, text, end, sizeof line);
    trimLine(line);
    if (compact) {
        r.NewSegment = line[0] == '1' ? 1 : 0;
    } else {
        char* parts[4] = {line, nullptr, nullptr, nullptr};
        for (int i = 1; i < 4; i++) {
            char* slash = strchr(parts[i - 1], '/');
            if (!slash) break;
            *slash = '\0';
            parts[i] = slash + 1;
        }
        int displaysTaken = 0;
        if (parts[3] && counted(displayFromText(parts[3], r.Display2)) == FieldText::Taken) displaysTaken++;
        if (parts[2] && counted(displayFromText(parts[2], r.Display1)) == FieldText::Taken) displaysTaken++;
        if (parts[1] && counted(symbolFromText(parts[1], r.Symbol)) == FieldText::Taken) r.HasSymbol = 1;
        // Display values without a symbol have no place in the record.
        if (!r.HasSymbol) pointTable.fieldsLeftEmpty += displaysTaken;
        counted(altitudeFromText(parts[0], true, r.Altitude));
        // Line 5: the time of a point whose third line holds its comment.
        readTextLine(line, text, end, sizeof line);
        trimLine(line);
        if (line[0] && r.Time == 0) counted(timeFromText(line, r.Time));
    }
    trimLine(r.NameOfPoint);
    if (!r.NameOfPoint[0] && isAutomaticallyNamed(reader.transferKind)) nameAutomatically(*reader.naming, r);
    addRecord(reader);
    noteObject(reader, PointObjects, pointTable.count - 1);
}

void readPointWithoutText(BinaryReader& reader, double longitude, double latitude) {
    if (*reader.objectKindFound == 0) *reader.objectKindFound = PointObjects;
    PointRecord& r = newRecord(reader);
    r.Longitude = longitude;
    r.Latitude = latitude;
    r.NumberOfPoint = pointTable.count + 1;
    r.NumberOfRouteOrTrack = 0;
    if (isAutomaticallyNamed(reader.transferKind)) nameAutomatically(*reader.naming, r);
    addRecord(reader);
    noteObject(reader, PointObjects, pointTable.count - 1);
}

// 1 to go on, 0 after a message.
int readLineObject(BinaryReader& reader, unsigned vertices, const char* text, const char* end) {
    const size_t vertexSize = reader.version == 2 ? 16 : 24;
    // A line that claims more vertices than the file holds is cut off.
    if ((long long)vertices * (long long)vertexSize > reader.size - reader.position) {
        showError(kMsgRead);
        return 0;
    }
    if (pointTable.count + (long long)vertices > kMaxPoints) {
        showError(kCapacityMessage);
        return 0;
    }
    if (*reader.objectKindFound == 0) *reader.objectKindFound = LineObjects;
    int nameNumber = 0;
    if (isAutomaticallyNamed(reader.transferKind)) askNameInitialsOnce(*reader.naming);
    // The first line object uses the initials as they stand, every later
    // one the next pair.
    if (reader.seenLine) advanceNameInitials(reader.naming->initials[0], reader.naming->initials[1]);
    reader.seenLine = true;
    reader.nextNewSegment = 1;

    char line[kTextLineSize];
    text = readTextLine(line, text, end, sizeof line);
    trimLine(line);
    int number = -1;
    if (line[0]) {
        number = decimalValue(line);
        if (startsWithDigit(line)) *reader.hasNumbers = true;
    }
    char name[kNameSize], comment[kNameSize];
    text = readTextLine(line, text, end, sizeof line);
    keepFileText(line);
    line[kNameSize - 1] = '\0';
    if (hasSignificantChar(line)) *reader.hasNames = true;
    trimLine(line);
    copyName(name, line);
    text = readTextLine(line, text, end, sizeof line);
    keepFileText(line);
    line[kNameSize - 1] = '\0';
    trimLine(line);
    copyName(comment, line);

    if (number != reader.lastLineNumber || strcmp(name, reader.lastLineName) != 0 ||
        reader.transferKind == TransferKind::Waypoints) {
        reader.lineCounter++;
        if (number == -1) number = reader.lineCounter;
        reader.pointInLine = 0;
    }

    readTextLine(line, text, end, sizeof line);
    trimLine(line);
    uint8_t hasSymbol = 0, display1 = 0, display2 = 0;
    if (char* first = strchr(line, '/')) {
        char* between = first + 1;
        char* second = strchr(between, '/');
        bool display2Taken = false;
        if (second) {
            *second = '\0';
            display2Taken = counted(displayFromText(second + 1, display2)) == FieldText::Taken;
        }
        if (counted(displayFromText(between, display1)) == FieldText::Taken) hasSymbol = 1;
        // The second display value of a line without the first is not kept.
        if (!hasSymbol && display2Taken) pointTable.fieldsLeftEmpty++;
    }
    reader.lastLineNumber = number;
    strcpy(reader.lastLineName, name);

    unsigned char vertex[24];
    const int first = pointTable.count;
    for (unsigned v = 0; v < vertices; v++) {
        reader.pointInLine++;
        if (!readBytes(reader, vertex, vertexSize)) {
            showError(kMsgRead);
            return 0;
        }
        PointRecord& r = newRecord(reader);
        r.Longitude = getDouble(vertex);
        r.Latitude = getDouble(vertex + 8);
        r.NumberOfPoint = reader.pointInLine;
        r.NumberOfRouteOrTrack = number;
        nameNumber++;
        if (isAutomaticallyNamed(reader.transferKind))
            copyName(r.NameOfPoint, makeAutomaticPointName(*reader.naming, nameNumber).c_str());
        strcpy(r.NameOfRouteOrTrack, name);
        strcpy(r.Comment, comment);
        r.HasSymbol = hasSymbol;
        r.Display1 = display1;
        r.Display2 = display2;
        addRecord(reader);
    }
    noteObject(reader, LineObjects, first);
    return 1;
}

int readHeader(BinaryReader& reader) {
    unsigned char start[25];
    if (!readBytes(reader, start, sizeof start)) {
        showError(kMsgRead);
        return 0;
    }
    if (memcmp(start, "DOMGVCRD Ovlfile V", 18) != 0) {
        showError(kMsgNoBinary);
        return 0;
    }
    reader.version = start[18] - '0';
    bool ok;
    if (reader.version == 2) {
        ok = skipBytes(reader, get16(start + 23), nullptr);
    } else if (reader.version == 3 || reader.version == 4) {
        unsigned char last2[2] = {0, 0};
        ok = skipBytes(reader, 16, last2) && skipBytes(reader, get16(last2) + 8, last2) &&
             skipBytes(reader, get16(last2) + 4, nullptr);
    } else {
        showError(kMsgNoBinary);
        return 0;
    }
    if (!ok) {
        showError(kMsgRead);
        return 0;
    }
    return 1;
}

// Reads objects until the file ends. 1 at the end, 0 after a message. The
// file may end only between objects: an end inside one is a cut-off file.
int readObjects(BinaryReader& reader) {
    const bool v2 = reader.version == 2;
    for (;;) {
        unsigned type, flag;
        const long long objectStart = reader.position;
        unsigned char head[24];
        if (!readBytes(reader, head, v2 ? 8 : 24)) {
            if (reader.position == objectStart) return 1;
            showError(kMsgRead);
            return 0;
        }
        if (v2) {
            type = get16(head);
            flag = head[6];
        } else {
            type = head[0];
            unsigned k = get16(head + 22);
            if (!readBytes(reader, scratch, k + 2)) {
                showError(kMsgRead);
                return 0;
            }
            flag = scratch[k];
        }

        size_t textLength = 0;
        if (flag == 16) {
            unsigned char lengthBytes[4];
            if (!readBytes(reader, lengthBytes, 4)) {
                showError(kMsgRead);
                return 0;
            }
            uint32_t length = get32(lengthBytes);
            if (v2) length &= 0xFFFF;
            // A length the file cannot hold marks a damaged file.
            if (length > (uint32_t)kTextCapacity || (long long)length > reader.size - reader.position) {
                showError(kMsgRead);
                return 0;
            }
            textLength = length;
            if (!readBytes(reader, objectText, textLength)) {
                showError(kMsgRead);
                return 0;
            }
        }
        objectText[textLength] = '\0';

        unsigned char tail[54];
        size_t tailSize = 0;
        bool isPoint = type == 6;
        bool isLine = type == 3 || (!v2 && type == 23);
        if (isPoint)
            tailSize = v2 ? 28 : 54;
        else if (isLine)
            tailSize = v2 ? 8 : 20;
        if (tailSize && !readBytes(reader, tail, tailSize)) {
            showError(kMsgRead);
            return 0;
        }
        bool linked = !v2 && tailSize && get16(tail) == 17;

        if (isPoint && pointTable.count >= kMaxPoints && !linked && (flag == 16 || flag == 1)) {
            showError(kCapacityMessage);
            return 0;
        }
        trimBlanks(objectText);
        const char* textEnd = objectText + strlen(objectText);

        if (isPoint && flag == 16 && !linked) {
            size_t at = v2 ? 12 : 30;
            readPointWithText(reader, getDouble(tail + at), getDouble(tail + at + 8), objectText, textEnd);
        } else if (isPoint && flag == 1 && !linked) {
            size_t at = v2 ? 12 : 30;
            readPointWithoutText(reader, getDouble(tail + at), getDouble(tail + at + 8));
        } else if (isLine && (flag == 1 || flag == 16) && !linked) {
            unsigned vertices = get16(tail + (v2 ? 6 : 18));
            if (!readLineObject(reader, vertices, objectText, textEnd)) return 0;
        } else {
            char message[512];
            snprintf(message, sizeof message, kMsgInvalidObject, (int)type, (int)flag);
            showError(message);
            return 0;
        }
    }
}

}  // namespace

const char* readTextLine(char* dst, const char* src, const char* end, size_t size) {
    size_t n = 0;
    while (src < end && *src != '\r' && *src != '\0' && n + 1 < size) dst[n++] = *src++;
    if (size > 0) dst[n < size ? n : size - 1] = '\0';
    if (src < end && *src == '\r') src++;
    if (src < end && *src == '\n') src++;
    return src;
}

namespace {

void trimTexts(PointRecord& r) {
    trimLine(r.NameOfPoint);
    trimLine(r.NameOfRouteOrTrack);
    trimLine(r.Comment);
}

// Head, text and tail of a line of the given number of vertices, from the
// line's first point.
void writeLineStart(AtomicFile& file, const PointRecord& r, int vertices) {
    char text[512];
    formatLineText(text, sizeof text, r);
    writeObjectStart(file, 3, text);
    unsigned char tail[8];
    put16(tail, 5);
    put16(tail + 2, 4);
    put16(tail + 4, 1);
    put16(tail + 6, (unsigned)vertices);
    atomicWrite(file, tail, sizeof tail);
}

void writePoint(AtomicFile& file, PointRecord& r, bool startsLine) {
    char text[512];
    formatPointText(text, sizeof text, r, startsLine);
    writeObjectStart(file, 6, text);
    unsigned char tail[28];
    put16(tail, 1);
    put16(tail + 2, 12);
    put16(tail + 4, 12);
    put16(tail + 6, 1);
    put16(tail + 8, 2);
    put16(tail + 10, 2);
    putDouble(tail + 12, r.Longitude);
    putDouble(tail + 20, r.Latitude);
    atomicWrite(file, tail, sizeof tail);
}

bool openWithHeader(AtomicFile& file, const char* fileName) {
    if (!fileName || !*fileName || !atomicOpen(file, fileName)) return false;
    const Centre centre = centreOfValidPositions();
    unsigned char header[kHeaderSize];
    buildHeader(header, centre.longitude, centre.latitude);
    atomicWrite(file, header, sizeof header);
    return true;
}

}  // namespace

int writeOvlBinaryFile(const char* fileName, int objectKind) {
    AtomicFile file;
    if (!openWithHeader(file, fileName)) return 0;
    forEachWrittenRecord(objectKind, [&](PointRecord& r, bool startsObject) {
        trimTexts(r);
        if (objectKind == LineObjects) {
            if (startsObject) writeLineStart(file, r, r.LinePointCount);
            writeVertex(file, r);
        } else {
            writePoint(file, r, startsObject);
        }
        return !file.failed;
    });
    return atomicCommit(file);
}

int writeOvlBinaryObjects(const char* fileName, const std::vector<OvlObject>& objects) {
    AtomicFile file;
    if (!openWithHeader(file, fileName)) return 0;
    bool first = true;
    for (const OvlObject& object : objects) {
        if (file.failed) break;
        const int end = object.first + object.count;
        if (object.kind == LineObjects) {
            int valid = 0, start = -1;
            for (int i = object.first; i < end; i++)
                if (isValidPosition(pointTable.records[i])) {
                    if (start < 0) start = i;
                    valid++;
                }
            if (valid < 2) continue;
            trimTexts(pointTable.records[start]);
            writeLineStart(file, pointTable.records[start], valid);
            for (int i = start; i < end; i++)
                if (isValidPosition(pointTable.records[i])) writeVertex(file, pointTable.records[i]);
            first = false;
        } else {
            for (int i = object.first; i < end; i++) {
                PointRecord& r = pointTable.records[i];
                if (!isValidPosition(r)) continue;
                trimTexts(r);
                writePoint(file, r, r.NewSegment || first);
                first = false;
            }
        }
    }
    return atomicCommit(file);
}

int readOvlBinaryFile(const char* fileName, TransferKind transferKind, int& objectKindFound,
                      bool& fileHasRouteOrTrackNumbers, bool& fileHasRouteOrTrackNames,
                      std::vector<OvlObject>* objects, NamingState* naming) {
    BinaryReader reader;
    NamingState ownNaming;
    reader.naming = naming ? naming : &ownNaming;
    reader.objects = objects;
    if (objects) objects->clear();
    reader.file = openInputFile(fileName, kMsgOpen);
    if (!reader.file) return 0;
    // The size bounds the text lengths the reader believes; a file whose
    // size cannot be told bounds nothing.
    reader.size = LLONG_MAX;
    if (fseek(reader.file, 0, SEEK_END) == 0) {
        long size = ftell(reader.file);
        if (size >= 0) reader.size = size;
        if (fseek(reader.file, 0, SEEK_SET) != 0) {
            fclose(reader.file);
            showError(kMsgRead);
            return 0;
        }
    }
    reader.transferKind = transferKind;
    reader.objectKindFound = &objectKindFound;
    reader.hasNumbers = &fileHasRouteOrTrackNumbers;
    reader.hasNames = &fileHasRouteOrTrackNames;
    objectKindFound = 0;
    int ok = readHeader(reader);
    if (ok) {
        pointTable.reset();
        ok = readObjects(reader);
    }
    fclose(reader.file);
    if (!ok) return 0;
    if (objects) {
        // The objects keep their kinds and their valid records.
        int first = 0;
        for (OvlObject& object : *objects) {
            int valid = 0;
            for (int i = object.first; i < object.first + object.count; i++)
                if (isValidPosition(pointTable.records[i])) valid++;
            object.first = first;
            object.count = valid;
            first += valid;
        }
    }
    // The conversion reports a file without a valid object itself.
    return leaveOutInvalidPositions(0, transferKind != TransferKind::OvlConversion);
}
