// The packet layer's clock and serial byte I/O seam.

#include "link/link_clock.h"

#include <ctime>

namespace {

const LinkIo realIo = {monotonicMs, serialReadByteFromPort, serialWriteByteToPort};
const LinkIo* installedIo = &realIo;

}  // namespace

uint32_t monotonicMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)((uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u);
}

void installLinkIo(const LinkIo* io) { installedIo = io ? io : &realIo; }

const LinkIo& linkIo() { return *installedIo; }
