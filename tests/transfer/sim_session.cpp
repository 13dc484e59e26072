#include "tests/transfer/sim_session.h"

#include <gtest/gtest.h>

SimSession::SimSession(const std::string& profileName, SimLink linkKind) : link(linkKind) {
    const SimProfile* profile = findSimProfile(profileName);
    EXPECT_NE(profile, nullptr) << profileName;
    sim = std::make_unique<Simulator>(profile ? *profile : *findSimProfile("etrex"));
    sim->waypoints.clear();
    sim->routes.clear();
    sim->tracks.clear();
    port = link == SimLink::Usb ? kUsbPort : comPort(1);
}

SimSession::~SimSession() { stop(); }

void SimSession::start() {
    if (link == SimLink::Usb) {
        driver = sim->usbDriver();
        installUsbDriver(&driver);
    } else {
        const std::string tty = sim->startPty();
        ASSERT_FALSE(tty.empty());
        setSerialDeviceOverride(1, tty);
    }
    serving = true;
}

void SimSession::stop() {
    if (!serving) return;
    serving = false;
    if (link == SimLink::Usb) {
        installUsbDriver(nullptr);
    } else {
        sim->stop();
        setSerialDeviceOverride(1, "");
    }
}

const char* linkName(SimLink link) { return link == SimLink::Usb ? "usb" : "serial"; }
