#include "formats/reading.h"

#include <climits>
#include <cstring>

int readLine(FILE* file, char* buffer, size_t* lineLength) {
    if (lineLength) *lineLength = 0;
    int c = getc_unlocked(file);
    if (c == EOF) return 0;
    size_t length = 0;
    bool tooLong = false;
    // Every byte up to the line end belongs to the line, a NUL included.
    for (; c != EOF && c != '\n' && c != '\r'; c = getc_unlocked(file)) {
        if (length < (size_t)kMaxLineLength)
            buffer[length++] = (char)c;
        else
            tooLong = true;
    }
    if (c == '\r') {
        buffer[length++] = '\r';
        c = getc_unlocked(file);
        if (c == '\n')
            buffer[length++] = '\n';
        else if (c != EOF)
            ungetc(c, file);
    } else if (c == '\n') {
        buffer[length++] = '\n';
    }
    buffer[length] = '\0';
    if (lineLength) *lineLength = length;
    return tooLong ? -1 : 1;
}

void skipByteOrderMark(char* line) {
    if (startsWith(line, "\xEF\xBB\xBF")) memmove(line, line + 3, strlen(line + 3) + 1);
}

void toUpperAscii(char* text) {
    for (; *text; text++)
        if (*text >= 'a' && *text <= 'z') *text = (char)(*text - 'a' + 'A');
}

bool startsWith(const char* text, const char* prefix) { return strncmp(text, prefix, strlen(prefix)) == 0; }

int decimalValue(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) text++;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        value = value * 10 + (*text - '0');
        if (value > (long long)INT_MAX + 1) value = (long long)INT_MAX + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return (int)value;
}
