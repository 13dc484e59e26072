#include "formats/reading.h"

#include <climits>
#include <cstring>

int readLine(FILE* file, char* buffer)
{
    if (!fgets(buffer, kLineBufferSize, file))
        return 0;
    size_t length = strlen(buffer);
    if (length > 0 && buffer[length - 1] == '\n') {
        length--;
    } else if (length == (size_t)kLineBufferSize - 1) {
        // No line end within the buffer: the line is too long.
        int c;
        while ((c = getc(file)) != EOF && c != '\n') {
        }
        return -1;
    }
    if (length > 0 && buffer[length - 1] == '\r')
        length--;
    return length > (size_t)kMaxLineLength ? -1 : 1;
}

void toUpperAscii(char* text)
{
    for (; *text; text++)
        if (*text >= 'a' && *text <= 'z')
            *text = (char)(*text - 'a' + 'A');
}

bool startsWith(const char* text, const char* prefix)
{
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

int decimalValue(const char* text)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        text++;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        value = value * 10 + (*text - '0');
        if (value > (long long)INT_MAX + 1)
            value = (long long)INT_MAX + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        value = INT_MAX;
    return (int)value;
}
