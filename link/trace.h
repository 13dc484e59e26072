#pragma once
// The link trace: when a trace file is named, every packet in both
// directions is written to it with a time stamp, the link, the packet id,
// its size and its bytes, together with the opening and closing of the
// link and the failures seen on it. Without a trace file nothing is
// written. One line per event, for example
//
//   2026-05-01 10:15:02.318 COM1 open /dev/ttyUSB0
//   2026-05-01 10:15:02.521 COM1 > id 254 size 0 |
//   2026-05-01 10:15:02.580 COM1 < id 255 size 31 | 9a 01 2c 01 65 54 72 ...
//   2026-05-01 10:15:04.100 USB < type 20 id 35 size 64 (bulk) | 01 00 ...

#include <cstdint>

// Starts writing the trace to path (the file is replaced); nullptr or an
// empty path ends the trace. 1 when the file could be opened (or the trace
// was ended), 0 otherwise.
int setLinkTrace(const char* path);
bool linkTraceActive();

void traceLinkOpen(const char* link, const char* detail);
void traceLinkClose(const char* link);
void traceLinkEvent(const char* link, const char* text);
// An application packet on the serial line ('>' sent, '<' received).
void traceSerialPacket(int portNumber, char direction, uint8_t id, uint8_t size, const uint8_t* data, const char* note);
// Bytes of a serial frame that was not accepted.
void traceSerialBytes(int portNumber, const uint8_t* bytes, int count, const char* note);
// A USB packet (header and data) as written or read.
void traceUsbPacket(char direction, const uint8_t* bytes, int length, const char* note);
