// Text helpers shared by the file readers, the binary OVL writer and the upload.

#include "model/helpers.h"

#include <cstring>

namespace {

inline bool isLineSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
inline bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

template <bool (*Strip)(char)>
void trimWith(char* text) {
    if (!text) return;
    size_t length = strlen(text);
    size_t start = 0;
    while (start < length && Strip(text[start])) ++start;
    size_t end = length;
    while (end > start && Strip(text[end - 1])) --end;
    if (start > 0) memmove(text, text + start, end - start);
    text[end - start] = '\0';
}

// The capitals a Windows-1252 letter beyond ASCII is spelled with, or
// nullptr for a character that is no such letter.
const char* spelling(unsigned char c) {
    switch (c) {
    case 0xC4: case 0xE4: case 0xC6: case 0xE6: return "AE";
    case 0xD6: case 0xF6: case 0x8C: case 0x9C: return "OE";
    case 0xDC: case 0xFC: return "UE";
    case 0xDF: return "SS";
    case 0xDE: case 0xFE: return "TH";
    case 0xC0: case 0xC1: case 0xC2: case 0xC3: case 0xC5:
    case 0xE0: case 0xE1: case 0xE2: case 0xE3: case 0xE5: return "A";
    case 0xC7: case 0xE7: return "C";
    case 0xD0: case 0xF0: return "D";
    case 0xC8: case 0xC9: case 0xCA: case 0xCB:
    case 0xE8: case 0xE9: case 0xEA: case 0xEB: return "E";
    case 0xCC: case 0xCD: case 0xCE: case 0xCF:
    case 0xEC: case 0xED: case 0xEE: case 0xEF: return "I";
    case 0xD1: case 0xF1: return "N";
    case 0xD2: case 0xD3: case 0xD4: case 0xD5: case 0xD8:
    case 0xF2: case 0xF3: case 0xF4: case 0xF5: case 0xF8: return "O";
    case 0x8A: case 0x9A: return "S";
    case 0xD9: case 0xDA: case 0xDB: case 0xF9: case 0xFA: case 0xFB: return "U";
    case 0xDD: case 0xFD: case 0xFF: case 0x9F: return "Y";
    case 0x8E: case 0x9E: return "Z";
    default: return nullptr;
    }
}

inline bool isAsciiAlnum(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}
inline bool isWordChar(unsigned char c) { return isAsciiAlnum(c) || spelling(c) != nullptr; }
// Marks that join two words: "Ocean/mer", "13.30", "A:B".
inline bool isJoiner(unsigned char c) {
    return c == '/' || c == '\\' || c == '|' || c == '.' || c == ',' || c == ';' || c == ':';
}

std::string filterWith(std::string_view text, bool keepColon) {
    std::string out;
    out.reserve(text.size() + 8);
    bool replaced = false;  // the last character of out stands for a dropped one
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 'a' && c <= 'z') {
            out += static_cast<char>(c - 'a' + 'A');
        } else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '+' ||
                   (keepColon && c == ':')) {
            out += static_cast<char>(c);
        } else if (const char* letters = spelling(c)) {
            out += letters;
        } else if (c == '&') {
            out += '+';
        } else if (c == ' ') {
            // A blank after one that stood for a dropped character is one gap.
            if (!(replaced && !out.empty() && out.back() == ' ')) out += ' ';
        } else {
            const bool joins = isJoiner(c) && i > 0 && i + 1 < text.size() &&
                               isWordChar(static_cast<unsigned char>(text[i - 1])) &&
                               isWordChar(static_cast<unsigned char>(text[i + 1]));
            if (joins) {
                out += '-';
            } else {
                if (!out.empty() && out.back() != ' ') out += ' ';
                replaced = true;
                continue;
            }
        }
        replaced = false;
    }
    if (replaced && !out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// Position of the first character that is not a blank, or -1 when the text
// ends or 1000 blanks have been skipped first.
int firstNonBlank(const char* text) {
    if (!text) return -1;
    for (int i = 0; i < 1000; ++i) {
        if (text[i] == '\0') return -1;
        if (text[i] != ' ') return i;
    }
    return -1;
}

}  // namespace

void trimLine(char* text) { trimWith<isLineSpace>(text); }
void trimBlanks(char* text) { trimWith<isBlankOrTab>(text); }
std::string filterIdent(std::string_view text) { return filterWith(text, false); }
std::string filterComment(std::string_view text) { return filterWith(text, true); }

void keepFileText(char* text) {
    if (!text) return;
    size_t end = 0;
    for (size_t i = 0; text[i]; ++i) {
        if (static_cast<unsigned char>(text[i]) < 0x20 || text[i] == 0x7F) text[i] = '?';
        if (text[i] != ' ') end = i + 1;
    }
    text[end] = '\0';
}

bool startsWithDigit(const char* text) {
    const int i = firstNonBlank(text);
    return i >= 0 && text[i] >= '0' && text[i] <= '9';
}

bool hasSignificantChar(const char* text) {
    const int i = firstNonBlank(text);
    if (i < 0) return false;
    const unsigned char c = static_cast<unsigned char>(text[i]);
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c >= 0x80;
}

void advanceNameInitials(char& first, char& second) {
    if (first == '9' && second == '9') {
        second = 'A';
    } else if (first == '9' && second == 'Z') {
        first = 'A';
        second = 'A';
    } else if (first == 'Z' && second == '9') {
        second = 'A';
    } else if (first == 'Z' && second == 'Z') {
        first = 'A';
        second = 'A';
    } else if (second == 'Z') {
        second = 'A';
        first = static_cast<char>(first + 1);
    } else if (second == '9') {
        second = '0';
        first = static_cast<char>(first + 1);
    } else {
        second = static_cast<char>(second + 1);
    }
}
