#include "formats/reading.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

namespace {

const char kMsgNotRegular[] =
    "Die Eingabedatei ist keine gewöhnliche Datei (sondern ein Gerät, \neine FIFO oder ein Socket) und wird nicht "
    "gelesen.";
const char kMsgTooLarge[] = "Die Eingabedatei ist größer als 256 MB und wird nicht gelesen.";
const char kMsgLineTooLong[] = "Die Eingabedatei enthält eine Zeile von mehr als 1 MB \nund wird nicht gelesen (Zeile %d).";

// The stream of an input file: reads stop with an error at
// kMaxInputFileSize bytes from the start.
struct BoundedInput {
    int fd;
    long long position;
};

ssize_t boundedRead(void* cookie, char* buffer, size_t size) {
    BoundedInput& input = *static_cast<BoundedInput*>(cookie);
    if (input.position >= kMaxInputFileSize) {
        errno = EFBIG;
        return -1;
    }
    const long long room = kMaxInputFileSize - input.position;
    if ((long long)size > room) size = (size_t)room;
    ssize_t got;
    do got = read(input.fd, buffer, size);
    while (got < 0 && errno == EINTR);
    if (got > 0) input.position += got;
    return got;
}

int boundedSeek(void* cookie, off64_t* offset, int whence) {
    BoundedInput& input = *static_cast<BoundedInput*>(cookie);
    const off64_t at = lseek64(input.fd, *offset, whence);
    if (at < 0) return -1;
    *offset = at;
    input.position = at;
    return 0;
}

int boundedClose(void* cookie) {
    BoundedInput* input = static_cast<BoundedInput*>(cookie);
    const int result = close(input->fd);
    delete input;
    return result;
}

}  // namespace

FILE* openInputFile(const char* name, const char* openError) {
    // Without waiting: opening a FIFO for reading would wait for a writer.
    const int fd = name ? open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY) : -1;
    if (fd < 0) {
        showError(openError);
        return nullptr;
    }
    struct stat status;
    if (fstat(fd, &status) != 0) {
        close(fd);
        showError(openError);
        return nullptr;
    }
    if (!S_ISREG(status.st_mode)) {
        close(fd);
        showError(kMsgNotRegular);
        return nullptr;
    }
    if (status.st_size > kMaxInputFileSize) {
        close(fd);
        showError(kMsgTooLarge);
        return nullptr;
    }
    // A regular file does not wait in read; a file that is no plain file
    // after all (one of /proc) reports the wait as a read error.
    static const cookie_io_functions_t kFunctions = {boundedRead, nullptr, boundedSeek, boundedClose};
    BoundedInput* input = new BoundedInput{fd, 0};
    FILE* file = fopencookie(input, "rb", kFunctions);
    if (!file) {
        boundedClose(input);
        showError(openError);
    }
    return file;
}

FILE* boundedInputStream(int fd) {
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > kMaxInputFileSize) {
        close(fd);
        return nullptr;
    }
    static const cookie_io_functions_t kFunctions = {boundedRead, nullptr, boundedSeek, boundedClose};
    BoundedInput* input = new BoundedInput{fd, 0};
    FILE* file = fopencookie(input, "rb", kFunctions);
    if (!file) boundedClose(input);
    return file;
}

int readLine(FILE* file, std::string& line) {
    line.clear();
    int c = getc_unlocked(file);
    if (c == EOF) return ferror(file) ? kLineReadError : 0;
    // Every byte up to the line end belongs to the line, a NUL included.
    for (; c != EOF && c != '\n' && c != '\r'; c = getc_unlocked(file)) {
        if (line.size() >= kMaxLineLength) return kLineTooLong;
        line += (char)c;
    }
    if (c == '\r') {
        line += '\r';
        c = getc_unlocked(file);
        if (c == '\n')
            line += '\n';
        else if (c != EOF)
            ungetc(c, file);
    } else if (c == '\n') {
        line += '\n';
    }
    return ferror(file) ? kLineReadError : 1;
}

void showLineError(int result, int lineNumber, const char* readError) {
    if (result != kLineTooLong) {
        showError(readError);
        return;
    }
    char message[160];
    snprintf(message, sizeof message, kMsgLineTooLong, lineNumber);
    showError(message);
}

void skipByteOrderMark(std::string& line) {
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
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
