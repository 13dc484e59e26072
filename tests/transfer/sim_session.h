#pragma once
// The receiver simulator as the program's link: behind the USB driver seam
// (the USB port) or on a pseudo terminal as COM1.

#include <memory>
#include <string>

#include "link/link.h"
#include "link/transport.h"
#include "sim/simulator.h"
#include "tests/support/scripted_platform.h"

enum class SimLink { Usb, Serial };

struct SimSession {
    SimSession(const std::string& profileName, SimLink link);
    ~SimSession();
    SimSession(const SimSession&) = delete;
    SimSession& operator=(const SimSession&) = delete;

    // Serves the link; set data, faults and profile changes before.
    void start();
    void stop();

    std::unique_ptr<Simulator> sim;
    SimLink link;
    Port port = kUsbPort;
    UsbDriver driver{};
    bool serving = false;
};

const char* linkName(SimLink link);
