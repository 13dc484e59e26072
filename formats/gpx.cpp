// GPS Exchange Format: the writer (GPX 1.1, UTF-8) and the reader (GPX 1.0
// and 1.1, through expat).

#include "formats/gpx.h"

#include <fcntl.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <expat.h>
#include <strings.h>

#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "platform/text_encoding.h"
#include "formats/format_helpers.h"
#include "model/field_values.h"
#include "model/helpers.h"
#include "formats/reading.h"
#include "model/names.h"
#include "model/point_table.h"
#include "model/symbols.h"
#include "model/times.h"

namespace {

const char kGpx10Namespace[] = "http://www.topografix.com/GPX/1/0";
const char kGpx11Namespace[] = "http://www.topografix.com/GPX/1/1";
// Our own extension: the point attributes GPX has no element for.
const char kOwnNamespace[] = "urn:x-wegmate:gpx:1";

const char kMsgOpen[] = "Fehler beim Öffnen der GPX-Eingabedatei.";
const char kMsgRead[] = "Fehler beim Lesen der GPX-Eingabedatei.";
const char kMsgNotGpx[] = "Keine gültige GPX-Datei!";
const char kMsgMalformed[] = "GPX-Datei fehlerhaft: kein wohlgeformtes XML (Zeile %lu).";
const char kMsgEntities[] = "GPX-Datei enthält Entity-Deklarationen und wird nicht gelesen.";
const char kMsgNoObjects[] = "GPX-Datei enthält keine Wegpunkte, Routen oder Tracks.";
const char kMsgSourcesLeftOut[] = "%d Punkte aus %s der GPX-Datei werden ausgelassen \n(gelesen werden hier nur %s).";
const char kMsgSourceLeftOut[] = "1 Punkt aus %s der GPX-Datei wird ausgelassen \n(gelesen werden hier nur %s).";
const char kMsgTooLarge[] =
    "GPX-Datei enthält einen Namen, einen Text, ein Attribut oder einen \nKommentar von mehr als 1 MB und wird "
    "nicht gelesen (Zeile %lu).";
const char kMsgTooDeep[] = "GPX-Datei ist tiefer als 1000 Ebenen verschachtelt und wird nicht gelesen (Zeile %lu).";

// The longest attribute value or run of text a file may hold.
constexpr size_t kMaxTokenBytes = 1 << 20;
// The deepest nesting of elements a file may hold; real ones use fewer than
// ten levels, and the parser's memory would run out long before a million.
constexpr size_t kMaxDepth = 1000;
// What the parser itself may hold at once: a few times the longest token,
// with its input buffer. A longer name, comment or attribute than
// kMaxTokenBytes exhausts it before the handlers see it.
constexpr size_t kParserMemory = 16 << 20;

// ---------------------------------------------------------------- writing

// Windows-1252 text as escaped UTF-8 character data or attribute value.
// Control characters, which XML 1.0 does not allow, become '?'.
void appendText(std::string& out, const char* text) {
    std::string bytes(text);
    for (char& c : bytes)
        if ((unsigned char)c < 0x20) c = '?';
    for (char c : cp1252ToUtf8(bytes)) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
}

void appendFixed(std::string& out, double value, int decimals) {
    char buffer[64];
    std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    out.append(buffer, r.ec == std::errc() ? r.ptr : buffer);
}

void appendNumber(std::string& out, long long value) {
    char buffer[24];
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

void appendElement(std::string& out, const char* indent, const char* tag, const char* text) {
    out += indent;
    out += '<';
    out += tag;
    out += '>';
    appendText(out, text);
    out += "</";
    out += tag;
    out += ">\n";
}

// One wpt, rtept or trkpt. A waypoint also carries its route or track
// number and name, point number and segment flag in the extension.
void appendPoint(std::string& out, const char* indent, const char* tag, const PointRecord& r, bool waypoint,
                 bool newSegment) {
    std::string inner = std::string(indent) + "  ";
    out += indent;
    out += '<';
    out += tag;
    out += " lat=\"";
    appendFixed(out, r.Latitude, 9);
    out += "\" lon=\"";
    appendFixed(out, r.Longitude, 9);
    out += "\">\n";
    if (isAltitudeInRange(r.Altitude)) {
        // Fixed notation: xsd:decimal has no exponent. The shortest digits
        // that give the float back; a value near zero needs up to 52.
        char buffer[64];
        std::to_chars_result c = std::to_chars(buffer, buffer + sizeof buffer, r.Altitude, std::chars_format::fixed);
        out += inner + "<ele>";
        out.append(buffer, c.ptr);
        out += "</ele>\n";
    }
    char time[24];
    formatTime(r.Time, time);
    if (time[0]) {
        time[10] = 'T';
        out += inner + "<time>" + time + "Z</time>\n";
    }
    if (r.NameOfPoint[0]) appendElement(out, inner.c_str(), "name", r.NameOfPoint);
    if (r.Comment[0]) appendElement(out, inner.c_str(), "cmt", r.Comment);
    // The symbol by Garmin's name, or by the name a file gave that the table
    // does not know; track points carry none (the track's colour only).
    if (strcmp(tag, "trkpt") != 0) {
        const char* symbol = r.HasSymbol ? garminSymbolName(r.Symbol) : nullptr;
        if (!symbol && r.SymbolName[0]) symbol = r.SymbolName;
        if (symbol) appendElement(out, inner.c_str(), "sym", symbol);
    }
    if (waypoint || r.HasSymbol) {
        out += inner + "<extensions><wegmate:point";
        if (waypoint) {
            out += " route=\"";
            appendNumber(out, r.NumberOfRouteOrTrack);
            out += '"';
            if (r.NameOfRouteOrTrack[0]) {
                out += " routeName=\"";
                appendText(out, r.NameOfRouteOrTrack);
                out += '"';
            }
            out += " number=\"";
            appendNumber(out, r.NumberOfPoint);
            out += newSegment ? "\" newSegment=\"1\"" : "\" newSegment=\"0\"";
        }
        if (r.HasSymbol) {
            out += " symbol=\"";
            appendNumber(out, r.Symbol);
            out += "\" display1=\"";
            appendNumber(out, r.Display1);
            out += "\" display2=\"";
            appendNumber(out, r.Display2);
            out += '"';
        }
        out += "/></extensions>\n";
    }
    out += indent;
    out += "</";
    out += tag;
    out += ">\n";
}

// name and number of a rte or trk.
void appendLineHeader(std::string& out, const char* tag, const PointRecord& r) {
    out += "  <";
    out += tag;
    out += ">\n";
    if (r.NameOfRouteOrTrack[0]) appendElement(out, "    ", "name", r.NameOfRouteOrTrack);
    if (r.NumberOfRouteOrTrack >= 0) {
        out += "    <number>";
        appendNumber(out, r.NumberOfRouteOrTrack);
        out += "</number>\n";
    }
}

// ---------------------------------------------------------------- reading

// What a record of the table came from, for the choice at the end.
enum Source : uint8_t { FromWaypoint, FromRoute, FromTrack, SourceCount };

enum Tag : uint8_t {
    TagOther,
    TagGpx,
    TagWpt,
    TagRte,
    TagRtept,
    TagTrk,
    TagTrkseg,
    TagTrkpt,
    TagName,
    TagCmt,
    TagEle,
    TagTime,
    TagNumber,
    TagExtensions,
    TagOwnPoint,
    TagSym
};

bool isPointTag(Tag tag) { return tag == TagWpt || tag == TagRtept || tag == TagTrkpt; }

// The elements whose character data the reader takes.
bool isTextTag(Tag tag) {
    return tag == TagName || tag == TagCmt || tag == TagEle || tag == TagTime || tag == TagNumber || tag == TagSym;
}

constexpr size_t kMaxText = 1024;  // longer text is cut; names keep 50 characters

struct GpxReader {
    XML_Parser parser = nullptr;
    TransferKind transferKind = TransferKind::Waypoints;
    std::string error;  // the message once the reading stopped
    bool sawRoot = false;
    std::vector<Tag> tags;  // the open elements
    std::string text;       // character data of the open leaf element
    size_t textRun = 0;     // bytes of the current run of character data
    // The open rte or trk.
    int lineFirst = 0;    // its first record
    int lineNumber = -1;  // from its number element, -1 = none
    char lineName[kNameSize] = "";
    int linePoints = 0;  // points so far, numbered on through the segments
    bool segmentStart = false;
    int lineObjects = 0;  // rte and trkseg so far, for the initials
    int nameCounter = 0;  // automatic names within the current one
    int routeCount = 0;
    int trackCount = 0;
    // The open point (entry [count]).
    bool pointOpen = false;
    bool pointNamed = false;
    bool hasNumbers[SourceCount] = {};
    bool hasNames[SourceCount] = {};
    int sourceCount[SourceCount] = {};
    // Appending reading: only these objects are taken, named as they are.
    bool filtered = false;
    bool wanted[SourceCount] = {};
    const char* capacityMessage = kCapacityMessage;
    bool full = false;  // stopped by a full table
    NamingState ownNaming;
    NamingState* naming = &ownNaming;  // the caller's, or the reading's own
};

uint8_t recordSource[kMaxPoints];
// Values of each record that its fields could not hold; only the records
// kept in the end count.
uint8_t recordFieldsLeftEmpty[kMaxPoints];

void leaveEmpty(int record, int fields) {
    const int sum = recordFieldsLeftEmpty[record] + fields;
    recordFieldsLeftEmpty[record] = (uint8_t)(sum < 255 ? sum : 255);
}

void noteRefused(int record, FieldText result) {
    if (result == FieldText::Refused) leaveEmpty(record, 1);
}

void stop(GpxReader& reader, const char* format) {
    if (!reader.error.empty()) return;
    char message[256];
    snprintf(message, sizeof message, format, (unsigned long)XML_GetCurrentLineNumber(reader.parser));
    reader.error = message;
    XML_StopParser(reader.parser, XML_FALSE);
}

// "uri local" from the namespace-aware parser.
void splitName(const char* name, std::string_view& space, std::string_view& local) {
    const char* blank = strchr(name, ' ');
    if (!blank) {
        space = {};
        local = name;
    } else {
        space = std::string_view(name, blank - name);
        local = blank + 1;
    }
}

bool isGpxSpace(std::string_view space) {
    return space.empty() || space == kGpx11Namespace || space == kGpx10Namespace;
}

Tag tagOf(Tag parent, bool hasParent, std::string_view space, std::string_view local) {
    if (space == kOwnNamespace && local == "point" && (isPointTag(parent) || parent == TagExtensions))
        return TagOwnPoint;
    if (!isGpxSpace(space)) return TagOther;
    if (!hasParent) return local == "gpx" ? TagGpx : TagOther;
    switch (parent) {
    case TagGpx:
        if (local == "wpt") return TagWpt;
        if (local == "rte") return TagRte;
        if (local == "trk") return TagTrk;
        break;
    case TagRte:
        if (local == "rtept") return TagRtept;
        if (local == "name") return TagName;
        if (local == "number") return TagNumber;
        break;
    case TagTrk:
        if (local == "trkseg") return TagTrkseg;
        if (local == "name") return TagName;
        if (local == "number") return TagNumber;
        break;
    case TagTrkseg:
        if (local == "trkpt") return TagTrkpt;
        break;
    case TagWpt:
    case TagRtept:
    case TagTrkpt:
        if (local == "name") return TagName;
        if (local == "cmt") return TagCmt;
        if (local == "sym") return TagSym;
        if (local == "ele") return TagEle;
        if (local == "time") return TagTime;
        if (local == "extensions") return TagExtensions;
        break;
    default: break;
    }
    return TagOther;
}

std::string_view trimmed(std::string_view text) {
    const char* blanks = " \t\r\n";
    size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string_view::npos) return {};
    return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

// A decimal number that takes up the whole (trimmed) text.
bool parseDecimal(std::string_view text, double& value) {
    text = trimmed(text);
    return parseDecimalNumber(text.data(), text.data() + text.size(), value) && std::isfinite(value);
}

// UTF-8 text in Windows-1252, trimmed, as the file holds it, into a name
// field.
void takeText(char (&field)[kNameSize], std::string_view utf8) {
    utf8 = trimmed(utf8);
    // Plain ASCII, as most names are, is the same in both encodings.
    bool ascii = true;
    for (char c : utf8) ascii &= (unsigned char)c < 0x80;
    char plain[kMaxText + 1];
    std::string converted;
    char* text = plain;
    if (ascii && utf8.size() <= kMaxText) {
        if (!utf8.empty()) memcpy(plain, utf8.data(), utf8.size());
        plain[utf8.size()] = '\0';
    } else {
        converted = utf8ToCp1252(std::string(utf8));
        text = converted.data();
    }
    keepFileText(text);
    copyName(field, text);
}

// A symbol by its name: Garmin's number when the table knows the name (the
// record's symbol, display values 0), else the name kept beside no number.
// A symbol number of our own extension, which comes later, wins.
void takeSymbol(PointRecord& r, std::string_view utf8) {
    uint16_t number = 0;
    if (garminSymbolNumber(trimmed(utf8), number)) {
        r.Symbol = number;
        r.HasSymbol = 1;
        r.SymbolName[0] = '\0';
    } else {
        takeText(r.SymbolName, utf8);
    }
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
long long daysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const long long era = year / 400;
    const int yearOfEra = year - (int)era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// ISO 8601 date and time (YYYY-MM-DDThh:mm:ss, fraction, Z or offset; no
// zone is taken as UTC) in receiver seconds. false for anything else: a day
// or clock time that does not exist, a time whose UTC lies outside the
// receiver's years 1990..2050.
bool parseIsoTime(std::string_view s, int32_t& time) {
    s = trimmed(s);
    int year, month, day, hour, minute, second;
    if (!digitsAt(s, 0, 4, year) || s.size() < 19 || s[4] != '-' || !digitsAt(s, 5, 2, month) || s[7] != '-' ||
        !digitsAt(s, 8, 2, day) || (s[10] != 'T' && s[10] != 't' && s[10] != ' ') || !digitsAt(s, 11, 2, hour) ||
        s[13] != ':' || !digitsAt(s, 14, 2, minute) || s[16] != ':' || !digitsAt(s, 17, 2, second))
        return false;
    if (month < 1 || month > 12 || day < 1 || day > monthLength(year, month) || hour > 23 || minute > 59 || second > 59)
        return false;
    size_t p = 19;
    if (p < s.size() && s[p] == '.') {
        p++;
        while (p < s.size() && s[p] >= '0' && s[p] <= '9') p++;
    }
    long long offset = 0;
    if (p < s.size() && (s[p] == 'Z' || s[p] == 'z')) {
        p++;
    } else if (p < s.size() && (s[p] == '+' || s[p] == '-')) {
        int hours, minutes;
        if (!digitsAt(s, p + 1, 2, hours)) return false;
        size_t m = p + 3;
        if (m < s.size() && s[m] == ':') m++;
        if (!digitsAt(s, m, 2, minutes) || hours > 23 || minutes > 59) return false;
        offset = (hours * 3600LL + minutes * 60LL) * (s[p] == '-' ? -1 : 1);
        p = m + 2;
    }
    if (p != s.size()) return false;
    long long local = (daysFromCivil(year, month, day) - daysFromCivil(1989, 12, 31)) * 86400LL + hour * 3600LL +
                      minute * 60LL + second;
    long long utc = local - offset;
    // The receiver's years, as in the other file formats, of the UTC date.
    if (!isTimeInRange(utc)) return false;
    time = (int32_t)utc;
    return true;
}

// A value of a GPX element or attribute for a field: nothing, taken, or
// refused (counted for the open point).
FieldText gpxTime(std::string_view text, int32_t& time) {
    if (trimmed(text).empty()) return FieldText::Blank;
    return parseIsoTime(text, time) ? FieldText::Taken : FieldText::Refused;
}

// A decimal number (GPX writes fixed notation, other programs an exponent
// as well) that takes up the whole text, in the altitude range.
FieldText gpxElevation(const std::string& text, float& altitude) {
    return altitudeFromText(text.c_str(), false, altitude);
}

// The values of the named attributes, found in one pass (an element has
// each attribute once); nullptr for those it lacks.
template <size_t N>
void findAttributes(const char** list, const char* const (&names)[N], const char* (&values)[N]) {
    for (size_t k = 0; k < N; k++) values[k] = nullptr;
    for (int i = 0; list[i]; i += 2)
        for (size_t k = 0; k < N; k++)
            if (!values[k] && strcmp(list[i], names[k]) == 0) {
                values[k] = list[i + 1];
                break;
            }
}

// Whether the choice at the end (readGpxFile) can still keep points of this
// source, after the points counted so far.
bool mayBeKept(const GpxReader& reader, Source source) {
    const int* n = reader.sourceCount;
    if (reader.transferKind == TransferKind::Tracks) {
        if (source == FromTrack) return true;
        return !n[FromTrack] && (source == FromRoute || !n[FromRoute]);
    }
    return source != FromTrack || (!n[FromWaypoint] && !n[FromRoute]);
}

// The table is full: points that the choice will drop make room.
void dropUnkeptSources(GpxReader& reader) {
    int kept = 0, lineFirst = reader.lineFirst;
    for (int i = 0; i < pointTable.count; i++) {
        if (!mayBeKept(reader, (Source)recordSource[i])) {
            if (i < reader.lineFirst) lineFirst--;
            continue;
        }
        pointTable.records[kept] = pointTable.records[i];
        recordFieldsLeftEmpty[kept] = recordFieldsLeftEmpty[i];
        recordSource[kept++] = recordSource[i];
    }
    pointTable.count = kept;
    reader.lineFirst = lineFirst;
}

void startPoint(GpxReader& reader, Tag tag, const char** attributes) {
    // Only the points the choice keeps count against the capacity.
    const Source incoming = tag == TagWpt ? FromWaypoint : tag == TagRtept ? FromRoute : FromTrack;
    if (reader.filtered) {
        // The caller named the kinds it takes: the others are skipped.
        if (!reader.wanted[incoming]) return;
    } else if (!mayBeKept(reader, incoming)) {
        reader.sourceCount[incoming]++;
        return;
    }
    if (!reader.filtered && pointTable.count >= kMaxPoints) {
        reader.sourceCount[incoming]++;
        dropUnkeptSources(reader);
        reader.sourceCount[incoming]--;
    }
    if (pointTable.count >= kMaxPoints) {
        reader.full = true;
        stop(reader, reader.capacityMessage);
        return;
    }
    // A point without a valid position is kept for now and left out with
    // the others at the end, when the kinds that the transfer takes are
    // known.
    static const char* const kNames[] = {"lat", "lon"};
    const char* values[2];
    findAttributes(attributes, kNames, values);
    const char* latText = values[0];
    const char* lonText = values[1];
    double latitude, longitude;
    if (!latText || !lonText || !parseDecimal(latText, latitude) || !parseDecimal(lonText, longitude))
        latitude = longitude = NAN;
    PointRecord& r = pointTable.records[pointTable.count];
    memset(&r, 0, sizeof r);
    r.Latitude = latitude;
    r.Longitude = longitude;
    r.Altitude = kNoAltitude;
    Source source = tag == TagWpt ? FromWaypoint : tag == TagRtept ? FromRoute : FromTrack;
    recordSource[pointTable.count] = source;
    recordFieldsLeftEmpty[pointTable.count] = 0;
    if (tag != TagWpt) {
        r.NewSegment = reader.segmentStart ? 1 : 0;
        reader.segmentStart = false;
        r.NumberOfPoint = ++reader.linePoints;
    }
    reader.pointOpen = true;
    reader.pointNamed = false;
}

void endPoint(GpxReader& reader, Tag tag) {
    if (!reader.pointOpen) return;
    PointRecord& r = pointTable.records[pointTable.count];
    if (tag != TagWpt) {
        reader.nameCounter++;
        if (!reader.pointNamed && reader.transferKind != TransferKind::Tracks && !reader.filtered) {
            askNameInitialsOnce(*reader.naming);
            copyName(r.NameOfPoint, makeAutomaticPointName(*reader.naming, reader.nameCounter).c_str());
        }
    }
    reader.sourceCount[recordSource[pointTable.count]]++;
    pointTable.count++;
    reader.pointOpen = false;
}

// A new line object (rte or trkseg): its first point starts a segment, and
// its automatic names have the next initials.
void startLineObject(GpxReader& reader) {
    reader.segmentStart = true;
    reader.nameCounter = 0;
    if (reader.lineObjects++ > 0 && reader.transferKind != TransferKind::Tracks)
        advanceNameInitials(reader.naming->initials[0], reader.naming->initials[1]);
}

void startLine(GpxReader& reader) {
    reader.lineFirst = pointTable.count;
    reader.lineNumber = -1;
    reader.lineName[0] = '\0';
    reader.linePoints = 0;
}

// The number and name of a rte or trk, which may stand anywhere in it, go
// to all its points at its end.
void endLine(GpxReader& reader, Source source) {
    int& count = source == FromRoute ? reader.routeCount : reader.trackCount;
    count++;
    int number = reader.lineNumber >= 0 ? reader.lineNumber : count;
    for (int i = reader.lineFirst; i < pointTable.count; i++) {
        pointTable.records[i].NumberOfRouteOrTrack = number;
        strcpy(pointTable.records[i].NameOfRouteOrTrack, reader.lineName);
    }
}

void applyOwnPoint(GpxReader& reader, Tag pointTag, const char** attributes) {
    if (!reader.pointOpen) return;
    PointRecord& r = pointTable.records[pointTable.count];
    static const char* const kNames[] = {"route",  "routeName", "number",  "newSegment",
                                         "symbol", "display1",  "display2"};
    const char* values[7];
    findAttributes(attributes, kNames, values);
    if (pointTag == TagWpt) {
        if (const char* v = values[0]) {
            r.NumberOfRouteOrTrack = decimalValue(v);
            if (startsWithDigit(v)) reader.hasNumbers[FromWaypoint] = true;
        }
        if (const char* v = values[1]) {
            takeText(r.NameOfRouteOrTrack, v);
            if (hasSignificantChar(r.NameOfRouteOrTrack)) reader.hasNames[FromWaypoint] = true;
        }
        if (const char* v = values[2]) r.NumberOfPoint = decimalValue(v);
        if (const char* v = values[3]) r.NewSegment = trimmed(v).substr(0, 1) == "1" ? 1 : 0;
    }
    const int record = pointTable.count;
    const char* symbol = values[4];
    if (symbol) {
        const FieldText got = symbolFromText(symbol, r.Symbol);
        noteRefused(record, got);
        if (got == FieldText::Taken) r.HasSymbol = 1;
    }
    int displaysTaken = 0;
    for (int k = 0; k < 2; k++) {
        const char* v = values[5 + k];
        if (!v) continue;
        const FieldText got = displayFromText(v, k == 0 ? r.Display1 : r.Display2);
        noteRefused(record, got);
        if (got == FieldText::Taken) displaysTaken++;
    }
    // Display values without a symbol have no place in the record.
    if (!r.HasSymbol) leaveEmpty(record, displaysTaken);
}

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    GpxReader& reader = *static_cast<GpxReader*>(data);
    std::string_view space, local;
    splitName(name, space, local);
    const bool hasParent = !reader.tags.empty();
    const Tag parent = hasParent ? reader.tags.back() : TagOther;
    const Tag tag = tagOf(parent, hasParent, space, local);
    if (!hasParent) {
        reader.sawRoot = true;
        if (tag != TagGpx) {
            stop(reader, kMsgNotGpx);
            return;
        }
    }
    // Pushed first: the end of an empty element still comes after a stop.
    reader.tags.push_back(tag);
    reader.text.clear();
    reader.textRun = 0;
    if (reader.tags.size() > kMaxDepth) {
        stop(reader, kMsgTooDeep);
        return;
    }
    for (int i = 0; attributes[i]; i += 2)
        if (strlen(attributes[i + 1]) > kMaxTokenBytes) {
            stop(reader, kMsgTooLarge);
            return;
        }
    switch (tag) {
    case TagWpt:
    case TagRtept:
    case TagTrkpt: startPoint(reader, tag, attributes); break;
    case TagRte:
        startLine(reader);
        startLineObject(reader);
        break;
    case TagTrk: startLine(reader); break;
    case TagTrkseg: startLineObject(reader); break;
    case TagOwnPoint: {
        Tag point = parent == TagExtensions ? reader.tags[reader.tags.size() - 3] : parent;
        if (isPointTag(point)) applyOwnPoint(reader, point, attributes);
        break;
    }
    default: break;
    }
}

void XMLCALL onEnd(void* data, const XML_Char*) {
    GpxReader& reader = *static_cast<GpxReader*>(data);
    if (reader.tags.empty()) return;
    const Tag tag = reader.tags.back();
    reader.tags.pop_back();
    const Tag parent = reader.tags.empty() ? TagOther : reader.tags.back();
    PointRecord& r = pointTable.records[pointTable.count < kMaxPoints ? pointTable.count : 0];
    const bool inPoint = isPointTag(parent) && reader.pointOpen;
    switch (tag) {
    case TagWpt:
    case TagRtept:
    case TagTrkpt: endPoint(reader, tag); break;
    case TagRte: endLine(reader, FromRoute); break;
    case TagTrk: endLine(reader, FromTrack); break;
    case TagName:
        if (inPoint) {
            takeText(r.NameOfPoint, reader.text);
            reader.pointNamed = r.NameOfPoint[0] != '\0';
        } else if (parent == TagRte || parent == TagTrk) {
            takeText(reader.lineName, reader.text);
            if (hasSignificantChar(reader.lineName)) reader.hasNames[parent == TagRte ? FromRoute : FromTrack] = true;
        }
        break;
    case TagCmt:
        if (inPoint) takeText(r.Comment, reader.text);
        break;
    case TagSym:
        if (inPoint) takeSymbol(r, reader.text);
        break;
    case TagEle:
        if (inPoint) noteRefused(pointTable.count, gpxElevation(reader.text, r.Altitude));
        break;
    case TagTime:
        if (inPoint) noteRefused(pointTable.count, gpxTime(reader.text, r.Time));
        break;
    case TagNumber: {
        std::string number(trimmed(reader.text));
        if (startsWithDigit(number.c_str())) {
            reader.lineNumber = decimalValue(number.c_str());
            reader.hasNumbers[parent == TagRte ? FromRoute : FromTrack] = true;
        }
        break;
    }
    default: break;
    }
    reader.text.clear();
    reader.textRun = 0;
}

void XMLCALL onText(void* data, const XML_Char* text, int length) {
    GpxReader& reader = *static_cast<GpxReader*>(data);
    reader.textRun += (size_t)length;
    if (reader.textRun > kMaxTokenBytes) {
        stop(reader, kMsgTooLarge);
        return;
    }
    if (reader.tags.empty()) return;
    Tag tag = reader.tags.back();
    if (!isTextTag(tag)) return;
    size_t room = kMaxText - reader.text.size();
    reader.text.append(text, (size_t)length < room ? (size_t)length : room);
}

// Entities are not needed in GPX; a file that declares any is refused, so
// that no expansion can grow.
void XMLCALL onEntityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                 const XML_Char*, const XML_Char*, const XML_Char*) {
    stop(*static_cast<GpxReader*>(data), kMsgEntities);
}

// Windows-1252, which some programs declare for their GPX files.
int XMLCALL onUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
    if (strcasecmp(name, "windows-1252") != 0 && strcasecmp(name, "cp1252") != 0) return XML_STATUS_ERROR;
    for (int b = 0; b < 256; b++) {
        std::string utf8 = cp1252ToUtf8(std::string(1, (char)b));
        const unsigned char* u = (const unsigned char*)utf8.data();
        int cp = u[0];
        if (utf8.size() == 2)
            cp = ((u[0] & 0x1F) << 6) | (u[1] & 0x3F);
        else if (utf8.size() == 3)
            cp = ((u[0] & 0x0F) << 12) | ((u[1] & 0x3F) << 6) | (u[2] & 0x3F);
        info->map[b] = cp;
    }
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

// Keeps the records of the chosen sources, in file order.
void keepSources(const bool (&keep)[SourceCount]) {
    int kept = 0;
    for (int i = 0; i < pointTable.count; i++)
        if (keep[recordSource[i]]) {
            recordFieldsLeftEmpty[kept] = recordFieldsLeftEmpty[i];
            pointTable.records[kept++] = pointTable.records[i];
        }
    pointTable.count = kept;
}

// The points of the kinds that the transfer does not take, counted in one
// warning that names the kinds.
void warnSourcesLeftOut(const GpxReader& reader, const bool (&keep)[SourceCount]) {
    static const char* const kFrom[SourceCount] = {"Wegpunkten", "Routen", "Tracks"};
    static const char* const kKinds[SourceCount] = {"Wegpunkte", "Routen", "Tracks"};
    int leftOut = 0;
    std::string from, kept;
    for (int s = 0; s < SourceCount; s++) {
        std::string& list = keep[s] ? kept : from;
        if (!keep[s]) {
            if (!reader.sourceCount[s]) continue;
            leftOut += reader.sourceCount[s];
        }
        list += list.empty() ? "" : " und ";
        list += keep[s] ? kKinds[s] : kFrom[s];
    }
    if (leftOut == 0) return;
    char message[256];
    if (leftOut == 1)
        snprintf(message, sizeof message, kMsgSourceLeftOut, from.c_str(), kept.c_str());
    else
        snprintf(message, sizeof message, kMsgSourcesLeftOut, leftOut, from.c_str(), kept.c_str());
    showWarning(message);
}

// The values left empty in the records from first on.
void countFieldsLeftEmpty(int first) {
    for (int i = first; i < pointTable.count; i++) pointTable.fieldsLeftEmpty += recordFieldsLeftEmpty[i];
}

// The parser's memory, counted and held to kParserMemory: one parser at a
// time.
size_t parserMemory = 0;
constexpr size_t kBlockHead = alignof(std::max_align_t);

void* parserMalloc(size_t size) {
    if (size > kParserMemory - parserMemory) return nullptr;
    unsigned char* block = static_cast<unsigned char*>(malloc(size + kBlockHead));
    if (!block) return nullptr;
    memcpy(block, &size, sizeof size);
    parserMemory += size;
    return block + kBlockHead;
}

void parserFree(void* pointer) {
    if (!pointer) return;
    unsigned char* block = static_cast<unsigned char*>(pointer) - kBlockHead;
    size_t size;
    memcpy(&size, block, sizeof size);
    parserMemory -= size;
    free(block);
}

void* parserRealloc(void* pointer, size_t size) {
    if (!pointer) return parserMalloc(size);
    unsigned char* block = static_cast<unsigned char*>(pointer) - kBlockHead;
    size_t old;
    memcpy(&old, block, sizeof old);
    if (size > old && size - old > kParserMemory - parserMemory) return nullptr;
    unsigned char* grown = static_cast<unsigned char*>(realloc(block, size + kBlockHead));
    if (!grown) return nullptr;
    memcpy(grown, &size, sizeof size);
    parserMemory = parserMemory - old + size;
    return grown + kBlockHead;
}

const XML_Memory_Handling_Suite kParserMemorySuite = {parserMalloc, parserRealloc, parserFree};

// The parser of one file: namespaces resolved, no entity declarations, no
// external or parameter entities, its memory bounded.
bool createParser(GpxReader& reader) {
    reader.parser = XML_ParserCreate_MM(nullptr, &kParserMemorySuite, " ");
    if (!reader.parser) return false;
    XML_SetUserData(reader.parser, &reader);
    XML_SetElementHandler(reader.parser, onStart, onEnd);
    XML_SetCharacterDataHandler(reader.parser, onText);
    XML_SetEntityDeclHandler(reader.parser, onEntityDeclaration);
    XML_SetUnknownEncodingHandler(reader.parser, onUnknownEncoding, nullptr);
    XML_SetParamEntityParsing(reader.parser, XML_PARAM_ENTITY_PARSING_NEVER);
    return true;
}

// The file through the parser; on 0, reader.error holds the message.
int parseFile(GpxReader& reader, FILE* file) {
    for (;;) {
        const int chunk = 1 << 16;
        void* buffer = XML_GetBuffer(reader.parser, chunk);
        if (!buffer) {
            if (XML_GetErrorCode(reader.parser) == XML_ERROR_NO_MEMORY) stop(reader, kMsgTooLarge);
            if (reader.error.empty()) reader.error = kMsgRead;
            return 0;
        }
        size_t got = fread(buffer, 1, chunk, file);
        if (ferror(file)) {
            reader.error = kMsgRead;
            return 0;
        }
        const bool last = got < (size_t)chunk;
        if (XML_ParseBuffer(reader.parser, (int)got, last) != XML_STATUS_OK) {
            if (reader.error.empty()) {
                if (XML_GetErrorCode(reader.parser) == XML_ERROR_NO_MEMORY)
                    stop(reader, kMsgTooLarge);
                else if (!reader.sawRoot)
                    reader.error = kMsgNotGpx;
                else
                    stop(reader, kMsgMalformed);
            }
            return 0;
        }
        if (last) return 1;
    }
}

}  // namespace

namespace {

std::string gpxHeader() {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"Wegmate\" xmlns=\"";
    out += kGpx11Namespace;
    out += "\" xmlns:wegmate=\"";
    out += kOwnNamespace;
    out += "\">\n";
    return out;
}

// The objects of the table, going on from where the parts before left off.
std::string gpxPart(GpxWriting& writing, int objectKind, TransferKind transferKind) {
    std::string out;
    out.reserve(64 + (size_t)pointTable.count * 160);
    const bool tracks = transferKind == TransferKind::Tracks;
    writing.lineTag = tracks ? "trk" : "rte";
    bool& lineOpen = writing.lineOpen;
    bool& segmentOpen = writing.segmentOpen;
    forEachWrittenRecord(
        objectKind,
        [&](const PointRecord& r, bool startsObject) {
            if (objectKind != LineObjects) {
                appendPoint(out, "  ", "wpt", r, true, startsObject);
                return true;
            }
            if (startsObject) {
                if (segmentOpen) out += "    </trkseg>\n";
                segmentOpen = false;
                // A track goes on with a further segment while its number and
                // name stay; every other line is a route or track of its own.
                const bool sameTrack =
                    tracks && lineOpen && r.NumberOfRouteOrTrack == writing.trackNumber &&
                    (!r.NameOfRouteOrTrack[0] || strcmp(r.NameOfRouteOrTrack, writing.trackName) == 0);
                if (!sameTrack) {
                    if (lineOpen) out += std::string("  </") + writing.lineTag + ">\n";
                    appendLineHeader(out, writing.lineTag, r);
                    lineOpen = true;
                    writing.trackNumber = r.NumberOfRouteOrTrack;
                    strcpy(writing.trackName, r.NameOfRouteOrTrack);
                }
                if (tracks) {
                    out += "    <trkseg>\n";
                    segmentOpen = true;
                }
            }
            appendPoint(out, tracks ? "      " : "    ", tracks ? "trkpt" : "rtept", r, false, false);
            return true;
        },
        true);
    return out;
}

std::string gpxFooter(const GpxWriting& writing) {
    std::string out;
    if (writing.segmentOpen) out += "    </trkseg>\n";
    if (writing.lineOpen) out += std::string("  </") + writing.lineTag + ">\n";
    out += "</gpx>\n";
    return out;
}

}  // namespace

int beginGpxWriting(GpxWriting& writing, const char* fileName) {
    writing = GpxWriting();
    if (!fileName || !*fileName || !atomicOpen(writing.file, fileName)) return 0;
    const std::string out = gpxHeader();
    atomicWrite(writing.file, out.data(), out.size());
    return 1;
}

int writeGpxPart(GpxWriting& writing, int objectKind, TransferKind transferKind) {
    const std::string out = gpxPart(writing, objectKind, transferKind);
    return atomicWrite(writing.file, out.data(), out.size());
}

int finishGpxWriting(GpxWriting& writing) {
    const std::string out = gpxFooter(writing);
    atomicWrite(writing.file, out.data(), out.size());
    return atomicCommit(writing.file);
}

std::string gpxDocument(int objectKind, TransferKind transferKind) {
    GpxWriting writing;
    std::string out = gpxHeader();
    out += gpxPart(writing, objectKind, transferKind);
    return out + gpxFooter(writing);
}

void abortGpxWriting(GpxWriting& writing) { atomicAbort(writing.file); }

int writeGpxFile(const char* fileName, int objectKind, TransferKind transferKind) {
    GpxWriting writing;
    if (!beginGpxWriting(writing, fileName)) return 0;
    writeGpxPart(writing, objectKind, transferKind);
    return finishGpxWriting(writing);
}

int readGpxFile(const char* fileName, TransferKind transferKind, bool& fileHasRouteOrTrackNumbers,
                bool& fileHasRouteOrTrackNames, NamingState* naming) {
    FILE* file = openInputFile(fileName, kMsgOpen);
    if (!file) return 0;
    GpxReader reader;
    reader.transferKind = transferKind;
    if (naming) reader.naming = naming;
    if (!createParser(reader)) {
        fclose(file);
        showError(kMsgRead);
        return 0;
    }
    pointTable.reset();
    pointTable.records[0].NewSegment = 1;
    int ok = parseFile(reader, file);
    XML_ParserFree(reader.parser);
    fclose(file);
    if (!ok) {
        showError(reader.error.c_str());
        return 0;
    }

    // The objects the transfer takes.
    const int* n = reader.sourceCount;
    bool keep[SourceCount] = {};
    if (transferKind == TransferKind::Tracks) {
        keep[n[FromTrack] ? FromTrack : n[FromRoute] ? FromRoute : FromWaypoint] = true;
    } else if (n[FromWaypoint] || n[FromRoute]) {
        keep[FromWaypoint] = keep[FromRoute] = true;
    } else {
        keep[FromTrack] = true;
    }
    keepSources(keep);
    countFieldsLeftEmpty(0);
    warnSourcesLeftOut(reader, keep);
    if (pointTable.count == 0) {
        showError(kMsgNoObjects);
        return 0;
    }
    if (!leaveOutInvalidPositions()) return 0;
    pointTable.records[0].NewSegment = 1;
    if (pointTable.count < kMaxPoints) pointTable.records[pointTable.count].NewSegment = 0;
    for (int s = 0; s < SourceCount; s++) {
        if (keep[s] && reader.hasNumbers[s]) fileHasRouteOrTrackNumbers = true;
        if (keep[s] && reader.hasNames[s]) fileHasRouteOrTrackNames = true;
    }
    return 1;
}

GpxAppend appendGpxObjectsOf(const char* fileName, bool waypoints, bool routes, bool tracks,
                             const char* capacityMessage, std::string& message) {
    const int fd = fileName ? open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY) : -1;
    return appendGpxObjectsOf(fd < 0 ? nullptr : boundedInputStream(fd), waypoints, routes, tracks, capacityMessage,
                              message);
}

GpxAppend appendGpxObjectsOf(FILE* file, bool waypoints, bool routes, bool tracks, const char* capacityMessage,
                             std::string& message) {
    if (!file) {
        message = kMsgOpen;
        return GpxAppend::FileFault;
    }
    GpxReader reader;
    reader.transferKind = tracks ? TransferKind::Tracks : TransferKind::Waypoints;
    reader.filtered = true;
    reader.wanted[FromWaypoint] = waypoints;
    reader.wanted[FromRoute] = routes;
    reader.wanted[FromTrack] = tracks;
    if (capacityMessage) reader.capacityMessage = capacityMessage;
    if (!createParser(reader)) {
        fclose(file);
        message = kMsgRead;
        return GpxAppend::FileFault;
    }
    const int first = pointTable.count;
    const int ok = parseFile(reader, file);
    XML_ParserFree(reader.parser);
    fclose(file);
    if (!ok) {
        pointTable.count = first;
        message = reader.error;
        return reader.full ? GpxAppend::TableFull : GpxAppend::FileFault;
    }
    countFieldsLeftEmpty(first);
    return GpxAppend::Read;
}

int appendGpxObjects(const char* fileName, bool waypoints, bool routes, bool tracks, const char* capacityMessage) {
    FILE* file = openInputFile(fileName, kMsgOpen);
    if (!file) return 0;
    return appendGpxObjects(file, waypoints, routes, tracks, capacityMessage);
}

int appendGpxObjects(FILE* file, bool waypoints, bool routes, bool tracks, const char* capacityMessage) {
    std::string message;
    if (appendGpxObjectsOf(file, waypoints, routes, tracks, capacityMessage, message) == GpxAppend::Read) return 1;
    showError(message.c_str());
    return 0;
}
