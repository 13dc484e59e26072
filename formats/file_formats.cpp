// The table of file types and the adapters that give every reader and
// writer the one shape the table holds.

#include "formats/file_formats.h"

#include <iterator>

#include "platform/settings.h"
#include "formats/fit.h"
#include "formats/gpx.h"
#include "formats/mif.h"
#include "formats/ovl_ascii.h"
#include "formats/ovl_binary.h"

namespace {

int readMif(const char* fileName, TransferKind transferKind, ReadFacts& facts) {
    return readMifFile(fileName, transferKind, facts.hasNumbers, facts.hasNames, &facts.naming);
}

int readOvlAscii(const char* fileName, TransferKind transferKind, ReadFacts& facts) {
    int separateTracks = 0;
    const int ok = readOvlAsciiFile(fileName, transferKind, separateTracks, facts.askSeparateTracks, &facts.naming);
    facts.separateTracksAnswered = separateTracks != 0;
    return ok;
}

int readOvlBinary(const char* fileName, TransferKind transferKind, ReadFacts& facts) {
    int objectKindFound = 0;
    return readOvlBinaryFile(fileName, transferKind, objectKindFound, facts.hasNumbers, facts.hasNames, nullptr,
                             &facts.naming);
}

int readGpx(const char* fileName, TransferKind transferKind, ReadFacts& facts) {
    return readGpxFile(fileName, transferKind, facts.hasNumbers, facts.hasNames, &facts.naming);
}

int readFit(const char* fileName, TransferKind, ReadFacts&) { return readFitFile(fileName); }

int writeMif(const char* fileName, ObjectKind objectKind, TransferKind) { return writeMifFile(fileName, objectKind); }

int writeOvlAscii(const char* fileName, ObjectKind objectKind, TransferKind) {
    return writeOvlAsciiFile(fileName, objectKind);
}

int writeOvlBinary(const char* fileName, ObjectKind objectKind, TransferKind) {
    return writeOvlBinaryFile(fileName, objectKind);
}

int writeGpx(const char* fileName, ObjectKind objectKind, TransferKind transferKind) {
    return writeGpxFile(fileName, objectKind, transferKind);
}

const char kOverlayFilter[] = "TOP50-Overlay-Dateien (*.ovl)";
const char kOverlayOpenTitle[] = "Wegmate  --  OVL-Datei öffnen zum Senden an GPS-Gerät";
const char kOverlaySaveTitle[] = "Wegmate  --  OVL-Datei schreiben";

const FileFormat kFileFormats[] = {
    {MapInfoMif, "mif", "MapInfo MIF", "mif", "*.mif", FileFilter::MapInfo, "MapInfo-MIF-Dateien   (*.mif)",
     "MapInfo-MIF-Dateien (*.mif)", "Wegmate  --  MIF-Datei schreiben",
     "Wegmate  --  MIF-Datei öffnen zum Senden an GPS-Gerät", true, false, readMif, writeMif},
    {OvlAscii, "ovl-ascii", "TOP50-OVL-ASCII", "ovl", "*.ovl", FileFilter::Overlay, kOverlayFilter, kOverlayFilter,
     kOverlaySaveTitle, kOverlayOpenTitle, false, false, readOvlAscii, writeOvlAscii},
    {OvlBinary, "ovl-binary", "TOP50-OVL-Binär (Alt)", "ovl", "*.ovl", FileFilter::Overlay, kOverlayFilter,
     kOverlayFilter, kOverlaySaveTitle, kOverlayOpenTitle, true, false, readOvlBinary, writeOvlBinary},
    {Gpx, "gpx", "GPX", "gpx", "*.gpx", FileFilter::Gpx, "GPX-Dateien (*.gpx)", "GPX-Dateien (*.gpx)",
     "Wegmate  --  GPX-Datei schreiben", "Wegmate  --  GPX-Datei öffnen zum Senden an GPS-Gerät", true, true, readGpx,
     writeGpx},
};

static_assert(std::size(kFileFormats) == kFileTypeCount, "the stored file type index covers every row");

// The types that are read and never written: outside the choice.
const FileFormat kReadOnlyFormats[] = {
    {Fit, "fit", "FIT", "fit", "*.fit", FileFilter::Fit, "FIT-Dateien (*.fit)", "FIT-Dateien (*.fit)", nullptr,
     "Wegmate  --  FIT-Datei öffnen", false, false, readFit, nullptr, true},
};

const FileFormat* findIn(std::span<const FileFormat> rows, auto matches) {
    for (const FileFormat& format : rows)
        if (matches(format)) return &format;
    return nullptr;
}

}  // namespace

std::span<const FileFormat> fileFormats() { return kFileFormats; }

const FileFormat& fileFormat(FileKind kind) {
    auto ofKind = [kind](const FileFormat& format) { return format.kind == kind; };
    if (const FileFormat* format = findIn(kFileFormats, ofKind)) return *format;
    if (const FileFormat* format = findIn(kReadOnlyFormats, ofKind)) return *format;
    return fileFormat(OvlBinary);
}

const FileFormat* findFileFormat(std::string_view name) {
    return findIn(kFileFormats, [name](const FileFormat& format) { return name == format.name; });
}

const FileFormat* findInputFileFormat(std::string_view name) {
    if (const FileFormat* format = findFileFormat(name)) return format;
    return findIn(kReadOnlyFormats, [name](const FileFormat& format) { return name == format.name; });
}

const FileFormat& fileFormatWithFilter(FileFilter filter) {
    auto withFilter = [filter](const FileFormat& format) { return format.filter == filter; };
    if (const FileFormat* format = findIn(kFileFormats, withFilter)) return *format;
    if (const FileFormat* format = findIn(kReadOnlyFormats, withFilter)) return *format;
    return kFileFormats[0];
}
