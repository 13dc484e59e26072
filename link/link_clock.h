#pragma once
// The packet layer's clock and serial byte I/O. The default entries use
// CLOCK_MONOTONIC and the open serial port; tests install their own table to
// run the time-outs on a fake clock.

#include <cstdint>

struct LinkIo {
    // Milliseconds of a steady clock.
    uint32_t (*nowMs)();
    // One byte from the serial line: 1 when *byte was filled, 0 when none
    // came within the transport's read time-out (3000 ms) or the read failed.
    int (*serialReadByte)(uint8_t* byte);
    // One byte to the serial line: the number of bytes written (1), or 0 / -1.
    int (*serialWriteByte)(uint8_t byte);
};

// nullptr restores the real clock and the real serial port.
void installLinkIo(const LinkIo* io);
const LinkIo& linkIo();

// The real entries, for tables that replace only some of them.
uint32_t monotonicMs();
int serialReadByteFromPort(uint8_t* byte);
int serialWriteByteToPort(uint8_t byte);
