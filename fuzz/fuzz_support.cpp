// Scratch files and table checks for the fuzz entries.

#include "fuzz_support.h"

#include "fuzz_entries.h"
#include "model/point_table.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string scratch;

void removeScratch() {
    if (scratch.empty()) return;
    if (DIR* dir = opendir(scratch.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
            unlink((scratch + "/" + entry->d_name).c_str());
        }
        closedir(dir);
    }
    rmdir(scratch.c_str());
}

}  // namespace

const std::string& fuzzScratchDirectory() {
    if (scratch.empty()) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/wegmate-fuzz-XXXXXX";
        char buffer[512];
        std::snprintf(buffer, sizeof buffer, "%s", pattern.c_str());
        if (mkdtemp(buffer) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        scratch = buffer;
        std::atexit(removeScratch);
    }
    return scratch;
}

std::string writeFuzzFile(const char* name, const uint8_t* data, size_t size) {
    std::string path = fuzzScratchDirectory() + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return "";
    bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
    ok = std::fclose(file) == 0 && ok;
    return ok ? path : "";
}

namespace {

bool terminated(const char (&text)[kNameSize]) { return std::memchr(text, 0, kNameSize) != nullptr; }

}  // namespace

void checkPointTable() {
    FUZZ_CHECK(pointTable.count >= 0 && pointTable.count <= kMaxPoints);
    for (int i = 0; i < pointTable.count; i++) {
        const PointRecord& r = pointTable.records[i];
        FUZZ_CHECK(terminated(r.NameOfPoint));
        FUZZ_CHECK(terminated(r.NameOfRouteOrTrack));
        FUZZ_CHECK(terminated(r.Comment));
        FUZZ_CHECK(r.NewSegment == 0 || r.NewSegment == 1);
        FUZZ_CHECK(r.HasSymbol == 0 || r.HasSymbol == 1);
    }
}

void appendSerialFrame(std::vector<uint8_t>& stream, uint8_t id, const uint8_t* data, int size) {
    unsigned sum = id + (unsigned)size;
    auto stuffed = [&stream](uint8_t b) {
        stream.push_back(b);
        if (b == 16) stream.push_back(16);
    };
    stream.push_back(16);
    stream.push_back(id);
    stuffed((uint8_t)size);
    for (int i = 0; i < size; i++) {
        stuffed(data[i]);
        sum += data[i];
    }
    stuffed((uint8_t)(0x100 - (sum & 0xFF)));
    stream.push_back(16);
    stream.push_back(3);
}
