#pragma once
// A Garmin MTP unit behind the kernel's USB device interface, on umockdev:
// a high-speed device 091e:<productId> in sysfs and /dev/bus/usb with one
// interface of class 6/1/1 (still image, PTP) named "MTP", a bulk pipe each
// way (512-byte packets) and an interrupt pipe. The usbdevfs ioctls that
// libusb's Linux backend issues are answered here: control transfers
// (string descriptors, endpoint status, the PTP class requests), claim and
// release, URB submit, reap and discard; the bulk pipes carry the
// containers of an MtpResponder.
//
// The device is visible to this process and to every program it starts
// (libmtp's mtp-* tools among them), as long as they run under
// umockdev-wrapper: the test bed passes its directory on in the
// environment. available() says whether this process does.

#include <memory>
#include <string>
#include <vector>

#include "sim/mtp_responder.h"

class UsbdevfsMtpUnit {
  public:
    static bool available();

    // Plugs the unit in; ok() tells whether that worked (error() why not).
    explicit UsbdevfsMtpUnit(const MtpUnitConfig& config);
    ~UsbdevfsMtpUnit();
    UsbdevfsMtpUnit(const UsbdevfsMtpUnit&) = delete;
    UsbdevfsMtpUnit& operator=(const UsbdevfsMtpUnit&) = delete;

    bool ok() const;
    std::string error() const;

    // The operation codes the host sent so far.
    std::vector<uint16_t> operations() const;
    // The interface is claimed right now; how often it was claimed.
    bool claimed() const;
    int claims() const;
    // The unit was pulled out (MtpUnitConfig::unplugAfterTransfers).
    bool gone() const;

    struct State;

  private:
    std::unique_ptr<State> state_;
};
