// The simulated receiver at the usbdevfs level, on umockdev. libusb sees a
// real Linux USB device node: every URB it submits is answered here from
// the Simulator's USB queues, one USB packet (at most 64 bytes) at a time.

#include "sim/usbdevfs_receiver.h"

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <deque>
#include <list>
#include <mutex>
#include <vector>

#include <sys/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include "sim/simulator.h"

namespace {

constexpr const char* kDevNode = "/dev/bus/usb/001/002";
constexpr int kMaxPacket = 64;
constexpr uint8_t kInterruptIn = 0x83;
constexpr uint8_t kBulkIn = 0x81;
constexpr uint8_t kBulkOut = 0x02;

// Device, configuration, interface and three endpoint descriptors.
const char* const kDescriptorsHex =
    "12010002ff000040"
    "1e09030001000000"
    "0001"
    "0902270001010080"
    "32"
    "0904000003ffffff00"
    "0705830340000a"
    "07058102400000"
    "07050202400000";

}  // namespace

struct UsbdevfsReceiver::State {
    Simulator& sim;
    UsbdevfsReceiver& owner;
    UsbDriver driver = {};
    UMockdevTestbed* testbed = nullptr;
    UMockdevIoctlBase* handler = nullptr;
    std::string error;

    const bool debug = getenv("WEGMATE_USBDEVFS_DEBUG") != nullptr;
    std::mutex mutex;
    bool bound = true;
    bool claimedNow = false;
    bool sessionOpen = false;
    bool gone = false;
    int detaches = 0;
    int attaches = 0;
    int interruptUrbs = 0;

    struct Urb {
        UMockdevIoctlData* arg = nullptr;     // the submit's argument (ref held)
        UMockdevIoctlData* urb = nullptr;     // struct usbdevfs_urb in the client
        UMockdevIoctlData* buffer = nullptr;  // its data buffer
        uint64_t address = 0;                 // the URB's address in the client
        uint8_t endpoint = 0;
        int length = 0;
        int filled = 0;
        bool complete = false;
        int status = 0;
    };
    std::list<Urb> urbs;  // submitted, not yet reaped

    // USB packets ready on the two IN pipes (a zero-length one included).
    std::deque<std::vector<uint8_t>> interruptWire;
    std::deque<std::vector<uint8_t>> bulkWire;
    bool lastInterruptFull = false;

    State(Simulator& s, UsbdevfsReceiver& o) : sim(s), owner(o) {}

    // Moves what the simulator has ready onto the wire queues.
    void pullFromSimulator() {
        std::vector<uint8_t> chunk;
        for (;;) {
            int r = sim.usbTakeChunk(false, chunk);
            if (r < 0) gone = true;
            if (r <= 0) break;
            // An empty chunk after a full one ends a packet of exactly 64
            // bytes; a receiver without that habit leaves it out.
            if (chunk.empty() && lastInterruptFull && !owner.zeroLengthAfterFullPacket) {
                lastInterruptFull = false;
                continue;
            }
            lastInterruptFull = (int)chunk.size() == kMaxPacket;
            interruptWire.push_back(chunk);
        }
        for (;;) {
            int r = sim.usbTakeChunk(true, chunk);
            if (r < 0) gone = true;
            if (r <= 0) break;
            if (chunk.empty()) {
                bulkWire.push_back({});
                continue;
            }
            for (size_t at = 0; at < chunk.size(); at += kMaxPacket) {
                size_t n = chunk.size() - at < (size_t)kMaxPacket ? chunk.size() - at : kMaxPacket;
                bulkWire.emplace_back(chunk.begin() + (long)at, chunk.begin() + (long)(at + n));
            }
            if (chunk.size() % kMaxPacket == 0 && owner.zeroLengthAfterFullPacket) bulkWire.push_back({});
        }
    }

    // Fills pending IN URBs from the wire; an URB ends with a short packet
    // or a full buffer.
    void serveUrbs() {
        pullFromSimulator();
        for (Urb& u : urbs) {
            if (u.complete) continue;
            if (gone) {
                u.complete = true;
                u.status = -ESHUTDOWN;
                continue;
            }
            if (!(u.endpoint & 0x80)) continue;
            std::deque<std::vector<uint8_t>>& wire = u.endpoint == kInterruptIn ? interruptWire : bulkWire;
            while (!u.complete && !wire.empty()) {
                std::vector<uint8_t>& packet = wire.front();
                int room = u.length - u.filled;
                int n = (int)packet.size() < room ? (int)packet.size() : room;
                if (n > 0) std::memcpy((uint8_t*)u.buffer->data + u.filled, packet.data(), (size_t)n);
                u.filled += n;
                const bool shortPacket = (int)packet.size() < kMaxPacket;
                if (n < (int)packet.size()) {
                    // Babble: more than the buffer holds.
                    packet.erase(packet.begin(), packet.begin() + n);
                    u.status = -EOVERFLOW;
                    u.complete = true;
                    break;
                }
                wire.pop_front();
                if (shortPacket || u.filled == u.length) u.complete = true;
            }
        }
    }

    void finishUrb(Urb& u) {
        auto* urb = (struct usbdevfs_urb*)u.urb->data;
        urb->actual_length = u.filled;
        urb->status = u.status;
    }

    // The data an ioctl argument points to, fetched from the client.
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

    static gboolean fault(UMockdevIoctlClient* client) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return TRUE;
    }

    gboolean handle(UMockdevIoctlClient* client) {
        const unsigned long request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        // WEGMATE_USBDEVFS_DEBUG=1 lists every ioctl the host issues.
        if (debug) fprintf(stderr, "ioctl %lx len %d addr %lx\n", request, arg->data_len, arg->client_addr);
        std::lock_guard<std::mutex> lock(mutex);
        switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            Pointee caps(arg, sizeof(uint32_t));
            if (!caps) return fault(client);
            *(uint32_t*)caps->data =
                USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_GETDRIVER: {
            Pointee data(arg, sizeof(struct usbdevfs_getdriver));
            if (!data) return fault(client);
            auto* d = (struct usbdevfs_getdriver*)data->data;
            if (d->interface != 0 || !bound) {
                umockdev_ioctl_client_complete(client, -1, ENODATA);
            } else {
                std::strcpy(d->driver, "garmin_gps");
                umockdev_ioctl_client_complete(client, 0, 0);
            }
            return TRUE;
        }
        case USBDEVFS_IOCTL: {
            Pointee data(arg, sizeof(struct usbdevfs_ioctl));
            if (!data) return fault(client);
            auto* c = (struct usbdevfs_ioctl*)data->data;
            if (c->ifno != 0) {
                umockdev_ioctl_client_complete(client, -1, EINVAL);
            } else if (c->ioctl_code == (int)USBDEVFS_DISCONNECT) {
                if (bound) {
                    bound = false;
                    detaches++;
                    umockdev_ioctl_client_complete(client, 0, 0);
                } else {
                    umockdev_ioctl_client_complete(client, -1, ENODATA);
                }
            } else if (c->ioctl_code == (int)USBDEVFS_CONNECT) {
                if (claimedNow) {
                    umockdev_ioctl_client_complete(client, -1, EBUSY);
                } else {
                    bound = true;
                    attaches++;
                    umockdev_ioctl_client_complete(client, 0, 0);
                }
            } else {
                umockdev_ioctl_client_complete(client, -1, ENOTTY);
            }
            return TRUE;
        }
        case USBDEVFS_CLAIMINTERFACE: {
            Pointee data(arg, sizeof(unsigned));
            if (!data) return fault(client);
            const unsigned interface = *(unsigned*)data->data;
            if (interface != 0) {
                umockdev_ioctl_client_complete(client, -1, ENOENT);
            } else if (bound) {
                umockdev_ioctl_client_complete(client, -1, EBUSY);
            } else {
                claimedNow = true;
                if (!sessionOpen && driver.open(driver.context)) sessionOpen = true;
                umockdev_ioctl_client_complete(client, 0, 0);
            }
            return TRUE;
        }
        case USBDEVFS_RELEASEINTERFACE: {
            claimedNow = false;
            if (sessionOpen) driver.close(driver.context);
            sessionOpen = false;
            interruptWire.clear();
            bulkWire.clear();
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP: umockdev_ioctl_client_complete(client, 0, 0); return TRUE;
        case USBDEVFS_SUBMITURB: {
            if (gone) {
                umockdev_ioctl_client_complete(client, -1, ENODEV);
                return TRUE;
            }
            GError* err = nullptr;
            UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(struct usbdevfs_urb), &err);
            if (!urbData) {
                if (err) g_error_free(err);
                umockdev_ioctl_client_complete(client, -1, EFAULT);
                return TRUE;
            }
            auto* urb = (struct usbdevfs_urb*)urbData->data;
            UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
                urbData, G_STRUCT_OFFSET(struct usbdevfs_urb, buffer), (gsize)urb->buffer_length, &err);
            if (!buffer) {
                if (err) g_error_free(err);
                umockdev_ioctl_data_unref(urbData);
                umockdev_ioctl_client_complete(client, -1, EFAULT);
                return TRUE;
            }
            Urb u;
            u.arg = umockdev_ioctl_data_ref(arg);
            u.address = urbData->client_addr;
            u.urb = urbData;
            u.buffer = buffer;
            u.endpoint = urb->endpoint;
            u.length = urb->buffer_length;
            if (!claimedNow || (u.endpoint != kInterruptIn && u.endpoint != kBulkIn && u.endpoint != kBulkOut)) {
                umockdev_ioctl_data_unref(u.arg);
                umockdev_ioctl_data_unref(u.urb);
                umockdev_ioctl_data_unref(u.buffer);
                umockdev_ioctl_client_complete(client, -1, claimedNow ? ENOENT : EINVAL);
                return TRUE;
            }
            if (u.endpoint == kBulkOut) {
                // The receiver takes the host's packet at once.
                int n = driver.bulkWrite(driver.context, (const uint8_t*)buffer->data, u.length);
                u.filled = n < 0 ? 0 : n;
                u.status = n < 0 ? -ESHUTDOWN : 0;
                u.complete = true;
            }
            if (u.endpoint == kInterruptIn) interruptUrbs++;
            urbs.push_back(u);
            serveUrbs();
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_DISCARDURB: {
            // The argument is the URB's address in the client.
            const uint64_t address = *(const uint64_t*)arg->data;
            for (Urb& u : urbs) {
                if (u.address == address && !u.complete) {
                    u.complete = true;
                    u.status = -ENOENT;
                    umockdev_ioctl_client_complete(client, 0, 0);
                    return TRUE;
                }
            }
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            return TRUE;
        }
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY: {
            serveUrbs();
            for (auto it = urbs.begin(); it != urbs.end(); ++it) {
                if (!it->complete) continue;
                finishUrb(*it);
                GError* err = nullptr;
                UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), &err);
                if (!slot) {
                    if (err) g_error_free(err);
                    umockdev_ioctl_client_complete(client, -1, EFAULT);
                    return TRUE;
                }
                umockdev_ioctl_data_set_ptr(slot, 0, it->urb);
                umockdev_ioctl_client_complete(client, 0, 0);
                umockdev_ioctl_data_unref(slot);
                umockdev_ioctl_data_unref(it->buffer);
                umockdev_ioctl_data_unref(it->urb);
                umockdev_ioctl_data_unref(it->arg);
                urbs.erase(it);
                return TRUE;
            }
            umockdev_ioctl_client_complete(client, -1, gone ? ENODEV : EAGAIN);
            return TRUE;
        }
        default: return FALSE;
        }
    }
};

namespace {

gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    return static_cast<UsbdevfsReceiver::State*>(user)->handle(client);
}

}  // namespace

bool UsbdevfsReceiver::available() {
    // umockdev-wrapper preloads the library; the test bed itself sets the
    // environment that umockdev_in_mock_environment() looks at.
    const char* preload = getenv("LD_PRELOAD");
    return umockdev_in_mock_environment() || (preload && strstr(preload, "libumockdev-preload"));
}

UsbdevfsReceiver::UsbdevfsReceiver(Simulator& sim) : state_(new State(sim, *this)) {
    State& s = *state_;
    s.driver = sim.usbDriver();
    if (!available()) {
        s.error = "not running under umockdev-wrapper";
        return;
    }
    s.testbed = umockdev_testbed_new();
    std::string record = std::string(
                             "P: /devices/pci0000:00/usb1/1-1\n"
                             "N: bus/usb/001/002\n"
                             "E: SUBSYSTEM=usb\n"
                             "E: DEVTYPE=usb_device\n"
                             "E: DRIVER=usb\n"
                             "E: BUSNUM=001\n"
                             "E: DEVNUM=002\n"
                             "E: DEVNAME=/dev/bus/usb/001/002\n"
                             "E: PRODUCT=91e/3/1\n"
                             "A: busnum=1\\n\n"
                             "A: devnum=2\\n\n"
                             "A: speed=12\\n\n"
                             "A: bConfigurationValue=1\\n\n"
                             "A: idVendor=091e\\n\n"
                             "A: idProduct=0003\\n\n"
                             "H: descriptors=") +
                         kDescriptorsHex + "\n";
    GError* err = nullptr;
    if (!umockdev_testbed_add_from_string(s.testbed, record.c_str(), &err)) {
        s.error = std::string("umockdev device: ") + (err ? err->message : "?");
        if (err) g_error_free(err);
        return;
    }
    s.handler = umockdev_ioctl_base_new();
    g_signal_connect(s.handler, "handle-ioctl", G_CALLBACK(onIoctl), &s);
    if (!umockdev_testbed_attach_ioctl(s.testbed, kDevNode, s.handler, &err)) {
        s.error = std::string("umockdev ioctl handler: ") + (err ? err->message : "?");
        if (err) g_error_free(err);
        return;
    }
}

UsbdevfsReceiver::~UsbdevfsReceiver() {
    State& s = *state_;
    if (s.testbed && s.handler) umockdev_testbed_detach_ioctl(s.testbed, kDevNode, nullptr);
    if (s.handler) g_object_unref(s.handler);
    if (s.testbed) g_object_unref(s.testbed);
    for (State::Urb& u : s.urbs) {
        umockdev_ioctl_data_unref(u.buffer);
        umockdev_ioctl_data_unref(u.urb);
        umockdev_ioctl_data_unref(u.arg);
    }
}

bool UsbdevfsReceiver::ok() const { return state_->error.empty(); }
std::string UsbdevfsReceiver::error() const { return state_->error; }

void UsbdevfsReceiver::unbindDriver() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->bound = false;
}
bool UsbdevfsReceiver::driverBound() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->bound;
}
int UsbdevfsReceiver::detaches() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->detaches;
}
int UsbdevfsReceiver::attaches() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->attaches;
}
int UsbdevfsReceiver::interruptTransfers() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->interruptUrbs;
}
bool UsbdevfsReceiver::claimed() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->claimedNow;
}
