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

bool keepTexts = false;

void filterWith(char* text, bool keepColon) {
    if (!text) return;
    if (keepTexts) {
        size_t end = 0;
        for (size_t i = 0; text[i]; ++i) {
            if (static_cast<unsigned char>(text[i]) < 0x20 || text[i] == 0x7F) text[i] = '?';
            if (text[i] != ' ') end = i + 1;
        }
        text[end] = '\0';
        return;
    }
    char* out = text;
    for (const char* in = text; *in; ++in) {
        char c = *in;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '-' || c == '_' || c == '+' ||
            (keepColon && c == ':')) {
            *out++ = c;
        }
    }
    *out = '\0';
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
void filterIdent(char* text) { filterWith(text, false); }
void filterComment(char* text) { filterWith(text, true); }
void setKeepFileTexts(bool keep) { keepTexts = keep; }
bool keepFileTexts() { return keepTexts; }

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
