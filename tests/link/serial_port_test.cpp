// The serial port on a real pseudo terminal: COM mapping, opening failures,
// line settings, and the bytes that Packet puts on and takes off the line.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "platform/settings.h"
#include "link/packet.h"
#include "link/serial_settings.h"
#include "link/link.h"
#include "link/transport.h"
#include "tests/link/link_fakes.h"
#include "tests/support/scripted_platform.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A pty pair for one test; the test plays the receiver on the master.
struct PtyPair {
    PtyPair() {
        char name[256];
        // Left in the cooked default: opening the port must make it raw.
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0) path = name;
    }
    ~PtyPair() {
        closeLink();
        setSerialDeviceOverride(1, "");
        if (master >= 0) close(master);
        if (slave >= 0) close(slave);
    }
    Bytes readMaster(size_t expected) {
        Bytes out;
        while (out.size() < expected) {
            struct pollfd pfd = {master, POLLIN, 0};
            if (poll(&pfd, 1, 2000) <= 0) break;
            uint8_t buf[256];
            ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0) break;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }
    void writeMaster(const Bytes& bytes) {
        ASSERT_EQ(write(master, bytes.data(), bytes.size()), (ssize_t)bytes.size());
    }
    int master = -1;
    int slave = -1;
    std::string path;
};

TEST(SerialMapping, OverrideSymlinkAndDefault) {
    TempDir temp("link");
    const std::string dir = temp.path;
    ASSERT_FALSE(dir.empty());
    const char* old = getenv("XDG_CONFIG_HOME");
    std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    std::string config = configDirectory();
    mkdir(config.c_str(), 0700);

    EXPECT_EQ(serialDevicePath(3), "/dev/ttyS2");
    EXPECT_EQ(serialDevicePath(1), "/dev/ttyS0");
    std::string link = config + "/com3";
    ASSERT_EQ(symlink("/dev/ttyUSB0", link.c_str()), 0);
    EXPECT_EQ(serialDevicePath(3), link);
    EXPECT_EQ(serialDevicePath(4), "/dev/ttyS3");
    setSerialDeviceOverride(3, "/dev/pts/77");
    EXPECT_EQ(serialDevicePath(3), "/dev/pts/77");
    setSerialDeviceOverride(3, "");
    EXPECT_EQ(serialDevicePath(3), link);

    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

TEST(SerialOpen, FailuresShowTheInitialisationMessage) {
    ScriptedPlatform ui;
    setSerialDeviceOverride(2, "/nonexistent/tty");
    EXPECT_EQ(openSerialPort(2), 0);
    // A plain file is no serial port: its settings cannot be applied.
    TempDir dir("link");
    const std::string file = dir.file("plain");
    writeFile(file, "");
    setSerialDeviceOverride(2, file);
    EXPECT_EQ(openSerialPort(2), 0);
    EXPECT_EQ(serialPortOpen(), 0);
    setSerialDeviceOverride(2, "");
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{
                                 "Fehler beim Initialisieren der seriellen Schnittstelle.\nDas Gerät /nonexistent/tty "
                                 "gibt es nicht. Ist der Empfänger oder sein Adapter angeschlossen?",
                                 "Fehler beim Initialisieren der seriellen Schnittstelle.\n" + file +
                                     " ist keine serielle Schnittstelle."}));
}

TEST(SerialSettingsText, ParsedAndRefused) {
    SerialSettings s;
    ASSERT_EQ(parseSerialSettings("baud=9600 parity=N data=8 stop=1", s), 1);
    EXPECT_EQ(s.baud, 9600);
    EXPECT_EQ(s.parity, 'N');
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.stopBits, 1);
    EXPECT_EQ(parseSerialSettings("baud=fast parity=N", s), 0);
    EXPECT_EQ(parseSerialSettings("baud=9600 parity=X", s), 0);
    EXPECT_EQ(parseSerialSettings("speed=9600", s), 0);
    EXPECT_EQ(parseSerialSettings("", s), 0);
    struct termios tio;
    ASSERT_EQ(serialSettingsToTermios(s, tio), 1);
    EXPECT_EQ(cfgetospeed(&tio), (speed_t)B9600);
    EXPECT_EQ(tio.c_cflag & CSIZE, (tcflag_t)CS8);
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
    s.baud = 12345;
    EXPECT_EQ(serialSettingsToTermios(s, tio), 0);
}

TEST(SerialPty, RawLineSettingsAndWireBytes) {
    ScriptedPlatform ui;
    PtyPair pty;
    ASSERT_FALSE(pty.path.empty());
    setSerialDeviceOverride(1, pty.path);
    ASSERT_EQ(openSerialPort(1), 1);
    struct termios tio;
    ASSERT_EQ(tcgetattr(pty.slave, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), (speed_t)B9600);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);

    uint8_t data[255] = {};
    Packet p;
    p.build(254, 0, data);
    ASSERT_EQ(p.send(serialLink(1), 1), 1);
    EXPECT_EQ(pty.readMaster(6), (Bytes{16, 254, 0, 2, 16, 3}));
    data[0] = 16;
    p.build(27, 2, data);
    ASSERT_EQ(p.send(serialLink(1), 1), 1);
    EXPECT_EQ(pty.readMaster(9), (Bytes{16, 27, 2, 16, 16, 0, 211, 16, 3}));

    // Bytes 0x0D, 0x11 and 0x13 pass unchanged (no CR mapping, no XON/XOFF).
    pty.writeMaster(frame(35, {0x0D, 0x11, 0x13, 0x0A, 16}));
    ASSERT_EQ(p.receive(serialLink(1), 1, 5.0), 1);
    EXPECT_EQ(p.id, 35);
    ASSERT_EQ(p.size, 5);
    EXPECT_EQ(p.data[0], 0x0D);
    EXPECT_EQ(p.data[1], 0x11);
    EXPECT_EQ(p.data[2], 0x13);
    EXPECT_EQ(p.data[3], 0x0A);
    EXPECT_EQ(p.data[4], 16);
    EXPECT_TRUE(ui.boxTexts().empty());
}

TEST(SerialPty, ReadWaitsAtMostThreeSecondsPerByte) {
    PtyPair pty;
    setSerialDeviceOverride(1, pty.path);
    ASSERT_EQ(openSerialPort(1), 1);
    uint8_t b = 0;
    pty.writeMaster({0x42});
    EXPECT_EQ(serialReadByteFromPort(&b), 1);
    EXPECT_EQ(b, 0x42);
    uint32_t start = monotonicMs();
    EXPECT_EQ(serialReadByteFromPort(&b), 0);
    uint32_t waited = monotonicMs() - start;
    EXPECT_GE(waited, 2900u);
    EXPECT_LE(waited, 4000u);
}

// Whether another process can open path now. Root passes TIOCEXCL, so the
// child gives up root first and the device is made world-writable.
bool otherProcessCanOpen(const std::string& path) {
    if (geteuid() == 0) chmod(path.c_str(), 0666);
    pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        _exit(fd >= 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The port is ours alone while it is open, for programs that take no lock
// too; closing it gives it back.
TEST(SerialPty, ExclusiveWhileOpen) {
    ScriptedPlatform ui;
    PtyPair pty;
    setSerialDeviceOverride(1, pty.path);
    ASSERT_TRUE(otherProcessCanOpen(pty.path));
    ASSERT_EQ(openSerialPort(1), 1);
    EXPECT_FALSE(otherProcessCanOpen(pty.path));
    closeLink();
    EXPECT_TRUE(otherProcessCanOpen(pty.path));
}

// A pty has no modem lines: the ioctl is observed instead, on a line that
// an earlier program left with DTR and RTS low.
int modemBits = 0;
int fakeModemControl(int, unsigned long request, int* bits) {
    if (request == TIOCMBIS)
        modemBits |= *bits;
    else if (request == TIOCMBIC)
        modemBits &= ~*bits;
    else if (request == TIOCMSET)
        modemBits = *bits;
    else if (request == TIOCMGET)
        *bits = modemBits;
    return 0;
}

TEST(SerialPty, DtrAndRtsRaisedAfterOpen) {
    ScriptedPlatform ui;
    PtyPair pty;
    setSerialDeviceOverride(1, pty.path);
    modemBits = 0;
    installSerialModemControl(fakeModemControl);
    int opened = openSerialPort(1);
    installSerialModemControl(nullptr);
    ASSERT_EQ(opened, 1);
    EXPECT_EQ(modemBits & (TIOCM_DTR | TIOCM_RTS), TIOCM_DTR | TIOCM_RTS);
}

}  // namespace
