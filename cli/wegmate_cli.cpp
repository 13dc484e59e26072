// wegmate-cli: the transfers and the OVL conversion from the command line.
//
//   wegmate-cli info     --port PORT
//   wegmate-cli download waypoints|routes|tracks --port PORT --format mif|ovl-ascii|ovl-binary|gpx
//                        --objects lines|points [--track N] -o FILE
//   wegmate-cli upload   waypoints|tracks --port PORT --format mif|ovl-ascii|ovl-binary|gpx
//                        [--as-routes] [--separate-tracks] [--initials XY] [--id TEXT] FILE
//   wegmate-cli convert  INPUT.ovl OUTPUT.ovl             (the OVL conversion)
//   wegmate-cli convert  --from FORMAT --to FORMAT [--objects lines|points] [--tracks]
//                        [--separate-tracks] [--initials XY] INPUT OUTPUT
//                        (--from also takes fit, which is read and never written)
//   wegmate-cli list     --format FORMAT [--tracks] FILE
//   wegmate-cli --help | --version
//
// download, upload and convert also take --select N[,N...]: only these items
// (numbers or names, as list shows them).
// PORT: usb, com1..com8, a serial device path, sim[:PROFILE] (the built-in
// simulator with sample data on a pseudo terminal, served as COM1) or
// sim-usb[:PROFILE] (the simulator behind the USB driver seam), drive[:PATH]
// (a Garmin drive) or mtp[:SERIAL] (a Garmin unit on MTP).
// Exit status 0 on success, 1 when an error was reported (nothing or not all
// was done), 2 when the work was done with a warning: parts of the data were
// left out (points without valid positions, short lines, waypoints).

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "commands/command.h"
#include "platform/platform.h"
#include "platform/settings.h"
#include "commands/ovl_convert.h"
#include "link/trace.h"
#include "link/drive.h"
#include "link/mtp.h"
#include "link/transport.h"
#include "sim/simulator.h"
#include "commands/convert.h"
#include "formats/file_formats.h"
#include "formats/mif.h"
#include "platform/atomic_file.h"
#include "cli/cli_platform.h"
#include "model/helpers.h"
#include "model/names.h"
#include "model/point_table.h"
#include "model/times.h"
#include "platform/text_encoding.h"

namespace {

// A whole decimal number from 1 to INT_MAX, nothing before or after it.
bool parsePositive(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    std::from_chars_result r = std::from_chars(text.data(), end, value);
    return !text.empty() && r.ec == std::errc() && r.ptr == end && value > 0;
}

// Whether two names lead to the same file: links followed as the writers
// follow them (also to a file that does not exist yet), then the same inode
// when both exist, otherwise the same path once directories are resolved.
bool sameFile(const std::string& a, const std::string& b) {
    std::string fa = followFileLinks(a), fb = followFileLinks(b);
    if (fa.empty()) fa = a;
    if (fb.empty()) fb = b;
    struct stat sa, sb;
    if (stat(fa.c_str(), &sa) == 0 && stat(fb.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    std::error_code ea, eb;
    const auto pa = std::filesystem::weakly_canonical(fa, ea);
    const auto pb = std::filesystem::weakly_canonical(fb, eb);
    return !ea && !eb && pa == pb;
}

// The output name with the default extension when the user gave none; a
// name that exists (a device, say) is taken as given.
std::string withDefaultExtension(const std::string& name, const char* extension) {
    struct stat info;
    if (lstat(name.c_str(), &info) == 0) return name;
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return name + "." + extension;
    return name;
}

const char* const kUsage =
    "Aufruf:\n"
    "  wegmate-cli info     --port PORT\n"
    "  wegmate-cli download waypoints|routes|tracks --port PORT --format FORMAT\n"
    "                       --objects lines|points [--track N] -o DATEI\n"
    "  wegmate-cli upload   waypoints|tracks --port PORT --format FORMAT\n"
    "                       [--as-routes] [--separate-tracks] [--initials XY] [--id TEXT] DATEI\n"
    "  wegmate-cli convert  EINGABE.ovl AUSGABE.ovl   (OVL-Umwandlung)\n"
    "  wegmate-cli convert  --from FORMAT --to FORMAT [--objects lines|points] [--tracks]\n"
    "                       [--separate-tracks] [--initials XY] EINGABE AUSGABE\n"
    "  wegmate-cli list     --format FORMAT [--tracks] DATEI\n"
    "  wegmate-cli --help | --version\n"
    "download, upload und convert nehmen auch --select N[,N...]: nur diese Einträge\n"
    "      (Nummern oder Namen, wie list sie zeigt)\n"
    "FORMAT: mif, ovl-ascii, ovl-binary oder gpx\n"
    "        --from nimmt auch fit (FIT-Aktivitäten von Uhren und Radcomputern, nur lesbar)\n"
    "Jeder Befehl mit dem Anschluss: [--trace DATEI] schreibt jedes Paket in DATEI.\n"
    "PORT: usb, com1..com8, ein serielles Gerät (/dev/...), sim[:PROFIL], sim-usb[:PROFIL],\n"
    "      drive (das eine eingehängte Garmin-Laufwerk) oder drive:PFAD (sein Einhängepunkt)\n"
    "      sowie mtp (das eine Garmin-Gerät mit MTP-Anschluss) oder mtp:SERIENNUMMER\n";

const char* const kHelp =
    "wegmate-cli überträgt Wegpunkte, Routen und Track-Aufzeichnungen zwischen einem\n"
    "Garmin-GPS-Gerät und Dateien. Fragen werden durch Optionen beantwortet.\n"
    "  --help       diese Hilfe\n"
    "  --version    die Version\n"
    "Mehr in wegmate-cli(1).\n";

int usage(const char* problem) {
    if (problem) std::fprintf(stderr, "wegmate-cli: %s\n", problem);
    std::fputs(kUsage, stderr);
    return 1;
}

struct Options {
    std::string command;
    std::string kind;
    std::string port;
    std::string format = "mif";
    std::string objects = "lines";
    std::vector<std::string> files;
    std::string output;
    // convert --from/--to: the general conversion; --tracks reads track logs.
    std::string from;
    std::string to;
    bool tracks = false;
    std::string select;  // --select: items by number or name
    std::string trace;  // --trace FILE: the link trace
    CliAnswers answers;
};

// The file type of a --format, --from or --to name, or nullptr.
const FileFormat* parseFileFormat(const std::string& name) { return findFileFormat(name); }

// The default extension of a --format name; an unknown name is taken as the
// binary overlay, as everywhere else.
const char* defaultExtension(const std::string& name) {
    const FileFormat* format = parseFileFormat(name);
    return (format ? *format : fileFormat(OvlBinary)).extension;
}

bool parseObjectKind(const std::string& objects, ObjectKind& kind) {
    if (objects == "lines")
        kind = LineObjects;
    else if (objects == "points")
        kind = PointObjects;
    else
        return false;
    return true;
}

// The built-in simulator, when the port names it.
std::unique_ptr<Simulator> simulator;
UsbDriver simulatorDriver;

// Opens the port the user named; sets chosen. 0 on a bad name.
int preparePort(const std::string& port, Port& chosen) {
    if (port == "usb") {
        chosen = kUsbPort;
        return 1;
    }
    // A receiver that appears as a drive: the single one mounted, or the
    // one at the mount point given.
    if (port == "drive" || port.compare(0, 6, "drive:") == 0) {
        std::string path = port.size() > 6 ? port.substr(6) : "";
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        if (port.size() > 5 && path.empty()) return 0;
        setDriveMountPoint(path);
        // Tests stand a mount table of their own in for the system's.
        if (const char* table = std::getenv("WEGMATE_MOUNT_TABLE")) setMountTablePath(table);
        chosen = kDrivePort;
        return 1;
    }
    // A unit on MTP: the single one connected, or the one with this serial
    // number.
    if (port == "mtp" || port.compare(0, 4, "mtp:") == 0) {
        if (port.size() == 4) return 0;
        setMtpSerial(port.size() > 4 ? port.substr(4) : "");
        chosen = kMtpPort;
        return 1;
    }
    if (port.size() == 4 && port.compare(0, 3, "com") == 0 && port[3] >= '1' && port[3] <= '8') {
        chosen = comPort(port[3] - '0');
        return 1;
    }
    if (port.compare(0, 3, "sim") == 0) {
        const bool usb = port.compare(0, 7, "sim-usb") == 0;
        const size_t rest = usb ? 7 : 3;
        std::string profileName = "etrex";
        if (port.size() > rest) {
            if (port[rest] != ':') return 0;
            profileName = port.substr(rest + 1);
        }
        const SimProfile* profile = findSimProfile(profileName);
        if (!profile) {
            std::string names;
            for (const std::string& name : simProfileNames()) names += " " + name;
            std::fprintf(stderr, "wegmate-cli: unbekanntes Simulator-Profil '%s' (vorhanden:%s)\n", profileName.c_str(),
                         names.c_str());
            return 0;
        }
        simulator = std::make_unique<Simulator>(*profile);
        // Sample data: a few waypoints, two routes, two track logs.
        simulator->generate(6, 2, 5, 2, 120);
        if (usb) {
            simulatorDriver = simulator->usbDriver();
            installUsbDriver(&simulatorDriver);
            chosen = kUsbPort;
            std::fprintf(stderr, "Simulator '%s' am USB-Anschluss\n", profileName.c_str());
        } else {
            const std::string tty = simulator->startPty();
            if (tty.empty()) {
                std::fprintf(stderr, "wegmate-cli: Simulator konnte nicht gestartet werden\n");
                return 0;
            }
            setSerialDeviceOverride(1, tty);
            chosen = comPort(1);
            std::fprintf(stderr, "Simulator '%s' an %s (als COM1)\n", profileName.c_str(), tty.c_str());
        }
        return 1;
    }
    if (!port.empty() && port[0] == '/') {
        setSerialDeviceOverride(1, port);
        chosen = comPort(1);
        return 1;
    }
    return 0;
}

void stopSimulator() {
    if (!simulator) return;
    simulator->stop();
    installUsbDriver(nullptr);
    simulator.reset();
}

int parseArguments(int argc, char** argv, Options& options) {
    if (argc < 2) return 0;
    options.command = argv[1];
    for (int i = 2; i < argc; i++) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        if (arg == "--port") {
            if (!value(options.port)) return 0;
        } else if (arg == "--format") {
            if (!value(options.format)) return 0;
        } else if (arg == "--objects") {
            if (!value(options.objects)) return 0;
        } else if (arg == "-o" || arg == "--output") {
            if (!value(options.output)) return 0;
        } else if (arg == "--track") {
            std::string text;
            if (!value(text)) return 0;
            if (!parsePositive(text, options.answers.track)) {
                std::fprintf(stderr, "wegmate-cli: --track braucht eine ganze Zahl ab 1, nicht '%s'\n", text.c_str());
                return 0;
            }
        } else if (arg == "--from") {
            if (!value(options.from)) return 0;
        } else if (arg == "--to") {
            if (!value(options.to)) return 0;
        } else if (arg == "--select") {
            if (!value(options.select) || options.select.empty()) return 0;
        } else if (arg == "--tracks") {
            options.tracks = true;
        } else if (arg == "--as-routes") {
            options.answers.asRoutes = true;
        } else if (arg == "--separate-tracks") {
            options.answers.separateTracks = true;
        } else if (arg == "--initials") {
            if (!value(options.answers.initials)) return 0;
            options.answers.hasInitials = true;
        } else if (arg == "--id") {
            if (!value(options.answers.id)) return 0;
            // Taken as the dialog's entry; the upload to a receiver of the
            // binary protocol spells it as every other name.
            options.answers.hasId = true;
        } else if (arg == "--trace") {
            if (!value(options.trace)) return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            return 0;
        } else if (options.kind.empty() && (options.command == "download" || options.command == "upload")) {
            options.kind = arg;
        } else {
            options.files.push_back(arg);
        }
    }
    return 1;
}

// Loads the splitting limits of the parameter file, as the desktop program
// does; the command-line tool never writes it.
void loadSettings(const char* argv0) {
    std::string dir;
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        self[length] = 0;
        dir = self;
    } else {
        dir = argv0;
    }
    const size_t slash = dir.find_last_of('/');
    dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
    loadAndValidateSettings(parameterFilePath(dir).c_str());
}

// One line per item: kind, number, name, points, start time, length,
// separated by tabs.
void printContent(const std::vector<ContentItem>& items) {
    for (const ContentItem& item : items) {
        char time[24] = "";
        formatTime(item.startTime, time);
        std::printf("%s\t%d\t%s\t%d\t%s\t%.2f km\n", itemKindName(item.kind), item.number,
                    cp1252ToUtf8(item.name.c_str()).c_str(), item.pointCount, time, item.lengthKm);
    }
}

int finish(int status) {
    cliFinishProgress();
    stopSimulator();
    if (cliErrorShown())
        status = 1;
    else if (status == 0 && cliWarningShown())
        status = 2;
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("wegmate-cli %s\n", WEGMATE_VERSION);
        return 0;
    }
    Options options;
    if (!parseArguments(argc, argv, options)) return usage("ungültige Argumente");
    if (options.answers.hasInitials) {
        const char* problem = checkNameInitials(options.answers.initials);
        if (problem) {
            std::fprintf(stderr, "FEHLER: %s\n", problem);
            return 1;
        }
    }
    loadSettings(argv[0]);
    if (options.command == "convert" && !options.from.empty() && options.files.size() == 2) {
        if (options.files[1].empty()) return usage("leerer Name der Ausgabedatei");
        options.files[1] = withDefaultExtension(options.files[1], defaultExtension(options.to));
    }
    if (options.command == "download" && options.output.empty() && options.files.empty())
        return usage("download braucht -o DATEI (nicht leer)");
    if (!options.trace.empty()) {
        // Every file the command reads or writes: the names given, the output
        // with its default extension, and the MID file beside a MIF file.
        std::vector<std::string> userFiles = options.files;
        auto isMif = [](const std::string& format) { return format == fileFormat(MapInfoMif).name; };
        for (size_t i = 0; i < options.files.size(); i++)
            if (isMif(options.command != "convert" ? options.format : i == 0 ? options.from : options.to))
                userFiles.push_back(midFileName(options.files[i]));
        if (!options.output.empty()) {
            const std::string output = withDefaultExtension(options.output, defaultExtension(options.format));
            userFiles.push_back(options.output);
            userFiles.push_back(output);
            if (isMif(options.format)) userFiles.push_back(midFileName(output));
        }
        for (const std::string& file : userFiles) {
            if (!file.empty() && sameFile(options.trace, file)) {
                std::fprintf(stderr, "FEHLER: Die Protokolldatei '%s' ist eine Ein- oder Ausgabedatei.\n",
                             options.trace.c_str());
                return 1;
            }
        }
    }
    if (!options.trace.empty() && !setLinkTrace(options.trace.c_str())) {
        std::fprintf(stderr, "wegmate-cli: Protokolldatei '%s' kann nicht geschrieben werden\n", options.trace.c_str());
        return 1;
    }

    if (options.command == "convert" && (!options.from.empty() || !options.to.empty())) {
        const FileFormat* from = findInputFileFormat(options.from);
        const FileFormat* to = parseFileFormat(options.to);
        ObjectKind objectKind = LineObjects;
        if (!from || !to) return usage("convert braucht --from FORMAT und --to FORMAT");
        if (!parseObjectKind(options.objects, objectKind)) return usage("unbekanntes --objects");
        if (options.files.size() != 2) return usage("convert braucht EINGABE und AUSGABE");
        const std::string output = options.files[1];
        installCliPlatform(options.answers);
        convertBetweenFileKinds(from->kind, to->kind, objectKind,
                                options.tracks ? TransferKind::Tracks : TransferKind::Waypoints, options.files[0],
                                output, options.select);
        return finish(0);
    }
    if (options.command == "list" && options.port.empty()) {
        const FileFormat* format = parseFileFormat(options.format);
        if (!format) return usage("unbekanntes --format");
        if (options.files.size() != 1) return usage("list braucht --port PORT oder genau eine DATEI");
        installCliPlatform(options.answers);
        std::vector<ContentItem> items;
        if (listFileContent(format->kind, options.tracks ? TransferKind::Tracks : TransferKind::Waypoints,
                            options.files[0], items))
            printContent(items);
        return finish(0);
    }
    if (options.command == "convert") {
        if (options.files.size() != 2) return usage("convert braucht EINGABE.ovl und AUSGABE.ovl");
        options.answers.openFile = options.files[0];
        options.answers.saveFile = options.files[1];
        options.answers.confirm = true;
        installCliPlatform(options.answers);
        convertOvlFile();
        return finish(0);
    }

    TransferCommand command = DeviceInfo;
    FileKind fileKind = MapInfoMif;
    ObjectKind objectKind = LineObjects;
    if (options.command == "info") {
        if (!options.files.empty()) return usage("info nimmt keine Datei");
        command = DeviceInfo;
    } else if (options.command == "download") {
        const FileFormat* format = parseFileFormat(options.format);
        if (!format) return usage("unbekanntes --format");
        fileKind = format->kind;
        if (!parseObjectKind(options.objects, objectKind)) return usage("unbekanntes --objects");
        if (options.output.empty() || !options.files.empty()) return usage("download braucht -o DATEI");
        if (options.kind == "waypoints") {
            command = DownloadWaypoints;
            options.answers.asRoutes = false;
        } else if (options.kind == "routes") {
            command = DownloadWaypoints;
            options.answers.asRoutes = true;
        } else if (options.kind == "tracks") {
            command = DownloadTracks;
        } else {
            return usage("download waypoints|routes|tracks");
        }
        options.answers.saveFile = options.output;
    } else if (options.command == "upload") {
        const FileFormat* format = parseFileFormat(options.format);
        if (!format) return usage("unbekanntes --format");
        fileKind = format->kind;
        if (options.files.size() != 1) return usage("upload braucht genau eine DATEI");
        if (options.kind == "waypoints")
            command = UploadWaypoints;
        else if (options.kind == "tracks")
            command = UploadTracks;
        else
            return usage("upload waypoints|tracks");
        options.answers.openFile = options.files[0];
    } else {
        return usage(nullptr);
    }
    if (options.port.empty()) return usage("--port fehlt");

    installCliPlatform(options.answers);
    transferSelection = options.select;
    Port port;
    if (!preparePort(options.port, port)) {
        std::fprintf(stderr, "wegmate-cli: unbekannter Anschluss '%s'\n", options.port.c_str());
        return finish(1);
    }
    runCommand(command, port, fileKind, objectKind);
    return finish(0);
}
