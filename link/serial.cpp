// Serial transport on POSIX termios: COM n stands for a tty device, the line
// runs raw at 9600 baud 8N1 without flow control, one-byte reads wait at most
// 3000 ms.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/settings.h"
#include "link/link_clock.h"
#include "link/serial_settings.h"
#include "link/trace.h"
#include "link/transport.h"

namespace {

constexpr int kSerialPorts = 8;
constexpr int kReadTimeoutMs = 3000;
constexpr int kWriteWaitMs = 5000;

int serialFd = -1;
int serialPortNumber = 0;
std::string overrides[kSerialPorts + 1];

int realModemControl(int fd, unsigned long request, int* bits) { return ioctl(fd, request, bits); }
SerialModemControl modemControl = realModemControl;

std::string comName(int portNumber) { return "COM" + std::to_string(portNumber); }

void sleepMs(int ms) {
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {}
}

}  // namespace

void installSerialModemControl(SerialModemControl control) { modemControl = control ? control : realModemControl; }

// ---------------------------------------------------------------- line settings

int parseSerialSettings(const char* text, SerialSettings& out) {
    SerialSettings s = {0, 0, 0, 0};
    char key[16];
    char value[16];
    const char* p = text;
    if (!text) return 0;
    while (*p) {
        while (*p == ' ') p++;
        if (!*p) break;
        int k = 0;
        while (*p && *p != '=' && *p != ' ' && k < 15) key[k++] = *p++;
        key[k] = 0;
        if (*p != '=') return 0;
        p++;
        int v = 0;
        while (*p && *p != ' ' && v < 15) value[v++] = *p++;
        value[v] = 0;
        if (v == 0 || (*p && *p != ' ')) return 0;
        char* end = nullptr;
        if (strcmp(key, "baud") == 0) {
            long b = strtol(value, &end, 10);
            if (*end || b <= 0) return 0;
            s.baud = (int)b;
        } else if (strcmp(key, "parity") == 0) {
            if (v != 1 || !strchr("NEO", value[0] & ~0x20)) return 0;
            s.parity = value[0] & ~0x20;
        } else if (strcmp(key, "data") == 0) {
            long d = strtol(value, &end, 10);
            if (*end || d < 5 || d > 8) return 0;
            s.dataBits = (int)d;
        } else if (strcmp(key, "stop") == 0) {
            if (strcmp(value, "1") == 0)
                s.stopBits = 1;
            else if (strcmp(value, "2") == 0)
                s.stopBits = 2;
            else
                return 0;
        } else {
            return 0;
        }
    }
    if (s.baud == 0) return 0;
    if (s.parity == 0) s.parity = 'N';
    if (s.dataBits == 0) s.dataBits = 8;
    if (s.stopBits == 0) s.stopBits = 1;
    out = s;
    return 1;
}

int serialSettingsToTermios(const SerialSettings& s, struct termios& tio) {
    speed_t speed;
    switch (s.baud) {
    case 1200: speed = B1200; break;
    case 2400: speed = B2400; break;
    case 4800: speed = B4800; break;
    case 9600: speed = B9600; break;
    case 19200: speed = B19200; break;
    case 38400: speed = B38400; break;
    case 57600: speed = B57600; break;
    case 115200: speed = B115200; break;
    default: return 0;
    }
    memset(&tio, 0, sizeof tio);
    // Raw bytes: no input or output processing, no echo, no signals, no
    // hardware or software flow control, receiver on, modem lines ignored.
    tio.c_iflag = 0;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cflag = CREAD | CLOCAL;
    switch (s.dataBits) {
    case 5: tio.c_cflag |= CS5; break;
    case 6: tio.c_cflag |= CS6; break;
    case 7: tio.c_cflag |= CS7; break;
    default: tio.c_cflag |= CS8; break;
    }
    if (s.parity == 'E') tio.c_cflag |= PARENB;
    if (s.parity == 'O') tio.c_cflag |= PARENB | PARODD;
    if (s.stopBits == 2) tio.c_cflag |= CSTOPB;
    // Reads are bounded with poll(); the driver returns what it has.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    return 1;
}

// ---------------------------------------------------------------- device mapping

void setSerialDeviceOverride(int portNumber, const std::string& path) {
    if (portNumber >= 1 && portNumber <= kSerialPorts) overrides[portNumber] = path;
}

std::string serialDevicePath(int portNumber) {
    if (portNumber >= 1 && portNumber <= kSerialPorts && !overrides[portNumber].empty()) return overrides[portNumber];
    char name[32];
    snprintf(name, sizeof name, "/com%d", portNumber);
    std::string link = configDirectory() + name;
    struct stat st;
    if (lstat(link.c_str(), &st) == 0) return link;
    snprintf(name, sizeof name, "/dev/ttyS%d", portNumber - 1);
    return name;
}

// ---------------------------------------------------------------- open / close

namespace {

const char* const kSerialInitError = "Fehler beim Initialisieren der seriellen Schnittstelle.";

// The message with its cause after the first line: the device and why it
// could not be opened.
void showSerialOpenError(const std::string& path, int error) {
    std::string text = kSerialInitError;
    text += "\n";
    struct stat info;
    if (error == ENOENT) {
        text += "Das Gerät " + path + " gibt es nicht. Ist der Empfänger oder sein Adapter angeschlossen?";
    } else if (error == EACCES || error == EPERM) {
        text += "Keine Berechtigung für " + path + ".";
        if (stat(path.c_str(), &info) == 0) {
            if (const struct group* owner = getgrgid(info.st_gid))
                text += std::string(" Den Zugriff gewährt die Gruppe \"") + owner->gr_name +
                        "\" (sudo adduser $USER " + owner->gr_name + ", danach neu anmelden).";
        }
    } else if (error == EBUSY || error == EWOULDBLOCK) {
        text += path + " wird von einem anderen Programm benutzt.";
    } else if (error == ENOTTY) {
        text += path + " ist keine serielle Schnittstelle.";
    } else {
        text += path + ": " + strerror(error);
    }
    showError(text.c_str());
}

}  // namespace

int openSerialPort(int portNumber) {
    SerialSettings settingsRecord;
    struct termios tio;
    if (!parseSerialSettings("baud=9600 parity=N data=8 stop=1", settingsRecord) ||
        !serialSettingsToTermios(settingsRecord, tio)) {
        showError("Fehler beim Setzen der COM-Parameter.");
        return 0;
    }
    closeSerialPort();
    if (portNumber < 1 || portNumber > kSerialPorts) {
        showError(kSerialInitError);
        return 0;
    }
    std::string path = serialDevicePath(portNumber);
    // Non-blocking open so that a port without carrier does not hang here.
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        traceLinkEvent(comName(portNumber).c_str(), ("open " + path + " failed: " + strerror(error)).c_str());
        showSerialOpenError(path, error);
        return 0;
    }
    // The port is this program's alone, as a COM port is: further opens
    // are refused by the terminal (TIOCEXCL, which does not hold for root)
    // and by the lock that every cooperating program takes.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        traceLinkEvent(comName(portNumber).c_str(), ("open " + path + " refused: in use by another program").c_str());
        showSerialOpenError(path, EBUSY);
        return 0;
    }
    ioctl(fd, TIOCEXCL);
    if (!isatty(fd) || tcsetattr(fd, TCSANOW, &tio) != 0) {
        const int error = isatty(fd) ? errno : ENOTTY;
        close(fd);
        showSerialOpenError(path, error);
        return 0;
    }
    // DTR and RTS are raised, whatever an earlier program left: cables that
    // draw their power from these lines need them. A pty has no modem
    // lines; the failure is harmless there.
    int lines = TIOCM_DTR | TIOCM_RTS;
    modemControl(fd, TIOCMBIS, &lines);
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    tcflush(fd, TCIOFLUSH);
    serialFd = fd;
    serialPortNumber = portNumber;
    traceLinkOpen(comName(portNumber).c_str(), path.c_str());
    return 1;
}

int serialPortOpen() { return serialFd >= 0; }

void closeSerialPort() {
    if (serialFd >= 0) {
        ioctl(serialFd, TIOCNXCL);
        close(serialFd);
        serialFd = -1;
        traceLinkClose(comName(serialPortNumber).c_str());
    }
}

// ---------------------------------------------------------------- byte I/O

int serialReadByteFromPort(uint8_t* byte) {
    if (serialFd < 0) {
        sleepMs(10);
        return 0;
    }
    struct pollfd pfd = {serialFd, POLLIN, 0};
    int r;
    do {
        r = poll(&pfd, 1, kReadTimeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r <= 0) return 0;
    ssize_t n = read(serialFd, byte, 1);
    if (n == 1) return 1;
    // Hang-up or error: do not spin, the caller retries until its deadline.
    sleepMs(10);
    return 0;
}

int serialWriteByteToPort(uint8_t byte) {
    if (serialFd < 0) return -1;
    struct pollfd pfd = {serialFd, POLLOUT, 0};
    int r;
    do {
        r = poll(&pfd, 1, kWriteWaitMs);
    } while (r < 0 && errno == EINTR);
    if (r <= 0) return 0;
    ssize_t n = write(serialFd, &byte, 1);
    if (n == 1) return 1;
    sleepMs(1);
    return (int)n;
}
