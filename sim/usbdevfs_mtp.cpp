// The MTP unit at the usbdevfs level, on umockdev. Every URB the host
// submits is answered from the MtpResponder, one USB packet (at most 512
// bytes on the bulk pipes) at a time.

#include "sim/usbdevfs_mtp.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <list>
#include <mutex>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

namespace {

constexpr int kBulkPacket = 512;
constexpr uint8_t kBulkIn = 0x81;
constexpr uint8_t kBulkOut = 0x02;
constexpr uint8_t kInterruptIn = 0x83;

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char two[3];
    for (uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        out += two;
    }
    return out;
}

// Device, configuration, interface and three endpoint descriptors.
std::vector<uint8_t> descriptors(uint16_t productId) {
    return {
        0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x40,  // USB 2.0, class per interface
        0x1e, 0x09, (uint8_t)(productId & 0xff), (uint8_t)(productId >> 8),
        0x00, 0x01, 0x01, 0x02, 0x03, 0x01,  // strings 1..3, one configuration
        0x09, 0x02, 0x27, 0x00, 0x01, 0x01, 0x00, 0x80, 0x32,
        0x09, 0x04, 0x00, 0x00, 0x03, 0x06, 0x01, 0x01, 0x04,  // still image, PTP; string 4
        0x07, 0x05, kBulkIn, 0x02, 0x00, 0x02, 0x00,
        0x07, 0x05, kBulkOut, 0x02, 0x00, 0x02, 0x00,
        0x07, 0x05, kInterruptIn, 0x03, 0x1c, 0x00, 0x06,
    };
}

std::vector<uint8_t> stringDescriptor(const std::string& s) {
    std::vector<uint8_t> d = {(uint8_t)(2 + 2 * s.size()), 0x03};
    for (char c : s) {
        d.push_back((uint8_t)c);
        d.push_back(0);
    }
    return d;
}

// One test bed for the process's life: libusb listens to the first one's
// hot-plug events, and units come and go in it.
UMockdevTestbed* sharedTestbed() {
    static UMockdevTestbed* testbed = umockdev_testbed_new();
    return testbed;
}

}  // namespace

struct UsbdevfsMtpUnit::State {
    explicit State(const MtpUnitConfig& c) : responder(c) {}
    MtpResponder responder;
    UMockdevTestbed* testbed = nullptr;
    UMockdevIoctlBase* handler = nullptr;
    std::string error;
    const bool debug = getenv("WEGMATE_USBDEVFS_DEBUG") != nullptr;
    mutable std::mutex mutex;
    std::string devNode;  // /dev/bus/usb/001/NNN
    std::string sysPath;
    bool claimedNow = false;
    int claims = 0;

    struct Urb {
        const void* owner = nullptr;  // the connection (one per open file) that submitted it
        UMockdevIoctlData* arg = nullptr;
        UMockdevIoctlData* urb = nullptr;
        UMockdevIoctlData* buffer = nullptr;
        uint64_t address = 0;
        uint8_t endpoint = 0;
        int length = 0;
        int filled = 0;
        bool complete = false;
        int status = 0;
    };
    std::list<Urb> urbs;
    std::deque<std::vector<uint8_t>> bulkWire;

    void pullFromResponder() {
        std::vector<uint8_t> c;
        while (responder.takeBulkIn(c)) {
            for (size_t at = 0; at < c.size(); at += kBulkPacket)
                bulkWire.emplace_back(c.begin() + (long)at,
                                      c.begin() + (long)std::min(c.size(), at + (size_t)kBulkPacket));
            if (c.size() % kBulkPacket == 0) bulkWire.push_back({});
        }
    }

    void serveUrbs() {
        pullFromResponder();
        for (Urb& u : urbs) {
            if (u.complete || u.endpoint != kBulkIn) continue;
            while (!u.complete && !bulkWire.empty()) {
                std::vector<uint8_t>& packet = bulkWire.front();
                const int room = u.length - u.filled;
                const int n = (int)packet.size() < room ? (int)packet.size() : room;
                if (n > 0) std::memcpy((uint8_t*)u.buffer->data + u.filled, packet.data(), (size_t)n);
                u.filled += n;
                if (n < (int)packet.size()) {
                    packet.erase(packet.begin(), packet.begin() + n);
                    u.status = -EOVERFLOW;
                    u.complete = true;
                    break;
                }
                const bool shortPacket = (int)packet.size() < kBulkPacket;
                bulkWire.pop_front();
                if (shortPacket || u.filled == u.length) u.complete = true;
            }
        }
        if (responder.gone() && bulkWire.empty()) {
            for (Urb& u : urbs) {
                if (u.complete) continue;
                u.complete = true;
                u.status = -ESHUTDOWN;
            }
        }
    }

    // A control transfer: the setup packet leads the buffer, the answer
    // follows it. Returns the answer's length, or a negative URB status.
    int control(uint8_t* buffer, int length) {
        const uint8_t requestType = buffer[0], request = buffer[1];
        const int value = buffer[2] | buffer[3] << 8;
        const int wLength = buffer[6] | buffer[7] << 8;
        std::vector<uint8_t> answer;
        if (requestType == 0x80 && request == 6) {  // GET_DESCRIPTOR
            const int type = value >> 8, index = value & 0xff;
            const std::vector<uint8_t> all = descriptors(responder.config().productId);
            if (type == 1) {
                answer.assign(all.begin(), all.begin() + 18);
            } else if (type == 2) {
                answer.assign(all.begin() + 18, all.end());
            } else if (type == 3) {
                const MtpUnitConfig& c = responder.config();
                switch (index) {
                case 0: answer = {4, 3, 0x09, 0x04}; break;
                case 1: answer = stringDescriptor(c.manufacturer); break;
                case 2: answer = stringDescriptor(c.model); break;
                case 3: answer = stringDescriptor(c.serial); break;
                case 4: answer = stringDescriptor("MTP"); break;
                default: return -EPIPE;
                }
            } else {
                return -EPIPE;
            }
        } else if ((requestType & 0xfc) == 0x80 && request == 0) {  // GET_STATUS
            answer = {0, 0};
        } else if (requestType == 0xa1 && request == 0x67) {  // PTP: get device status
            answer = {4, 0, 0x01, 0x20};
        } else if (requestType == 0x21 && request == 0x66) {  // PTP: device reset
            responder.reset();
            bulkWire.clear();
        } else if (requestType == 0x21 && request == 0x64) {  // PTP: cancel
            bulkWire.clear();
        } else if ((requestType & 0x80) == 0 && (request == 1 || request == 3 || request == 9 || request == 11)) {
            // CLEAR_FEATURE, SET_FEATURE, SET_CONFIGURATION, SET_INTERFACE
        } else {
            return -EPIPE;
        }
        int n = (int)answer.size();
        if (n > wLength) n = wLength;
        if (n > length - 8) n = length - 8;
        if (n > 0) std::memcpy(buffer + 8, answer.data(), (size_t)n);
        return n;
    }

    struct Pointee {
        UMockdevIoctlData* data = nullptr;
        Pointee(UMockdevIoctlData* arg, size_t size) {
            GError* err = nullptr;
            data = umockdev_ioctl_data_resolve(arg, 0, size, &err);
            if (err) g_error_free(err);
        }
        ~Pointee() {
            if (data) umockdev_ioctl_data_unref(data);
        }
        explicit operator bool() const { return data != nullptr; }
        UMockdevIoctlData* operator->() const { return data; }
    };

    static void complete(UMockdevIoctlClient* client, int result, int err) {
        umockdev_ioctl_client_complete(client, result, err);
    }

    void release(Urb& u) {
        umockdev_ioctl_data_unref(u.buffer);
        umockdev_ioctl_data_unref(u.urb);
        umockdev_ioctl_data_unref(u.arg);
    }

    gboolean handle(UMockdevIoctlClient* client) {
        const unsigned long request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        if (debug) std::fprintf(stderr, "mtp ioctl %lx len %d\n", request, arg->data_len);
        std::lock_guard<std::mutex> lock(mutex);
        switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            Pointee caps(arg, sizeof(uint32_t));
            if (!caps) return complete(client, -1, EFAULT), TRUE;
            *(uint32_t*)caps->data =
                USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
            complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_GETDRIVER: complete(client, -1, ENODATA); return TRUE;  // no kernel driver
        case USBDEVFS_IOCTL: complete(client, -1, ENODATA); return TRUE;
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM: {
            if (responder.gone()) return complete(client, -1, ENODEV), TRUE;
            if (responder.config().claimedElsewhere) return complete(client, -1, EBUSY), TRUE;
            claimedNow = true;
            claims++;
            complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_RELEASEINTERFACE:
            claimedNow = false;
            responder.reset();
            bulkWire.clear();
            complete(client, 0, 0);
            return TRUE;
        case USBDEVFS_RESET:
            responder.reset();
            bulkWire.clear();
            complete(client, responder.gone() ? -1 : 0, responder.gone() ? ENODEV : 0);
            return TRUE;
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP: complete(client, 0, 0); return TRUE;
        case USBDEVFS_SUBMITURB: {
            if (responder.gone()) return complete(client, -1, ENODEV), TRUE;
            GError* err = nullptr;
            UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(struct usbdevfs_urb), &err);
            if (!urbData) {
                if (err) g_error_free(err);
                return complete(client, -1, EFAULT), TRUE;
            }
            auto* urb = (struct usbdevfs_urb*)urbData->data;
            UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
                urbData, G_STRUCT_OFFSET(struct usbdevfs_urb, buffer), (gsize)urb->buffer_length, &err);
            if (!buffer) {
                if (err) g_error_free(err);
                umockdev_ioctl_data_unref(urbData);
                return complete(client, -1, EFAULT), TRUE;
            }
            Urb u;
            u.owner = client;
            u.arg = umockdev_ioctl_data_ref(arg);
            u.address = urbData->client_addr;
            u.urb = urbData;
            u.buffer = buffer;
            u.endpoint = urb->endpoint;
            u.length = urb->buffer_length;
            if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
                const int n = u.length >= 8 ? control((uint8_t*)buffer->data, u.length) : -EINVAL;
                u.filled = n < 0 ? 0 : n;
                u.status = n < 0 ? n : 0;
                u.complete = true;
            } else if (!claimedNow || (u.endpoint != kBulkIn && u.endpoint != kBulkOut && u.endpoint != kInterruptIn)) {
                const int e = claimedNow ? ENOENT : EINVAL;
                release(u);
                return complete(client, -1, e), TRUE;
            } else if (u.endpoint == kBulkOut) {
                responder.bulkOut((const uint8_t*)buffer->data, (size_t)u.length);
                u.filled = u.length;
                u.complete = true;
                if (responder.gone()) u.status = -ESHUTDOWN, u.filled = 0;
            }
            urbs.push_back(u);
            serveUrbs();
            complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_DISCARDURB: {
            const uint64_t address = *(const uint64_t*)arg->data;
            for (Urb& u : urbs) {
                if (u.owner == client && u.address == address && !u.complete) {
                    u.complete = true;
                    u.status = -ENOENT;
                    return complete(client, 0, 0), TRUE;
                }
            }
            complete(client, -1, EINVAL);
            return TRUE;
        }
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY: {
            serveUrbs();
            // A URB goes back only to the file it came from: a program may
            // hold the device open twice (libmtp keeps a handle after a
            // failed opening).
            for (auto it = urbs.begin(); it != urbs.end(); ++it) {
                if (!it->complete || it->owner != client) continue;
                auto* urb = (struct usbdevfs_urb*)it->urb->data;
                urb->actual_length = it->filled;
                urb->status = it->status;
                GError* err = nullptr;
                UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), &err);
                if (!slot) {
                    if (err) g_error_free(err);
                    return complete(client, -1, EFAULT), TRUE;
                }
                umockdev_ioctl_data_set_ptr(slot, 0, it->urb);
                complete(client, 0, 0);
                umockdev_ioctl_data_unref(slot);
                release(*it);
                urbs.erase(it);
                return TRUE;
            }
            complete(client, -1, responder.gone() ? ENODEV : EAGAIN);
            return TRUE;
        }
        default: return FALSE;
        }
    }
};

namespace {

gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    return static_cast<UsbdevfsMtpUnit::State*>(user)->handle(client);
}

}  // namespace

bool UsbdevfsMtpUnit::available() {
    const char* preload = getenv("LD_PRELOAD");
    return umockdev_in_mock_environment() || (preload && strstr(preload, "libumockdev-preload"));
}

UsbdevfsMtpUnit::UsbdevfsMtpUnit(const MtpUnitConfig& config) : state_(new State(config)) {
    State& s = *state_;
    if (!available()) {
        s.error = "not running under umockdev-wrapper";
        return;
    }
    // Every unit plugged in gets a device number of its own, as the kernel
    // gives one: libusb in this process remembers the units it has seen.
    static std::atomic<int> nextDevice{5};
    const int devnum = 5 + (nextDevice++ - 5) % 120;
    char product[8], ids[64], node[32], number[8];
    std::snprintf(product, sizeof product, "%04x", config.productId);
    std::snprintf(ids, sizeof ids, "E: PRODUCT=91e/%x/100\n", config.productId);
    std::snprintf(number, sizeof number, "%03d", devnum);
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", devnum);
    s.devNode = node;
    s.sysPath = "/sys/devices/pci0000:00/usb1/1-" + std::to_string(devnum);
    s.testbed = sharedTestbed();
    const std::string record = "P: /devices/pci0000:00/usb1/1-" + std::to_string(devnum) +
                               "\nN: bus/usb/001/" + number +
                               "\n"
                               "E: SUBSYSTEM=usb\n"
                               "E: DEVTYPE=usb_device\n"
                               "E: DRIVER=usb\n"
                               "E: BUSNUM=001\n"
                               "E: DEVNUM=" +
                               number + "\nE: DEVNAME=" + node + "\n" + ids +
                               "A: busnum=1\\n\n"
                               "A: devnum=" +
                               std::to_string(devnum) +
                               "\\n\n"
                               "A: speed=480\\n\n"
                               "A: bConfigurationValue=1\\n\n"
                               "A: bDeviceClass=00\\n\n"
                               "A: bNumInterfaces= 1\\n\n"
                               "A: idVendor=091e\\n\n"
                               "A: idProduct=" +
                               product + "\\n\nA: manufacturer=" + config.manufacturer + "\\n\nA: product=" +
                               config.model + "\\n\nA: serial=" + config.serial +
                               "\\n\nH: descriptors=" + hex(descriptors(config.productId)) + "\n";
    GError* err = nullptr;
    if (!umockdev_testbed_add_from_string(s.testbed, record.c_str(), &err)) {
        s.error = std::string("umockdev device: ") + (err ? err->message : "?");
        if (err) g_error_free(err);
        return;
    }
    s.handler = umockdev_ioctl_base_new();
    g_signal_connect(s.handler, "handle-ioctl", G_CALLBACK(onIoctl), &s);
    if (!umockdev_testbed_attach_ioctl(s.testbed, s.devNode.c_str(), s.handler, &err)) {
        s.error = std::string("umockdev ioctl handler: ") + (err ? err->message : "?");
        if (err) g_error_free(err);
        return;
    }
    umockdev_testbed_uevent(s.testbed, s.sysPath.c_str(), "add");
}

UsbdevfsMtpUnit::~UsbdevfsMtpUnit() {
    State& s = *state_;
    if (s.testbed && s.handler) {
        // Unplugged: programs that watch for it (libusb) hear of it.
        umockdev_testbed_uevent(s.testbed, s.sysPath.c_str(), "remove");
        umockdev_testbed_detach_ioctl(s.testbed, s.devNode.c_str(), nullptr);
        umockdev_testbed_remove_device(s.testbed, s.sysPath.c_str());
    }
    if (s.handler) g_object_unref(s.handler);
    for (State::Urb& u : s.urbs) s.release(u);
}

bool UsbdevfsMtpUnit::ok() const { return state_->error.empty(); }
std::string UsbdevfsMtpUnit::error() const { return state_->error; }

std::vector<uint16_t> UsbdevfsMtpUnit::operations() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->responder.operations();
}
bool UsbdevfsMtpUnit::claimed() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->claimedNow;
}
int UsbdevfsMtpUnit::claims() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->claims;
}
bool UsbdevfsMtpUnit::gone() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->responder.gone();
}
