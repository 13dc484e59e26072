// A waypoint download through libusb's real Linux backend by any program,
// against the receiver emulated at the usbdevfs level (umockdev): plugs in a
// receiver that holds WAYPOINTS waypoints and sends every packet on the
// interrupt pipe, runs the command given as a child process (it reaches the
// receiver through the same umockdev test bed), and prints one line:
//   <wall seconds> <interrupt transfers> <exit status>
//
// Runs only inside umockdev-wrapper:
//   umockdev-wrapper bench_usb_peer 3000 gpsbabel -w -i garmin -f usb: -o gpx -F out.gpx
//   umockdev-wrapper bench_usb_peer 3000 wegmate-cli download waypoints --port usb
//       --format gpx --objects points -o out.gpx

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "sim/simulator.h"
#include "sim/usbdevfs_receiver.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_usb_peer WAYPOINTS COMMAND [ARGS...]\n");
        return 2;
    }
    if (!UsbdevfsReceiver::available()) {
        std::fprintf(stderr, "bench_usb_peer: run inside umockdev-wrapper\n");
        return 2;
    }
    Simulator sim(*findSimProfile("etrex"));
    sim.generate(std::atoi(argv[1]), 0, 0, 0, 0);
    sim.usbInterruptOnly = true;
    UsbdevfsReceiver receiver(sim);
    if (!receiver.ok()) {
        std::fprintf(stderr, "bench_usb_peer: %s\n", receiver.error().c_str());
        return 2;
    }
    // garmin_gps blacklisted, as gpsbabel needs it.
    receiver.unbindDriver();
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.2f %d %d\n", seconds, receiver.interruptTransfers(), WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}
