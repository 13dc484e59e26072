// MapInfo interchange files: writer and reader of the MIF/MID pair.

#include "formats/mif.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include <iconv.h>
#include <strings.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "platform/text_encoding.h"
#include "formats/format_helpers.h"
#include "model/field_values.h"
#include "model/helpers.h"
#include "formats/reading.h"
#include "model/names.h"
#include "model/point_table.h"
#include "model/times.h"

namespace {

const char kMsgOpenMif[] = "Fehler beim Öffnen der MIF-Eingabedatei.";
const char kMsgOpenMid[] = "Fehler beim Öffnen der MID-Eingabedatei.";
const char kMsgNoMif[] = "Keine gültige MIF-Datei!";
const char kMsgCoordSys[] = "Falsches Koordinatensystem -- muss 'Länge/Breite mit WGS84' sein.";
const char kMsgMidRead[] = "Konnte aus MID-Datei nicht lesen.";
const char kMsgWrongType[] =
    "MIF-Datei enthielt Objekte falschen Typs.\nVerwenden Sie nur Objekte vom Type 'Punkt' oder 'Polylinie'!";
const char kMsgMissingVertices[] = "Fehlende Stützpunkte eines PLINE-Objekts in MIF-Datei!\n";
const char kMsgExtraVertices[] = "Mehr Stützpunkte eines PLINE-Objekts als angegeben in MIF-Datei (Zeile %d).";
const char kMsgUnclosedQuote[] = "MID-Datei fehlerhaft: schließendes Anführungszeichen fehlt (Zeile %d).";
const char kMsgMisplacedQuote[] = "MID-Datei fehlerhaft: Anführungszeichen mitten in einem Wert (Zeile %d).";
const char kMsgRegionsLeftOut[] =
    "%d Flächen (Region) aus Sammelobjekten (Collection) der MIF-Datei \nwerden ausgelassen.";
const char kMsgRegionLeftOut[] = "1 Fläche (Region) aus einem Sammelobjekt (Collection) der MIF-Datei \nwird ausgelassen.";
const char kMsgCharset[] = "MIF-Datei mit dem Zeichensatz \"%s\", den Wegmate nicht kennt, \nwird nicht gelesen.";

// ---------------------------------------------------------------- writing

// A text value of a MID row. A double quote inside the value is doubled, as
// MapInfo itself escapes it, so that the row keeps its fields.
void appendQuoted(char*& p, const char* value) {
    *p++ = '"';
    for (; *value; value++) {
        if (*value == '"') *p++ = '"';
        *p++ = *value;
    }
    *p++ = '"';
}

void appendNumber(char*& p, long long value) { p = std::to_chars(p, p + 24, value).ptr; }

void appendQuotedNumber(char*& p, long long value) {
    *p++ = '"';
    appendNumber(p, value);
    *p++ = '"';
}

// Decimal text of a number into a small buffer.
void numberText(char* out, long long value) { *std::to_chars(out, out + 23, value).ptr = '\0'; }

// One row of the eleven columns.
void formatPointRow(char* row, const PointRecord& r, bool newSegment) {
    char time[24];
    formatTime(r.Time, time);
    char altitude[24] = "";
    if (r.Altitude > -500.0f && r.Altitude < 20000.0f) {
        // The nearest whole metre that the column's range still holds.
        long metres = std::lround(r.Altitude);
        if (metres >= 20000) metres = 19999;
        if (metres <= -500) metres = -499;
        numberText(altitude, metres);
    }
    char symbol[24] = "", display1[24] = "", display2[24] = "";
    if (r.HasSymbol) {
        numberText(symbol, r.Symbol);
        numberText(display1, r.Display1);
        numberText(display2, r.Display2);
    }
    char* p = row;
    appendQuotedNumber(p, r.NumberOfRouteOrTrack);
    *p++ = ',';
    appendQuoted(p, r.NameOfRouteOrTrack);
    *p++ = ',';
    appendQuotedNumber(p, r.NumberOfPoint);
    *p++ = ',';
    appendQuoted(p, r.NameOfPoint);
    *p++ = ',';
    appendQuoted(p, time);
    *p++ = ',';
    appendQuoted(p, altitude);
    *p++ = ',';
    appendQuoted(p, r.Comment);
    *p++ = ',';
    appendQuoted(p, newSegment ? "1" : "0");
    *p++ = ',';
    appendQuoted(p, symbol);
    *p++ = ',';
    appendQuoted(p, display1);
    *p++ = ',';
    appendQuoted(p, display2);
    strcpy(p, "\r\n");
}

void formatLineRow(char* row, const PointRecord& r) {
    char time[24];
    formatTime(r.Time, time);
    char display1[24] = "", display2[24] = "";
    if (r.HasSymbol) {
        numberText(display1, r.Display1);
        numberText(display2, r.Display2);
    }
    char* p = row;
    appendQuotedNumber(p, r.NumberOfRouteOrTrack);
    *p++ = ',';
    appendQuoted(p, r.NameOfRouteOrTrack);
    strcpy(p, ",\"0\",\"\",");
    p += strlen(p);
    appendQuoted(p, time);
    strcpy(p, ",\"\",");
    p += strlen(p);
    appendQuoted(p, r.Comment);
    strcpy(p, ",\"\",\"\",");
    p += strlen(p);
    appendQuoted(p, display1);
    *p++ = ',';
    appendQuoted(p, display2);
    strcpy(p, "\r\n");
}

// "Point %.8lf %.8lf" / "%.8lf %.8lf" with line end.
void formatPosition(char* line, const char* prefix, const PointRecord& r) {
    size_t n = strlen(prefix);
    memcpy(line, prefix, n);
    char* p = line + n;
    formatCoordinate(p, 64, r.Longitude);
    p += strlen(p);
    *p++ = ' ';
    formatCoordinate(p, 64, r.Latitude);
    p += strlen(p);
    strcpy(p, "\r\n");
}

const char kPenLine[] = "    Pen (2,54,37008)\r\n";

// ---------------------------------------------------------------- reading

const char* skipBlanks(const char* text) {
    while (*text == ' ') text++;
    return text;
}

inline bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// The last count tokens of the line, separated by blanks or tabs, as
// decimal numbers in line order. false when the line does not end in count
// numbers.
bool parseLastNumbers(const char* line, double* values, int count) {
    const char* end = line + strlen(line);
    while (end > line && (end[-1] == '\n' || end[-1] == '\r')) end--;
    for (int i = count - 1; i >= 0; i--) {
        while (end > line && isBlankOrTab(end[-1])) end--;
        const char* begin = end;
        while (begin > line && !isBlankOrTab(begin[-1])) begin--;
        if (!parseDecimalNumber(begin, end, values[i])) return false;
        end = begin;
    }
    return true;
}

// Whether the line holds nothing but its last count numbers.
bool parseOnlyNumbers(const char* line, double* values, int count) {
    if (!parseLastNumbers(line, values, count)) return false;
    // Count the tokens: more than count numbers is no coordinate line.
    int tokens = 0;
    for (const char* p = line; *p && *p != '\r' && *p != '\n';) {
        while (isBlankOrTab(*p)) p++;
        if (!*p || *p == '\r' || *p == '\n') break;
        tokens++;
        while (*p && !isBlankOrTab(*p) && *p != '\r' && *p != '\n') p++;
    }
    return tokens == count;
}

// The two numbers of the line are longitude and latitude.
bool parseCoordinates(const char* line, double& longitude, double& latitude) {
    double values[2];
    if (!parseOnlyNumbers(line, values, 2)) return false;
    longitude = values[0];
    latitude = values[1];
    return true;
}

// "EARTH PROJECTION 1, 104" with any blanks around the numbers and nothing
// after them: longitude/latitude on WGS 84, without an affine or other
// clause.
bool isLatLongWgs84(const char* text) {
    const char* p = text;
    for (const char* word : {"EARTH", "PROJECTION"}) {
        while (isBlankOrTab(*p)) p++;
        const size_t n = strlen(word);
        if (strncmp(p, word, n) != 0 || !isBlankOrTab(p[n])) return false;
        p += n;
    }
    for (int expected : {1, 104}) {
        while (isBlankOrTab(*p)) p++;
        if (*p < '0' || *p > '9') return false;
        long value = 0;
        for (; *p >= '0' && *p <= '9' && value < 100000; p++) value = value * 10 + (*p - '0');
        if (value != expected) return false;
        while (isBlankOrTab(*p)) p++;
        if (expected == 1) {
            if (*p != ',') return false;
            p++;
        }
    }
    while (isBlankOrTab(*p) || *p == '\r' || *p == '\n') p++;
    return *p == '\0';
}

// Whether the line's first word (after blanks or tabs) is keyword; rest
// then points behind it.
bool isKeywordLine(const char* line, const char* keyword, const char*& rest) {
    while (isBlankOrTab(*line)) line++;
    const size_t n = strlen(keyword);
    if (strncmp(line, keyword, n) != 0) return false;
    const char c = line[n];
    if (c != '\0' && c != '\r' && c != '\n' && !isBlankOrTab(c)) return false;
    rest = line + n;
    return true;
}

// A count on a line of its own or after a keyword: blanks or tabs, then
// digits. -1 when the text holds no count.
int countValue(const char* text) {
    while (isBlankOrTab(*text)) text++;
    if (*text < '0' || *text > '9') return -1;
    return decimalValue(text);
}

// A line that holds a count and nothing else; -1 for any other line.
int countLineValue(const char* text) {
    const int value = countValue(text);
    if (value < 0) return -1;
    while (isBlankOrTab(*text)) text++;
    while (*text >= '0' && *text <= '9') text++;
    while (isBlankOrTab(*text) || *text == '\r' || *text == '\n') text++;
    return *text ? -1 : value;
}

// A line of one or more numbers and nothing else: a vertex, or a count.
bool isNumbersLine(const char* line) {
    int tokens = 0;
    for (const char* p = line;;) {
        while (isBlankOrTab(*p)) p++;
        if (!*p || *p == '\r' || *p == '\n') break;
        const char* begin = p;
        while (*p && !isBlankOrTab(*p) && *p != '\r' && *p != '\n') p++;
        double value;
        if (!parseDecimalNumber(begin, p, value)) return false;
        tokens++;
    }
    return tokens > 0;
}

bool isBlankLine(const char* line) {
    while (isBlankOrTab(*line) || *line == '\r' || *line == '\n') line++;
    return *line == '\0';
}

// The column names the reader knows.
enum Column {
    ColNumKey,
    ColName,
    ColNumberOfRouteOrTrack,
    ColNameOfRouteOrTrack,
    ColNumberOfPoint,
    ColNameOfPoint,
    ColTime,
    ColAltitude,
    ColComment,
    ColNewSegment,
    ColSymbol,
    ColDisplay1,
    ColDisplay2,
    ColumnCount
};

const char* const kColumnNames[ColumnCount] = {
    "NUMKEY",
    "NAME",
    "NUMBEROFROUTEORTRACK",
    "NAMEOFROUTEORTRACK",
    "NUMBEROFPOINT",
    "NAMEOFPOINT",
    "TIME",
    "ALTITUDE",
    "COMMENT",
    "NEWSEGMENT",
    "SYMBOL",
    "DISPLAY1",
    "DISPLAY2",
};

// The character set of the MID text, as the Charset clause of the MIF head
// names it. The point table holds Windows-1252.
enum class TextSet {
    Latin1,     // WindowsLatin1 (and a head without the clause): as it is
    Utf8,       // UTF-8
    Neutral,    // no set named: UTF-8 where the bytes are valid UTF-8
    Converted,  // another set, through iconv
};

// The iconv names of the MapInfo character sets besides WindowsLatin1,
// UTF-8 and Neutral.
const char* const kCharsets[][2] = {
    {"WindowsLatin2", "CP1250"},      {"WindowsCyrillic", "CP1251"},    {"WindowsGreek", "CP1253"},
    {"WindowsTurkish", "CP1254"},     {"WindowsHebrew", "CP1255"},      {"WindowsArabic", "CP1256"},
    {"WindowsBalticRim", "CP1257"},   {"WindowsVietnamese", "CP1258"},  {"WindowsThai", "CP874"},
    {"WindowsJapanese", "CP932"},     {"WindowsSimpChinese", "CP936"},  {"WindowsKorean", "CP949"},
    {"WindowsTradChinese", "CP950"},  {"CodePage437", "CP437"},         {"CodePage850", "CP850"},
    {"CodePage852", "CP852"},         {"CodePage855", "CP855"},         {"CodePage857", "CP857"},
    {"CodePage860", "CP860"},         {"CodePage861", "CP861"},         {"CodePage863", "CP863"},
    {"CodePage864", "CP864"},         {"CodePage865", "CP865"},         {"CodePage869", "CP869"},
    {"ISO8859_1", "ISO-8859-1"},      {"ISO8859_2", "ISO-8859-2"},      {"ISO8859_3", "ISO-8859-3"},
    {"ISO8859_4", "ISO-8859-4"},      {"ISO8859_5", "ISO-8859-5"},      {"ISO8859_6", "ISO-8859-6"},
    {"ISO8859_7", "ISO-8859-7"},      {"ISO8859_8", "ISO-8859-8"},      {"ISO8859_9", "ISO-8859-9"},
    {"ISO8859_15", "ISO-8859-15"},    {"PackedEUCJapanese", "EUC-JP"},
};

struct MifReader {
    FILE* mif = nullptr;
    FILE* mid = nullptr;
    TransferKind transferKind = TransferKind::Waypoints;
    bool* hasNumbers = nullptr;
    bool* hasNames = nullptr;
    NamingState* naming = nullptr;  // the caller's, or the reading's own
    // A MIF file without a Delimiter clause has tab-separated MID rows.
    char delimiter = '\t';
    int mifLine = 0;  // number of the MIF line being treated
    int midLine = 0;  // number of the last MID row read
    // The vertices of a polyline object have all come: a further coordinate
    // line means that its count was too small.
    bool afterPolyline = false;
    int columnOf[ColumnCount] = {};  // column number of each known name, 0 = none
    bool inColumns = false;
    int nextColumn = 1;
    int pendingVertices = 0;
    // Sections of the current polyline object still to come; a section
    // begins with its vertex count on a line of its own.
    int pendingSections = 0;
    // The first vertex of a section is still to come.
    bool sectionStart = false;
    // The next section is not the object's first.
    bool sectionIsLater = false;
    // Attributes of the current polyline object: the number as its row
    // gives it (-1 for none), and that of the current section.
    int objectNumber = -1;
    int lineNumber = -1;
    char lineName[kNameSize] = "";
    char lineComment[kNameSize] = "";
    int displayFlag = 0;
    int display1 = 0;
    int display2 = 0;
    // Display values the current row gave; they are lost when the row ends
    // without a symbol (points) or a display flag (lines).
    int displaysTaken = 0;
    int previousNumber = 0;
    char previousName[kNameSize] = "";
    int objectCount = 0;
    int pointInLine = 0;
    int nameCounter = 0;
    bool seenPolyline = false;
    // The current line has no line end: the file ends in it, perhaps cut.
    bool lineUnended = false;
    // Parts of the current Collection still to come; a Region among them is
    // left out (its polygons and their vertices skipped) and counted.
    int collectionParts = 0;
    int skipPolygons = 0;
    int skipVertices = 0;
    int regionsLeftOut = 0;
    TextSet textSet = TextSet::Latin1;
    iconv_t converter = (iconv_t)-1;  // for TextSet::Converted
};

bool isValidUtf8(const char* text) {
    const unsigned char* p = (const unsigned char*)text;
    while (*p) {
        int follow;
        unsigned int c = *p;
        if (c < 0x80)
            follow = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            follow = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            follow = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            follow = 3;
        else
            return false;
        unsigned int code = c & (0x3F >> follow);
        for (int i = 1; i <= follow; i++) {
            if ((p[i] & 0xC0) != 0x80) return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF.
        if ((follow == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (follow == 3 && (code < 0x10000 || code > 0x10FFFF)))
            return false;
        p += follow + 1;
    }
    return true;
}

// A MID value in Windows-1252: the text of the table.
std::string tableText(MifReader& reader, const char* value) {
    bool plain = true;
    for (const char* p = value; *p; p++) plain &= (unsigned char)*p < 0x80;
    if (plain || reader.textSet == TextSet::Latin1) return value;
    if (reader.textSet == TextSet::Utf8 || (reader.textSet == TextSet::Neutral && isValidUtf8(value)))
        return utf8ToCp1252(value);
    if (reader.textSet == TextSet::Neutral) return value;
    // A byte the set does not know becomes '?'.
    std::string utf8;
    char buffer[256];
    char* in = const_cast<char*>(value);
    size_t inLeft = strlen(value);
    iconv(reader.converter, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(reader.converter, &in, &inLeft, &out, &outLeft);
        utf8.append(buffer, (size_t)(out - buffer));
        if (done == (size_t)-1 && errno != E2BIG) {
            utf8 += '?';
            in++;
            inLeft--;
        }
    }
    return utf8ToCp1252(utf8);
}

// The Charset clause: the set of the MID text. 1, or 0 after the message
// for a set that cannot be read.
int takeCharset(MifReader& reader, const char* raw) {
    const char* begin = strchr(raw, '"');
    const char* end = begin ? strchr(begin + 1, '"') : nullptr;
    std::string name = end ? std::string(begin + 1, end) : std::string();
    if (name.empty()) {
        const char* p = raw;
        while (isBlankOrTab(*p)) p++;
        p += 7;  // the keyword
        while (isBlankOrTab(*p)) p++;
        for (; *p && !isBlankOrTab(*p) && *p != '\r' && *p != '\n'; p++) name += *p;
    }
    if (strcasecmp(name.c_str(), "WindowsLatin1") == 0) {
        reader.textSet = TextSet::Latin1;
        return 1;
    }
    if (strcasecmp(name.c_str(), "UTF-8") == 0 || strcasecmp(name.c_str(), "UTF8") == 0) {
        reader.textSet = TextSet::Utf8;
        return 1;
    }
    if (strcasecmp(name.c_str(), "Neutral") == 0) {
        reader.textSet = TextSet::Neutral;
        return 1;
    }
    for (const auto& set : kCharsets)
        if (strcasecmp(name.c_str(), set[0]) == 0) {
            if (reader.converter != (iconv_t)-1) iconv_close(reader.converter);
            reader.converter = iconv_open("UTF-8", set[1]);
            if (reader.converter == (iconv_t)-1) break;
            reader.textSet = TextSet::Converted;
            return 1;
        }
    char message[320];
    snprintf(message, sizeof message, kMsgCharset, name.substr(0, 64).c_str());
    showError(message);
    return 0;
}

// Splits a trimmed MID row of length bytes (a NUL byte is part of the row,
// and ends the text of its value) and calls apply(columnNumber, value) for
// every field. Values are at most as long as the row. A quote that does not
// begin or end a value, a quoted value still open at the end of the row and
// text after a closing quote would shift the fields or glue them together:
// such a row is no row (RowMisplacedQuote, RowUnclosedQuote).
enum RowResult { RowSplit, RowUnclosedQuote, RowMisplacedQuote };
template <typename Apply>
RowResult splitRow(const char* row, size_t length, char delimiter, Apply apply) {
    std::string buffer(length + 1, '\0');
    char* const value = buffer.data();
    int field = 1;
    const char* p = row;
    const char* const end = row + length;
    for (;;) {
        size_t n = 0;
        bool quoted = false, closed = false;
        for (; p < end && !(!quoted && *p == delimiter); p++) {
            if (closed) {
                // Only blanks between the closing quote and the delimiter.
                if (!isBlankOrTab(*p)) return RowMisplacedQuote;
                continue;
            }
            if (*p == '"') {
                if (!quoted) {
                    for (size_t i = 0; i < n; i++)
                        if (!isBlankOrTab(value[i])) return RowMisplacedQuote;
                    quoted = true;  // the value begins after the quote
                    n = 0;
                } else if (p + 1 < end && p[1] == '"') {
                    value[n++] = '"';  // a doubled quote stands for one
                    p++;
                } else {
                    quoted = false;
                    closed = true;
                }
                continue;
            }
            value[n++] = *p;
        }
        if (quoted) return RowUnclosedQuote;
        value[n] = '\0';
        apply(field, value);
        if (p >= end) break;
        p++;  // the delimiter
        field++;
    }
    return RowSplit;
}

// The known column of a field number, or -1.
int columnOfField(const MifReader& reader, int field) {
    for (int c = 0; c < ColumnCount; c++)
        if (reader.columnOf[c] == field) return c;
    return -1;
}

void applyPointField(MifReader& reader, PointRecord& r, int field, char* value) {
    switch (columnOfField(reader, field)) {
    case ColNumKey: {
        int v = decimalValue(value);
        r.NumberOfRouteOrTrack = v / 100;
        r.NumberOfPoint = v - 100 * (v / 100);
        if (startsWithDigit(value)) *reader.hasNumbers = true;
        break;
    }
    case ColNumberOfRouteOrTrack:
        r.NumberOfRouteOrTrack = decimalValue(value);
        if (startsWithDigit(value)) *reader.hasNumbers = true;
        break;
    case ColNumberOfPoint: r.NumberOfPoint = decimalValue(value); break;
    case ColName:
    case ColNameOfPoint: {
        std::string copy(value);
        char* text = copy.data();
        keepFileText(text);
        copyName(r.NameOfPoint, text);
        break;
    }
    case ColNameOfRouteOrTrack: {
        std::string copy(value);
        char* text = copy.data();
        keepFileText(text);
        copyName(r.NameOfRouteOrTrack, text);
        if (hasSignificantChar(r.NameOfRouteOrTrack)) *reader.hasNames = true;
        break;
    }
    case ColTime: counted(timeFromText(value, r.Time)); break;
    case ColAltitude: counted(altitudeFromText(value, true, r.Altitude)); break;
    case ColComment: {
        std::string copy(value);
        char* text = copy.data();
        keepFileText(text);
        copyName(r.Comment, text);
        break;
    }
    case ColNewSegment: r.NewSegment = *skipBlanks(value) == '1' ? 1 : 0; break;
    case ColSymbol:
        if (counted(symbolFromText(value, r.Symbol)) == FieldText::Taken) r.HasSymbol = 1;
        break;
    case ColDisplay1:
        if (counted(displayFromText(value, r.Display1)) == FieldText::Taken) reader.displaysTaken++;
        break;
    case ColDisplay2:
        if (counted(displayFromText(value, r.Display2)) == FieldText::Taken) reader.displaysTaken++;
        break;
    }
}

void applyLineField(MifReader& reader, int field, char* value) {
    switch (columnOfField(reader, field)) {
    case ColNumKey:
    case ColNumberOfRouteOrTrack:
        if (*skipBlanks(value) == '\0') {
            reader.objectNumber = -1;
        } else {
            reader.objectNumber = decimalValue(value);
            if (startsWithDigit(value)) *reader.hasNumbers = true;
        }
        break;
    case ColName:
    case ColNameOfRouteOrTrack: {
        std::string copy(value);
        char* text = copy.data();
        keepFileText(text);
        copyName(reader.lineName, text);
        if (hasSignificantChar(reader.lineName)) *reader.hasNames = true;
        break;
    }
    case ColComment: {
        std::string copy(value);
        char* text = copy.data();
        keepFileText(text);
        copyName(reader.lineComment, text);
        break;
    }
    case ColDisplay1: {
        uint8_t display = 0;
        if (counted(displayFromText(value, display)) == FieldText::Taken) {
            reader.displayFlag = 1;
            reader.display1 = display;
        }
        break;
    }
    case ColDisplay2: {
        uint8_t display = 0;
        const FieldText got = counted(displayFromText(value, display));
        if (got == FieldText::Taken) reader.displaysTaken++;
        reader.display2 = display;  // 0 for a blank or refused value, as for an empty one
        break;
    }
    }
}

void presetNextSegment() {
    if (pointTable.count < kMaxPoints) pointTable.records[pointTable.count].NewSegment = 0;
}

// The row without its line end and without blanks and tabs at both ends,
// unless the delimiter is one of them: then an empty first or last field
// stays. Returns the new length.
size_t trimRow(char* row, size_t length, char delimiter) {
    while (length > 0 && (row[length - 1] == '\r' || row[length - 1] == '\n')) length--;
    auto trimmed = [delimiter](char c) { return isBlankOrTab(c) && c != delimiter; };
    size_t begin = 0;
    while (begin < length && trimmed(row[begin])) begin++;
    while (length > begin && trimmed(row[length - 1])) length--;
    memmove(row, row + begin, length - begin);
    length -= begin;
    row[length] = '\0';
    return length;
}

// Reads the MID row of an object and applies its fields with apply: 1, or
// 0 after the message. A row of two characters or fewer gives no
// attributes; every row must quote its values whole.
template <typename Apply>
int readMidRow(MifReader& reader, Apply apply) {
    std::string line;
    const int got = readLine(reader.mid, line);
    if (got != 1) {
        if (got == kLineTooLong)
            showLineError(got, reader.midLine + 1, kMsgMidRead);
        else
            showError(kMsgMidRead);
        return 0;
    }
    reader.midLine++;
    char* const row = line.data();
    const size_t length = trimRow(row, line.size(), reader.delimiter);
    const bool applies = length > 2;
    const RowResult split = splitRow(row, length, reader.delimiter, [&](int field, char* value) {
        if (!applies) return;
        std::string text = tableText(reader, value);
        apply(field, text.data());
    });
    if (split == RowSplit) return 1;
    char message[160];
    snprintf(message, sizeof message, split == RowUnclosedQuote ? kMsgUnclosedQuote : kMsgMisplacedQuote,
             reader.midLine);
    showError(message);
    return 0;
}

int readPointObject(MifReader& reader, const char* line) {
    if (pointTable.count >= kMaxPoints) {
        showError(kCapacityMessage);
        return 0;
    }
    double longitude, latitude;
    if (reader.lineUnended || !parseCoordinates(line, longitude, latitude)) {
        showError(kMsgNoMif);
        return 0;
    }
    PointRecord& r = pointTable.records[pointTable.count];
    int newSegment = pointTable.count == 0 ? 1 : 0;
    memset(&r, 0, sizeof r);
    r.NewSegment = newSegment;
    r.Longitude = longitude;
    r.Latitude = latitude;
    r.Altitude = kNoAltitude;
    reader.displaysTaken = 0;
    if (!readMidRow(reader, [&](int field, char* value) { applyPointField(reader, r, field, value); })) return 0;
    // Display values without a symbol have no place in the record.
    if (!r.HasSymbol) pointTable.fieldsLeftEmpty += reader.displaysTaken;
    pointTable.count++;
    presetNextSegment();
    return 1;
}

// The start of a polyline object (PLINE or LINE): the initials dialog and
// the object's MID row, whose attributes every section of the object shares.
int startPolylineObject(MifReader& reader) {
    if (reader.transferKind != TransferKind::Tracks) askNameInitialsOnce(*reader.naming);
    reader.objectNumber = -1;
    reader.lineName[0] = '\0';
    reader.lineComment[0] = '\0';
    reader.displayFlag = 0;

    reader.displaysTaken = 0;
    if (!readMidRow(reader, [&](int field, char* value) { applyLineField(reader, field, value); })) return 0;
    // The second display value of a line without the first is not kept.
    if (!reader.displayFlag) pointTable.fieldsLeftEmpty += reader.displaysTaken;
    return 1;
}

// One section of the current polyline object, read as a polyline of its
// own: its vertices are numbered and named like those of a separate
// polyline with the same row. The later sections of an object continue the
// track (track upload) or are routes of their own.
void startSection(MifReader& reader, int vertices, bool laterSection) {
    reader.nameCounter = 0;
    if (reader.seenPolyline) advanceNameInitials(reader.naming->initials[0], reader.naming->initials[1]);
    reader.seenPolyline = true;
    reader.sectionStart = true;

    const bool continues = laterSection ? reader.transferKind != TransferKind::Waypoints
                                        : reader.objectNumber == reader.previousNumber &&
                                              strcmp(reader.lineName, reader.previousName) == 0 &&
                                              reader.transferKind != TransferKind::Waypoints;
    if (continues) {
        // A further segment of the previous track: numbering goes on.
        reader.lineNumber = reader.previousNumber;
    } else {
        reader.objectCount++;
        reader.lineNumber = reader.objectNumber == -1 ? reader.objectCount : reader.objectNumber;
        reader.pointInLine = 0;
    }
    reader.previousNumber = reader.lineNumber;
    strcpy(reader.previousName, reader.lineName);
    reader.pendingVertices = vertices;
    reader.afterPolyline = vertices == 0 && reader.pendingSections == 0;
}

int addVertex(MifReader& reader, double longitude, double latitude) {
    if (pointTable.count >= kMaxPoints) {
        showError(kCapacityMessage);
        return 0;
    }
    PointRecord& r = pointTable.records[pointTable.count];
    memset(&r, 0, sizeof r);
    r.NewSegment = reader.sectionStart ? 1 : 0;
    reader.sectionStart = false;
    r.Longitude = longitude;
    r.Latitude = latitude;
    r.NumberOfRouteOrTrack = reader.lineNumber;
    r.NumberOfPoint = ++reader.pointInLine;
    reader.nameCounter++;
    if (reader.transferKind != TransferKind::Tracks)
        copyName(r.NameOfPoint, makeAutomaticPointName(*reader.naming, reader.nameCounter).c_str());
    strcpy(r.NameOfRouteOrTrack, reader.lineName);
    strcpy(r.Comment, reader.lineComment);
    r.Altitude = kNoAltitude;
    r.HasSymbol = (uint8_t)reader.displayFlag;
    r.Display1 = (uint8_t)reader.display1;
    r.Display2 = (uint8_t)reader.display2;
    pointTable.count++;
    presetNextSegment();
    return 1;
}

// "PLINE n", "PLINE" with n on the next line, or "PLINE MULTIPLE k" with
// k sections, each led by its vertex count on a line of its own.
int readPolylineObject(MifReader& reader, const char* rest) {
    if (!startPolylineObject(reader)) return 0;
    const char* multiple;
    if (isKeywordLine(rest, "MULTIPLE", multiple)) {
        const int sections = countValue(multiple);
        reader.pendingSections = sections > 0 ? sections : 0;
        reader.sectionIsLater = false;
        return 1;
    }
    const int vertices = countValue(rest);
    if (vertices < 0) {
        // The count stands on the next line.
        reader.pendingSections = 1;
        reader.sectionIsLater = false;
        return 1;
    }
    startSection(reader, vertices, false);
    return 1;
}

// "LINE x1 y1 x2 y2": a polyline of two vertices.
int readLineObject(MifReader& reader, const char* rest) {
    double values[4];
    if (reader.lineUnended || !parseOnlyNumbers(rest, values, 4)) {
        showError(kMsgMissingVertices);
        return 0;
    }
    if (!startPolylineObject(reader)) return 0;
    startSection(reader, 0, false);
    return addVertex(reader, values[0], values[1]) && addVertex(reader, values[2], values[3]);
}

int showExtraVertices(const MifReader& reader) {
    char message[160];
    snprintf(message, sizeof message, kMsgExtraVertices, reader.mifLine);
    showError(message);
    return 0;
}

// The vertex count that leads the next section of the current object.
int readSectionCount(MifReader& reader, const char* line) {
    const int vertices = countLineValue(line);
    if (vertices < 0) {
        // A coordinate line after a section: its count was too small.
        double values[2];
        if (reader.sectionIsLater && parseOnlyNumbers(line, values, 2)) return showExtraVertices(reader);
        showError(kMsgMissingVertices);
        return 0;
    }
    reader.pendingSections--;
    startSection(reader, vertices, reader.sectionIsLater);
    reader.sectionIsLater = true;
    return 1;
}

int readVertex(MifReader& reader, const char* line) {
    double longitude, latitude;
    if (reader.lineUnended || !parseCoordinates(line, longitude, latitude)) {
        showError(kMsgMissingVertices);
        return 0;
    }
    reader.pendingVertices--;
    reader.afterPolyline = reader.pendingVertices == 0 && reader.pendingSections == 0;
    return addVertex(reader, longitude, latitude);
}

// Treats one MIF line (converted to upper case; raw is the line as the file
// has it). 1 to go on, 0 after a message.
int readMifLine(MifReader& reader, char* line, const char* raw, bool firstLine) {
    if (firstLine && !startsWith(line, "VERSIO")) {
        showError(kMsgNoMif);
        return 0;
    }
    if (startsWith(line, "COLUMNS ")) {
        reader.inColumns = true;
        return 1;
    }
    if (!reader.inColumns && startsWith(line, "CHARSET")) return takeCharset(reader, raw);
    if (startsWith(line, "DELIMITER")) {
        const char* quote = strchr(raw, '"');
        if (quote && quote[1] && quote[1] != '\r' && quote[1] != '\n') reader.delimiter = quote[1];
        return 1;
    }
    if (reader.inColumns && startsWith(line, "DATA")) {
        reader.inColumns = false;
        return 1;
    }
    if (reader.inColumns) {
        int number = reader.nextColumn;
        if (reader.nextColumn < INT_MAX) reader.nextColumn++;
        const char* name = skipBlanks(line);
        const char* rest;
        for (int c = 0; c < ColumnCount; c++)
            if (isKeywordLine(name, kColumnNames[c], rest) && isBlankOrTab(*rest)) reader.columnOf[c] = number;
        return 1;
    }
    if (reader.skipVertices > 0) {
        reader.skipVertices--;
        if (isNumbersLine(line)) return 1;
        showError(kMsgMissingVertices);
        return 0;
    }
    if (reader.skipPolygons > 0) {
        reader.skipPolygons--;
        reader.skipVertices = countLineValue(line);
        if (reader.skipVertices >= 0) return 1;
        showError(kMsgMissingVertices);
        return 0;
    }
    if (reader.pendingVertices > 0) return readVertex(reader, line);
    if (reader.pendingSections > 0) return readSectionCount(reader, line);
    if (reader.afterPolyline) {
        if (isNumbersLine(line)) return showExtraVertices(reader);
        if (!isBlankLine(line)) reader.afterPolyline = false;
    }
    if (startsWith(line, "COORDSYS")) {
        if (!isLatLongWgs84(line + 8)) {
            showError(kMsgCoordSys);
            return 0;
        }
        return 1;
    }
    const char* rest;
    if (isKeywordLine(line, "COLLECTION", rest)) {
        reader.collectionParts = countValue(rest);
        return 1;
    }
    // A collection's parts: Region, Pline and Multipoint.
    const bool inCollection = reader.collectionParts > 0;
    if (inCollection && (isKeywordLine(line, "PLINE", rest) || isKeywordLine(line, "MULTIPOINT", rest)))
        reader.collectionParts--;
    if (inCollection && isKeywordLine(line, "REGION", rest)) {
        reader.collectionParts--;
        reader.regionsLeftOut++;
        reader.skipPolygons = countValue(rest) > 0 ? countValue(rest) : 0;
        return 1;
    }
    if (isKeywordLine(line, "POINT", rest)) {
        return readPointObject(reader, rest);
    }
    if (isKeywordLine(line, "PLINE", rest)) {
        return readPolylineObject(reader, rest);
    }
    if (isKeywordLine(line, "LINE", rest)) {
        return readLineObject(reader, rest);
    }
    return 1;
}

int readPair(MifReader& reader) {
    std::string line, raw;
    bool firstLine = true;
    for (;;) {
        int got = readLine(reader.mif, line);
        if (got == 0) break;
        reader.mifLine++;
        if (got < 0) {
            showLineError(got, reader.mifLine, kMsgNoMif);
            return 0;
        }
        if (firstLine) skipByteOrderMark(line);
        const size_t length = strlen(line.c_str());
        reader.lineUnended = length == 0 || (line[length - 1] != '\n' && line[length - 1] != '\r');
        raw = line;
        toUpperAscii(line.data());
        if (!readMifLine(reader, line.data(), raw.c_str(), firstLine)) return 0;
        firstLine = false;
    }
    if (firstLine) {
        // An empty file is no MIF file.
        showError(kMsgNoMif);
        return 0;
    }
    std::string row;
    int got = readLine(reader.mid, row);
    if (got < 0 || (got > 0 && strlen(row.c_str()) > 3)) {
        showError(kMsgWrongType);
        return 0;
    }
    if (reader.pendingVertices > 0 || reader.pendingSections > 0) {
        showError(kMsgMissingVertices);
        return 0;
    }
    if (pointTable.count == 0) {
        // A header without objects holds nothing to send.
        showError(kMsgNoMif);
        return 0;
    }
    return 1;
}

}  // namespace

std::string midFileName(const std::string& mifName) {
    std::string mid = mifName;
    if (!mid.empty()) mid.back() = (mid.back() >= 'A' && mid.back() <= 'Z') ? 'D' : 'd';
    return mid;
}

namespace {

// The MID file beside the MIF file: the name midFileName gives, else the
// same name with its extension in any other case ("T.MIF" beside "t.mid").
// "" when there is none to read.
std::string midNameBeside(const std::string& mifName) {
    std::string name = midFileName(mifName);
    if (access(name.c_str(), R_OK) == 0) return name;
    const size_t dot = name.rfind('.');
    const size_t slash = name.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    const size_t length = name.size() - dot - 1;
    if (length == 0 || length > 8) return {};
    for (unsigned variant = 0; variant < (1u << length); variant++) {
        for (size_t i = 0; i < length; i++) {
            char& c = name[dot + 1 + i];
            const char lower = (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
            c = (variant >> i) & 1 ? (char)(lower >= 'a' && lower <= 'z' ? lower - 'a' + 'A' : lower) : lower;
        }
        if (access(name.c_str(), R_OK) == 0) return name;
    }
    return {};
}

}  // namespace

int writeMifFile(const char* mifName, int objectKind) {
    if (!mifName || !*mifName) return 0;
    AtomicFile mif, mid;
    if (!atomicOpen(mif, mifName)) return 0;
    if (!atomicOpen(mid, midFileName(mifName).c_str())) {
        atomicAbort(mif);
        return 0;
    }
    static const char header[] =
        "Version 300\r\n"
        "Charset \"WindowsLatin1\"\r\n"
        "Delimiter \",\"\r\n"
        "CoordSys Earth Projection 1, 104\r\n"
        "Columns 11\r\n"
        "  NumberOfRouteOrTrack Smallint\r\n";
    atomicPuts(mif, header);
    char line[640];
    snprintf(line, sizeof line, "  NameOfRouteOrTrack Char(%d)\r\n", kNameSize - 1);
    atomicPuts(mif, line);
    atomicPuts(mif, "  NumberOfPoint Smallint\r\n");
    snprintf(line, sizeof line, "  NameOfPoint Char(%d)\r\n", kNameSize - 1);
    atomicPuts(mif, line);
    atomicPuts(mif, "  Time Char(19)\r\n  Altitude Char(10)\r\n");
    snprintf(line, sizeof line, "  Comment Char(%d)\r\n", kNameSize - 1);
    atomicPuts(mif, line);
    atomicPuts(mif,
               "  NewSegment Char(1)\r\n  Symbol Char(5)\r\n  Display1 Char(3)\r\n  Display2 Char(3)\r\n"
               "Data\r\n\r\n");

    bool lineOpen = false;
    forEachWrittenRecord(objectKind, [&](const PointRecord& r, bool startsObject) {
        if (objectKind != LineObjects) {
            formatPosition(line, "Point ", r);
            atomicPuts(mif, line);
            atomicPuts(mif, "    Symbol (33,15790080,14)\r\n");
            formatPointRow(line, r, startsObject);
            atomicPuts(mid, line);
        } else {
            if (startsObject) {
                if (lineOpen) atomicPuts(mif, kPenLine);
                snprintf(line, sizeof line, "Pline %d\r\n", r.LinePointCount);
                atomicPuts(mif, line);
                lineOpen = true;
                formatLineRow(line, r);
                atomicPuts(mid, line);
            }
            formatPosition(line, "", r);
            atomicPuts(mif, line);
        }
        return !mif.failed && !mid.failed;
    });
    if (lineOpen) atomicPuts(mif, kPenLine);
    AtomicFile* both[] = {&mif, &mid};
    return atomicCommitAll(both, 2);
}

int readMifFile(const char* mifName, TransferKind transferKind, bool& fileHasRouteOrTrackNumbers,
                bool& fileHasRouteOrTrackNames, NamingState* naming) {
    MifReader reader;
    NamingState ownNaming;
    reader.naming = naming ? naming : &ownNaming;
    reader.transferKind = transferKind;
    reader.hasNumbers = &fileHasRouteOrTrackNumbers;
    reader.hasNames = &fileHasRouteOrTrackNames;
    reader.mif = openInputFile(mifName, kMsgOpenMif);
    if (!reader.mif) return 0;
    const std::string midName = midNameBeside(mifName);
    reader.mid = openInputFile(midName.empty() ? nullptr : midName.c_str(), kMsgOpenMid);
    if (!reader.mid) {
        fclose(reader.mif);
        return 0;
    }
    pointTable.reset();
    pointTable.records[0].NewSegment = 1;
    int ok = readPair(reader);
    if (reader.converter != (iconv_t)-1) iconv_close(reader.converter);
    fclose(reader.mif);
    fclose(reader.mid);
    if (ok && reader.regionsLeftOut > 0) {
        char message[256];
        snprintf(message, sizeof message, reader.regionsLeftOut == 1 ? kMsgRegionLeftOut : kMsgRegionsLeftOut,
                 reader.regionsLeftOut);
        showWarning(message);
    }
    return ok && leaveOutInvalidPositions();
}
