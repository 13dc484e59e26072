#pragma once
// Opening of input files and the line and number reading shared by the
// text file readers.

#include <cstdio>
#include <string>

// The longest line the text readers take, line end not counted: 1 MB.
constexpr size_t kMaxLineLength = 1 << 20;
// The largest file a reader takes: 256 MB.
constexpr long long kMaxInputFileSize = 256LL << 20;

// Opens a file for reading, only when it is a regular file of at most
// kMaxInputFileSize bytes: a device, FIFO or socket is refused before a byte
// is read (it is opened without waiting for a writer), and so is a larger
// file. Reads beyond kMaxInputFileSize fail, for a file that grows while it
// is read. nullptr after the message: openError when the file cannot be
// opened, a message of its own for the other cases.
FILE* openInputFile(const char* name, const char* openError);
// The same bounded stream on a descriptor opened elsewhere (a file of a
// drive), without messages: nullptr, the descriptor closed, when it is no
// regular file of at most the size bound.
FILE* boundedInputStream(int fd);

// Reads one line with its line end (CR LF, LF or CR) into line. A line is
// every byte up to its line end, NUL bytes included; the text functions see
// it up to its first NUL. 1: a line; 0: end of file; kLineTooLong: a line
// longer than kMaxLineLength (reading stops in it); kLineReadError: the file
// could not be read.
constexpr int kLineTooLong = -1;
constexpr int kLineReadError = -2;
int readLine(FILE* file, std::string& line);

// The message for a readLine result below 0 at line lineNumber: the line
// bound for a line too long, readError for a failed read.
void showLineError(int result, int lineNumber, const char* readError);

// Removes a UTF-8 byte-order mark at the start of a file's first line.
void skipByteOrderMark(std::string& line);

// a-z to A-Z, nothing else.
void toUpperAscii(char* text);
bool startsWith(const char* text, const char* prefix);

// The usual integer conversion (white space, sign, digits, 0 without
// digits), held within the range of int instead of overflowing.
int decimalValue(const char* text);
