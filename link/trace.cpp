// The link trace file: one line per event, flushed at once so that the
// trace survives a crash or a pulled plug.

#include "link/trace.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace {

FILE* traceFile = nullptr;

void stamp(const char* link) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm parts;
    localtime_r(&now.tv_sec, &parts);
    char text[40];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    fprintf(traceFile, "%s.%03ld %s ", text, now.tv_nsec / 1000000L, link);
}

void hexBytes(const uint8_t* bytes, int count) {
    fputs(" |", traceFile);
    for (int i = 0; i < count; i++) fprintf(traceFile, " %02x", bytes[i]);
    fputc('\n', traceFile);
    fflush(traceFile);
}

std::string comName(int portNumber) { return "COM" + std::to_string(portNumber); }

}  // namespace

int setLinkTrace(const char* path) {
    if (traceFile) {
        fclose(traceFile);
        traceFile = nullptr;
    }
    if (!path || !*path) return 1;
    traceFile = fopen(path, "w");
    if (!traceFile) return 0;
    stamp("trace");
    fputs("started\n", traceFile);
    fflush(traceFile);
    return 1;
}

bool linkTraceActive() { return traceFile != nullptr; }

void traceLinkOpen(const char* link, const char* detail) {
    if (!traceFile) return;
    stamp(link);
    fprintf(traceFile, "open %s\n", detail);
    fflush(traceFile);
}

void traceLinkClose(const char* link) {
    if (!traceFile) return;
    stamp(link);
    fputs("close\n", traceFile);
    fflush(traceFile);
}

void traceLinkEvent(const char* link, const char* text) {
    if (!traceFile) return;
    stamp(link);
    fprintf(traceFile, "%s\n", text);
    fflush(traceFile);
}

void traceSerialPacket(int portNumber, char direction, uint8_t id, uint8_t size, const uint8_t* data,
                       const char* note) {
    if (!traceFile) return;
    stamp(comName(portNumber).c_str());
    fprintf(traceFile, "%c id %u size %u", direction, (unsigned)id, (unsigned)size);
    if (note && *note) fprintf(traceFile, " (%s)", note);
    hexBytes(data, size);
}

void traceSerialBytes(int portNumber, const uint8_t* bytes, int count, const char* note) {
    if (!traceFile) return;
    stamp(comName(portNumber).c_str());
    fprintf(traceFile, "< frame not accepted (%s), %d bytes", note, count);
    hexBytes(bytes, count);
}

void traceUsbPacket(char direction, const uint8_t* bytes, int length, const char* note) {
    if (!traceFile) return;
    stamp("USB");
    if (length >= 12) {
        unsigned id = bytes[4] | (bytes[5] << 8);
        unsigned long size = (unsigned long)bytes[8] | ((unsigned long)bytes[9] << 8) |
                             ((unsigned long)bytes[10] << 16) | ((unsigned long)bytes[11] << 24);
        fprintf(traceFile, "%c type %u id %u size %lu", direction, (unsigned)bytes[0], id, size);
    } else {
        fprintf(traceFile, "%c %d bytes", direction, length);
    }
    if (note && *note) fprintf(traceFile, " (%s)", note);
    hexBytes(bytes, length);
}
