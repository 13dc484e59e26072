#include "tests/link/link_fakes.h"

namespace {

ScriptedUsb* usb = nullptr;

int usbOpen(void*) { return usb->openOk; }
void usbCloseFn(void*) { usb->closeCalls++; }
uint32_t usbSize(void*) { return usb->packetSize; }

int take(std::deque<std::vector<uint8_t>>& q, uint8_t* buffer, int capacity) {
    if (q.empty()) return -1;
    std::vector<uint8_t> c = q.front();
    q.pop_front();
    if (c.size() == 1 && c[0] == 0xEE) return -1;  // scripted failure
    if (c.size() == 1 && c[0] == 0xDD) return kUsbDeviceGone;
    int n = (int)c.size() < capacity ? (int)c.size() : capacity;
    for (int i = 0; i < n; i++) buffer[i] = c[i];
    return n;
}

int usbInterrupt(void*, uint8_t* buffer, int capacity, unsigned) {
    usb->interruptCalls++;
    if (usb->clockMs) *usb->clockMs += usb->readAdvanceMs;
    return take(usb->interrupt, buffer, capacity);
}

int usbBulk(void*, uint8_t* buffer, int capacity, unsigned) {
    usb->bulkCalls++;
    return take(usb->bulk, buffer, capacity);
}

int usbWrite(void*, const uint8_t* buffer, int length) {
    int call = (int)usb->writes.size();
    usb->writes.emplace_back(buffer, buffer + length);
    if (usb->failWritesFrom >= 0 && call >= usb->failWritesFrom) return -1;
    return length;
}

}  // namespace

ScriptedUsb::ScriptedUsb() {
    usb = this;
    table = UsbDriver{usbOpen, usbCloseFn, usbSize, usbInterrupt, usbBulk, usbWrite, nullptr, nullptr};
    installUsbDriver(&table);
}

ScriptedUsb::~ScriptedUsb() {
    closeLink();
    installUsbDriver(nullptr);
    usb = nullptr;
}

std::vector<uint8_t> ScriptedUsb::packet(uint8_t type, uint16_t id, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out(12 + data.size(), 0);
    out[0] = type;
    out[4] = (uint8_t)id;
    out[5] = (uint8_t)(id >> 8);
    uint32_t n = (uint32_t)data.size();
    for (int i = 0; i < 4; i++) out[8 + i] = (uint8_t)(n >> (8 * i));
    for (size_t i = 0; i < data.size(); i++) out[12 + i] = data[i];
    return out;
}

void ScriptedUsb::queueInterruptPacket(const std::vector<uint8_t>& bytes) {
    size_t at = 0;
    for (;;) {
        size_t n = bytes.size() - at < 64 ? bytes.size() - at : 64;
        interrupt.emplace_back(bytes.begin() + (long)at, bytes.begin() + (long)(at + n));
        at += n;
        if (n < 64) break;
    }
}
