// The general conversion of the command-line tool: the reader of one file
// type, the writer of another.

#include "commands/convert.h"

#include <cstdio>

#include "platform/platform.h"
#include "formats/gpx.h"
#include "formats/mif.h"
#include "formats/ovl_ascii.h"
#include "formats/ovl_binary.h"
#include "model/names.h"
#include "model/point_table.h"

namespace {

const char* const kNoValidPositionError =
    "Kein einziger der eingelesenen Punkte hat, \ngültige Positionsdaten. Deshalb kann keine \n"
    "Ausgabedatei erzeugt werden. \n";
const char* const kWriteError = "Fehler beim Öffnen oder Schreiben der Ausgabedatei.";

int readFileOfKind(int fileKind, const std::string& name, int transferKind)
{
    bool numbers = false, names = false;
    switch (fileKind) {
    case MapInfoMif: return readMifFile(name.c_str(), transferKind, numbers, names);
    case OvlAscii: {
        int separate = 0;
        return readOvlAsciiFile(name.c_str(), transferKind, separate, transferKind == 6);
    }
    case Gpx: return readGpxFile(name.c_str(), transferKind, numbers, names);
    default: {
        int objectKindFound = 0;
        return readOvlBinaryFile(name.c_str(), transferKind, objectKindFound, numbers, names);
    }
    }
}

int writeFileOfKind(int fileKind, const std::string& name, int objectKind, int transferKind)
{
    switch (fileKind) {
    case MapInfoMif: return writeMifFile(name.c_str(), objectKind);
    case OvlAscii: return writeOvlAsciiFile(name.c_str(), objectKind);
    case Gpx: return writeGpxFile(name.c_str(), objectKind, transferKind);
    default: return writeOvlBinaryFile(name.c_str(), objectKind);
    }
}

}  // namespace

const char* defaultExtension(int fileKind)
{
    return fileKind == MapInfoMif ? "mif" : fileKind == Gpx ? "gpx" : "ovl";
}

int convertBetweenFileKinds(int fromKind, int toKind, int objectKind, int transferKind, const std::string& input,
                            const std::string& output)
{
    resetNamingState();
    if (!readFileOfKind(fromKind, input, transferKind)) return 0;
    const LinePointResult lines = countLinePoints(objectKind);
    if (lines.valid == 0) {
        showError(kNoValidPositionError);
        return 0;
    }
    if (!writeFileOfKind(toKind, output, objectKind, transferKind)) {
        showError(kWriteError);
        return 0;
    }
    char text[96];
    std::snprintf(text, sizeof text, "Umwandlung erfolgreich beendet (%05d Punkte).", lines.valid);
    showInfo(text);
    return 1;
}
