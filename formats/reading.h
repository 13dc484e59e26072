#pragma once
// Line and number reading shared by the text file readers.

#include <cstdio>

// The longest line the readers take, and the buffer that holds it with its
// CR, LF and NUL.
constexpr int kMaxLineLength = 299;
constexpr int kLineBufferSize = kMaxLineLength + 3;

// Reads one line with its line end (CR LF, LF or CR) into buffer
// (kLineBufferSize bytes). A line is every byte up to its line end, NUL
// bytes included; the text functions see it up to its first NUL.
// 1: a line; 0: end of file; -1: a line longer than kMaxLineLength (it is
// consumed entirely). length, when given, receives the number of bytes in
// the buffer, line end included.
int readLine(FILE* file, char* buffer, size_t* length = nullptr);

// Removes a UTF-8 byte-order mark at the start of a file's first line.
void skipByteOrderMark(char* line);

// a-z to A-Z, nothing else.
void toUpperAscii(char* text);
bool startsWith(const char* text, const char* prefix);

// The usual integer conversion (white space, sign, digits, 0 without
// digits), held within the range of int instead of overflowing.
int decimalValue(const char* text);
