// The receiver's USB access layer on libusb-1.0: Garmin vendor 0x091e,
// product 0x0003, interface 0 with an interrupt-in, a bulk-in and a
// bulk-out endpoint. Every transfer is bounded so that a receiver that is
// pulled out or stops answering ends in a failed read, not a hang.

#include <libusb-1.0/libusb.h>

#include "link/usb.h"

namespace {

constexpr uint16_t kGarminVendor = 0x091e;
constexpr uint16_t kGarminProduct = 0x0003;
constexpr unsigned kWriteTimeoutMs = 5000;

struct LibusbState {
    libusb_context* context = nullptr;
    libusb_device_handle* handle = nullptr;
    bool detached = false;
    bool claimed = false;
    uint8_t interruptIn = 0;
    uint8_t bulkIn = 0;
    uint8_t bulkOut = 0;
    uint32_t packetSize = 0;
};

LibusbState state;

void closeDevice(void*) {
    if (state.handle) {
        if (state.claimed) libusb_release_interface(state.handle, 0);
        if (state.detached) libusb_attach_kernel_driver(state.handle, 0);
        libusb_close(state.handle);
    }
    if (state.context) libusb_exit(state.context);
    state = LibusbState();
}

int findEndpoints(libusb_device* device) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0 || !config) return 0;
    int found = 0;
    if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
        const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
        for (int i = 0; i < alt.bNumEndpoints; i++) {
            const libusb_endpoint_descriptor& ep = alt.endpoint[i];
            int type = ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK;
            bool in = (ep.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN;
            if (type == LIBUSB_TRANSFER_TYPE_INTERRUPT && in) {
                state.interruptIn = ep.bEndpointAddress;
            } else if (type == LIBUSB_TRANSFER_TYPE_BULK && in) {
                state.bulkIn = ep.bEndpointAddress;
            } else if (type == LIBUSB_TRANSFER_TYPE_BULK && !in) {
                state.bulkOut = ep.bEndpointAddress;
                state.packetSize = ep.wMaxPacketSize;
            }
        }
        found = state.interruptIn && state.bulkIn && state.bulkOut;
    }
    libusb_free_config_descriptor(config);
    return found;
}

int openDevice(void* context) {
    closeDevice(context);
    if (libusb_init(&state.context) != 0) {
        state.context = nullptr;
        return 0;
    }
    state.handle = libusb_open_device_with_vid_pid(state.context, kGarminVendor, kGarminProduct);
    if (!state.handle) {
        closeDevice(context);
        return 0;
    }
    if (libusb_kernel_driver_active(state.handle, 0) == 1) {
        // The kernel's garmin_gps serial driver holds the interface.
        if (libusb_detach_kernel_driver(state.handle, 0) != 0) {
            closeDevice(context);
            return 0;
        }
        state.detached = true;
    }
    if (libusb_claim_interface(state.handle, 0) != 0) {
        closeDevice(context);
        return 0;
    }
    state.claimed = true;
    if (!findEndpoints(libusb_get_device(state.handle)) || state.packetSize == 0) {
        closeDevice(context);
        return 0;
    }
    return 1;
}

uint32_t packetSize(void*) { return state.packetSize; }

}  // namespace

// A read that timed out after some bytes came keeps them (a packet that
// filled whole USB packets and was not followed by a zero-length one).
int libusbTransferResult(int result, int got) {
    if (result == 0) return got;
    if (result == LIBUSB_ERROR_TIMEOUT && got > 0) return got;
    if (result == LIBUSB_ERROR_NO_DEVICE) return kUsbDeviceGone;
    return -1;
}

namespace {

// libusb's 0 means "no time-out": the wait is at least 1 ms.
unsigned bounded(unsigned timeoutMs) { return timeoutMs == 0 ? 1 : timeoutMs; }

int interruptRead(void*, uint8_t* buffer, int capacity, unsigned timeoutMs) {
    if (!state.handle) return -1;
    int got = 0;
    int r = libusb_interrupt_transfer(state.handle, state.interruptIn, buffer, capacity, &got, bounded(timeoutMs));
    return libusbTransferResult(r, got);
}

// No pause before the read: the bounded transfer waits for the data itself.
int bulkRead(void*, uint8_t* buffer, int capacity, unsigned timeoutMs) {
    if (!state.handle) return -1;
    int got = 0;
    int r = libusb_bulk_transfer(state.handle, state.bulkIn, buffer, capacity, &got, bounded(timeoutMs));
    return libusbTransferResult(r, got);
}

int bulkWrite(void*, const uint8_t* buffer, int length) {
    if (!state.handle) return -1;
    int sent = 0;
    uint8_t empty = 0;
    unsigned char* data = length > 0 ? const_cast<uint8_t*>(buffer) : &empty;
    int r = libusb_bulk_transfer(state.handle, state.bulkOut, data, length, &sent, kWriteTimeoutMs);
    if (r == LIBUSB_ERROR_NO_DEVICE) return kUsbDeviceGone;
    if (r != 0) return -1;
    return sent;
}

const UsbDriver libusbTable = {openDevice, closeDevice, packetSize, interruptRead,
                               bulkRead,   bulkWrite,   nullptr,    nullptr};

}  // namespace

const UsbDriver& libusbDriver() { return libusbTable; }

int otherGarminUsbDevices() {
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0) return 0;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    int found = 0;
    for (ssize_t i = 0; i < count; i++) {
        libusb_device_descriptor descriptor;
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0) continue;
        if (descriptor.idVendor == kGarminVendor && descriptor.idProduct != kGarminProduct) found++;
    }
    if (count >= 0) libusb_free_device_list(list, 1);
    libusb_exit(context);
    return found;
}
