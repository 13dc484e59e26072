// FIT activities: the header (12 or 14 bytes, ".FIT"), definition and data
// messages in either byte order, compressed-timestamp headers, developer
// fields (skipped by their size), chained FIT files, and the CRC of header
// and file. Only the record messages (number 20) give points.

#include "formats/fit.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "formats/format_helpers.h"
#include "model/field_values.h"
#include "model/point_table.h"
#include "model/times.h"
#include "platform/platform.h"

namespace {

const char kMsgOpen[] = "Fehler beim Öffnen der FIT-Eingabedatei.";
const char kMsgRead[] = "Fehler beim Lesen der FIT-Eingabedatei.";
const char kMsgNotFit[] = "Keine gültige FIT-Datei!";
const char kMsgNoPoints[] = "FIT-Datei enthält keine Track-Punkte mit Position.";
const char kMsgCapacity[] = "Mengenbegrenzung von Wegpunkten / Track-Punkten überschritten.";
const char kMsgDamaged[] =
    "Die FIT-Datei %s ist beschädigt oder unvollständig. \nNur die Punkte vor der beschädigten Stelle werden gelesen.";
const char kMsgDamagedHere[] = "FIT-Datei beschädigt oder unvollständig.";
const char kMsgDamagedEmpty[] =
    "Die FIT-Datei %s ist beschädigt oder unvollständig \nund enthält vor der beschädigten Stelle keine Track-Punkte.";

constexpr uint16_t kRecordMessage = 20;
constexpr uint8_t kLatitudeField = 0;
constexpr uint8_t kLongitudeField = 1;
constexpr uint8_t kAltitudeField = 2;
constexpr uint8_t kEnhancedAltitudeField = 78;
constexpr uint8_t kTimestampField = 253;
constexpr uint32_t kNoPosition = 0x7FFFFFFF;
// Times below this count seconds from the unit's power-on, not from the epoch.
constexpr uint32_t kFirstDateTime = 0x10000000;

// The FIT CRC-16 (polynomial 0xA001, reflected), four bits at a time.
constexpr uint16_t kCrcTable[16] = {0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00, 0x2800, 0xE401,
                                    0xA001, 0x6C00, 0x7800, 0xB401, 0x5000, 0x9C01, 0x8801, 0x4400};

unsigned fitCrc(const uint8_t* bytes, size_t size) {
    unsigned crc = 0;
    for (size_t i = 0; i < size; i++) {
        crc = (crc >> 4) ^ kCrcTable[crc & 0xF] ^ kCrcTable[bytes[i] & 0xF];
        crc = (crc >> 4) ^ kCrcTable[crc & 0xF] ^ kCrcTable[bytes[i] >> 4];
    }
    return crc;
}

uint32_t fieldValue(const uint8_t* p, int size, bool bigEndian) {
    uint32_t value = 0;
    for (int i = 0; i < size; i++) value |= (uint32_t)p[bigEndian ? size - 1 - i : i] << (8 * i);
    return value;
}

// A local message type as its definition message set it up.
struct Definition {
    bool defined = false;
    bool bigEndian = false;
    uint16_t message = 0;
    uint32_t size = 0;  // the bytes of a data message after its header
    // Where the fields read lie in a data message; -1 when the message does
    // not have them in their usual size.
    int timestamp = -1, latitude = -1, longitude = -1, altitude = -1, enhancedAltitude = -1;
};

class FitReader {
  public:
    FitReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

    // Reads every FIT file of the bytes into the table, after what it holds.
    void run() {
        size_t at = 0;
        do {
            if (!readOneFile(at)) return;
        } while (at < size_);
    }

    bool isFit = false;    // the bytes start with a FIT header
    bool damaged = false;  // the reading stopped at damage
    bool full = false;     // the reading stopped at a full table

  private:
    // The FIT file at bytes_[at]; at moves past it. false when the reading
    // stops here.
    bool readOneFile(size_t& at) {
        const uint8_t* p = bytes_ + at;
        const size_t available = size_ - at;
        if (available < 12 || std::memcmp(p + 8, ".FIT", 4) != 0) return stop(damaged);
        isFit = true;
        const size_t headerSize = p[0];
        if ((headerSize != 12 && headerSize != 14) || available < headerSize) return stop(damaged);
        if (headerSize == 14 && get16(p + 12) != 0 && get16(p + 12) != fitCrc(p, 12)) return stop(damaged);
        const uint64_t dataEnd = headerSize + (uint64_t)get32(p + 4);
        const bool complete = dataEnd + 2 <= available;
        if (complete && get16(p + dataEnd) != fitCrc(p, dataEnd)) return stop(damaged);

        track_ = 0;
        points_ = 0;
        hasStart_ = false;
        const int first = pointTable.count;
        // A file cut short: its messages up to the cut, its CRC not among them.
        const size_t end = dataEnd < available ? (size_t)dataEnd : available;
        const bool read = readMessages(p + headerSize, end - headerSize);
        char name[24] = "";
        if (hasStart_) formatTime((int32_t)start_, name);
        for (int i = first; i < pointTable.count; i++) copyName(pointTable.records[i].NameOfRouteOrTrack, name);
        if (!read) return false;
        if (!complete) return stop(damaged);
        at += dataEnd + 2;
        return true;
    }

    bool readMessages(const uint8_t* p, size_t size) {
        Definition definitions[16];
        bool timeKnown = false;
        uint32_t lastTime = 0;
        size_t at = 0;
        while (at < size) {
            const uint8_t header = p[at++];
            if ((header & 0xC0) == 0x40) {
                const size_t taken = readDefinition(definitions[header & 0x0F], (header & 0x20) != 0, p + at, size - at);
                if (taken == 0) return stop(damaged);
                at += taken;
                continue;
            }
            const bool compressed = (header & 0x80) != 0;
            const Definition& d = definitions[compressed ? (header >> 5) & 0x03 : header & 0x0F];
            if (!d.defined || d.size > size - at) return stop(damaged);
            const uint8_t* fields = p + at;
            at += d.size;
            bool timed = false;
            if (compressed) {
                // The offset's five bits replace those of the last time; a
                // smaller offset has rolled over.
                if (timeKnown) lastTime += ((header & 0x1Fu) - lastTime) & 0x1Fu;
                timed = timeKnown;
            } else if (d.timestamp >= 0) {
                const uint32_t time = fieldValue(fields + d.timestamp, 4, d.bigEndian);
                if (time != 0xFFFFFFFF) {
                    lastTime = time;
                    timeKnown = timed = true;
                }
            }
            if (d.message == kRecordMessage && !takeRecord(d, fields, timed, lastTime)) return stop(full);
        }
        return true;
    }

    // The definition message at p: the bytes it takes, 0 when it is damaged.
    static size_t readDefinition(Definition& definition, bool developerFields, const uint8_t* p, size_t size) {
        if (size < 5 || p[1] > 1) return 0;
        Definition d;
        d.defined = true;
        d.bigEndian = p[1] == 1;
        d.message = (uint16_t)fieldValue(p + 2, 2, d.bigEndian);
        size_t at = 5;
        const size_t fields = p[4];
        if (size - at < fields * 3) return 0;
        for (size_t i = 0; i < fields; i++, at += 3) {
            const uint8_t number = p[at], fieldSize = p[at + 1];
            const int offset = (int)d.size;
            d.size += fieldSize;
            if (fieldSize == 4) {
                if (number == kTimestampField) d.timestamp = offset;
                if (number == kLatitudeField) d.latitude = offset;
                if (number == kLongitudeField) d.longitude = offset;
                if (number == kEnhancedAltitudeField) d.enhancedAltitude = offset;
            } else if (fieldSize == 2 && number == kAltitudeField) {
                d.altitude = offset;
            }
        }
        if (developerFields) {
            if (size - at < 1) return 0;
            const size_t count = p[at++];
            if (size - at < count * 3) return 0;
            for (size_t i = 0; i < count; i++, at += 3) d.size += p[at + 1];
        }
        definition = d;
        return at;
    }

    // A record message: a point when it has a position. false when the
    // table is full.
    bool takeRecord(const Definition& d, const uint8_t* fields, bool timed, uint32_t time) {
        const bool isDate = timed && time >= kFirstDateTime && time <= (uint32_t)lastDate();
        if (isDate && !hasStart_) {
            start_ = time;
            hasStart_ = true;
        }
        if (d.latitude < 0 || d.longitude < 0) return true;
        const uint32_t latitude = fieldValue(fields + d.latitude, 4, d.bigEndian);
        const uint32_t longitude = fieldValue(fields + d.longitude, 4, d.bigEndian);
        if (latitude == kNoPosition || longitude == kNoPosition) return true;
        if (pointTable.count >= kMaxPoints) return false;
        PointRecord& r = pointTable.records[pointTable.count++];
        std::memset(&r, 0, sizeof r);
        constexpr double kDegreesPerSemicircle = 180.0 / 2147483648.0;
        r.Latitude = (int32_t)latitude * kDegreesPerSemicircle;
        r.Longitude = (int32_t)longitude * kDegreesPerSemicircle;
        if (isDate)
            r.Time = (int32_t)time;
        else if (timed)
            pointTable.fieldsLeftEmpty++;
        // Altitudes in fifths of a metre above -500 m.
        r.Altitude = kNoAltitude;
        uint32_t altitude = 0xFFFFFFFF;
        if (d.enhancedAltitude >= 0) altitude = fieldValue(fields + d.enhancedAltitude, 4, d.bigEndian);
        if (altitude == 0xFFFFFFFF && d.altitude >= 0) {
            altitude = fieldValue(fields + d.altitude, 2, d.bigEndian);
            if (altitude == 0xFFFF) altitude = 0xFFFFFFFF;
        }
        if (altitude != 0xFFFFFFFF) {
            const double metres = altitude / 5.0 - 500.0;
            if (isAltitudeInRange(metres))
                r.Altitude = (float)metres;
            else
                pointTable.fieldsLeftEmpty++;
        }
        if (track_ == 0) track_ = ++tracks_;
        r.NumberOfRouteOrTrack = track_;
        r.NumberOfPoint = ++points_;
        r.NewSegment = points_ == 1;
        return true;
    }

    // The last time a point keeps.
    static int32_t lastDate() {
        static const int32_t last = parseTime("2050-12-31 23:59:59");
        return last;
    }

    bool stop(bool& reason) {
        reason = true;
        return false;
    }

    const uint8_t* bytes_;
    size_t size_;
    int tracks_ = 0;  // track logs so far
    int track_ = 0;   // the number of the FIT file's track log, 0 before its first point
    int points_ = 0;  // its points so far
    bool hasStart_ = false;
    uint32_t start_ = 0;
};

bool loadFile(const char* fileName, std::vector<uint8_t>& bytes) {
    FILE* file = fileName ? std::fopen(fileName, "rb") : nullptr;
    if (!file) {
        showError(kMsgOpen);
        return false;
    }
    uint8_t chunk[1 << 16];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    if (!ok) showError(kMsgRead);
    return ok;
}

std::string naming(const char* format, const char* fileName) {
    std::string text(std::strlen(format) + std::strlen(fileName), '\0');
    text.resize(std::snprintf(text.data(), text.size() + 1, format, fileName));
    return text;
}

}  // namespace

int readFitFile(const char* fileName) {
    std::vector<uint8_t> bytes;
    if (!loadFile(fileName, bytes)) return 0;
    pointTable.reset();
    FitReader reader(bytes.data(), bytes.size());
    reader.run();
    if (reader.full) {
        showError(kMsgCapacity);
        return 0;
    }
    if (!reader.isFit) {
        showError(kMsgNotFit);
        return 0;
    }
    if (pointTable.count == 0) {
        showError(reader.damaged ? naming(kMsgDamagedEmpty, fileName).c_str() : kMsgNoPoints);
        return 0;
    }
    if (reader.damaged) showWarning(naming(kMsgDamaged, fileName).c_str());
    return leaveOutInvalidPositions();
}

int appendFitTracks(const char* fileName, const char* capacityMessage) {
    std::vector<uint8_t> bytes;
    if (!loadFile(fileName, bytes)) return 0;
    const int first = pointTable.count;
    const int leftEmpty = pointTable.fieldsLeftEmpty;
    FitReader reader(bytes.data(), bytes.size());
    reader.run();
    if (reader.full) {
        pointTable.count = first;
        pointTable.fieldsLeftEmpty = leftEmpty;
        showError(capacityMessage ? capacityMessage : kMsgCapacity);
        return 0;
    }
    if (reader.damaged) showWarning(naming(kMsgDamaged, fileName).c_str());
    return 1;
}

FitAppend appendFitTracksOf(const std::vector<uint8_t>& bytes, const char* capacityMessage, std::string& message) {
    const int first = pointTable.count;
    const int leftEmpty = pointTable.fieldsLeftEmpty;
    FitReader reader(bytes.data(), bytes.size());
    reader.run();
    if (reader.full || !reader.isFit || reader.damaged) {
        pointTable.count = first;
        pointTable.fieldsLeftEmpty = leftEmpty;
        message = reader.full ? (capacityMessage ? capacityMessage : kMsgCapacity)
                  : !reader.isFit ? kMsgNotFit
                                  : kMsgDamagedHere;
        return reader.full ? FitAppend::TableFull : FitAppend::FileFault;
    }
    return FitAppend::Read;
}
