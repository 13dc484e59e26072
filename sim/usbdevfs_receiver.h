#pragma once
// The simulated receiver behind the kernel's USB device interface: a
// umockdev test bed holds a Garmin USB device (091e:0003, interface 0 bound
// to the garmin_gps driver) in sysfs and /dev/bus/usb, and answers the
// usbdevfs ioctls that libusb's Linux backend issues (capabilities, driver
// query, disconnect and connect of the kernel driver, claim and release,
// URB submit, reap and discard). The data on the pipes comes from the
// Simulator's USB queues, cut into 64-byte USB packets as a full-speed
// device sends them; a bulk URB ends with a short packet, a zero-length
// packet or a full buffer, as on the wire.
//
// Only usable in a process started under umockdev-wrapper (or umockdev-run);
// available() says whether this one is.

#include <atomic>
#include <memory>
#include <string>

class Simulator;

class UsbdevfsReceiver {
  public:
    // True when the process runs with umockdev's preload library.
    static bool available();

    // Plugs the receiver in; ok() tells whether that worked (error() why not).
    explicit UsbdevfsReceiver(Simulator& sim);
    ~UsbdevfsReceiver();
    UsbdevfsReceiver(const UsbdevfsReceiver&) = delete;
    UsbdevfsReceiver& operator=(const UsbdevfsReceiver&) = delete;

    bool ok() const;
    std::string error() const;

    // Wire behaviour: a zero-length packet after a bulk packet whose length
    // is a multiple of 64 (true, as the USB rules want), or none.
    std::atomic<bool> zeroLengthAfterFullPacket{true};

    // The kernel driver: bound now, and how often it was detached and
    // attached again. unbindDriver(): as with garmin_gps blacklisted, for
    // programs that do not detach it.
    void unbindDriver();
    bool driverBound() const;
    int detaches() const;
    int attaches() const;
    // Transfers (URBs) the host submitted on the interrupt pipe.
    int interruptTransfers() const;
    // Interface 0 claimed by the host right now.
    bool claimed() const;

    struct State;

  private:
    std::unique_ptr<State> state_;
};
