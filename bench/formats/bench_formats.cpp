// Writing and reading back a full table in every file format, as points and
// as lines (GPX: waypoints, or tracks with their segments), and gpsbabel
// converting the same GPX file. The readers take a line only while the table keeps room after it
// (and the ASCII reader checks the room before every line, the closing
// sections included), so the largest table that comes back complete in every
// format holds 19999 points.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include <expat.h>

#include "platform/platform.h"
#include "formats/gpx.h"
#include "formats/mif.h"
#include "formats/ovl_ascii.h"
#include "formats/ovl_binary.h"
#include "model/names.h"
#include "model/point_table.h"

namespace {

// Accepts the initials dialog with "AA" and drops every box.
bool acceptInitials(const InitialsDialog&, std::string& entry) {
    entry = "AA";
    return true;
}

std::string scratchDirectory() {
    char pattern[] = "/tmp/wegmate-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    return made ? made : "/tmp";
}

const std::string& directory() {
    static const std::string path = scratchDirectory();
    return path;
}

constexpr int kPoints = kMaxPoints - 1;

// 19999 points in tracks of 500, with names, comments, times and altitudes.
void fillTable() {
    pointTable.reset();
    for (int i = 0; i < kPoints; i++) {
        PointRecord& r = pointTable.records[i];
        memset(&r, 0, sizeof r);
        r.NumberOfRouteOrTrack = i / 500 + 1;
        r.NumberOfPoint = i % 500 + 1;
        snprintf(r.NameOfPoint, kNameSize, "WP%05d", i);
        snprintf(r.NameOfRouteOrTrack, kNameSize, "TRACK %d", i / 500 + 1);
        snprintf(r.Comment, kNameSize, "KOMMENTAR %d", i);
        r.Longitude = 7.0 + i * 1e-5;
        r.Latitude = 50.0 + i * 1e-5;
        r.Time = 86400 * 7000 + i;
        r.NewSegment = i % 500 == 0;
        r.Altitude = (float)(100 + i % 900);
        r.HasSymbol = 1;
        r.Symbol = 18;
    }
    pointTable.count = kPoints;
}

struct Quiet {
    Platform table{};
    Quiet() {
        table = platform();
        table.initialsDialog = acceptInitials;
        installPlatform(&table);
    }
};

void prepare() {
    static Quiet quiet;
    fillTable();
}

void writeAndRead(benchmark::State& state, FileKind fileKind) {
    prepare();
    const int objectKind = (int)state.range(0);
    std::string name = directory() + (fileKind == MapInfoMif ? "/bench.mif" : "/bench.ovl");
    for (auto _ : state) {
        state.PauseTiming();
        fillTable();
        countLinePoints(objectKind);
        state.ResumeTiming();
        int ok = 0;
        bool numbers = false, names = false;
        int separate = 0, kind = 0;
        switch (fileKind) {
        case MapInfoMif:
            ok = writeMifFile(name.c_str(), objectKind) &&
                 readMifFile(name.c_str(), TransferKind::Tracks, numbers, names);
            break;
        case OvlAscii:
            ok = writeOvlAsciiFile(name.c_str(), objectKind) &&
                 readOvlAsciiFile(name.c_str(), TransferKind::Tracks, separate, false);
            break;
        default:
            ok = writeOvlBinaryFile(name.c_str(), objectKind) &&
                 readOvlBinaryFile(name.c_str(), TransferKind::Tracks, kind, numbers, names);
            break;
        }
        if (!ok || pointTable.count != kPoints) state.SkipWithError("round trip failed");
        benchmark::DoNotOptimize(pointTable.records[kPoints - 1].Latitude);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_Mif(benchmark::State& state) { writeAndRead(state, MapInfoMif); }
void BM_OvlAscii(benchmark::State& state) { writeAndRead(state, OvlAscii); }
void BM_OvlBinary(benchmark::State& state) { writeAndRead(state, OvlBinary); }

const char* extensionOf(FileKind fileKind) {
    return fileKind == MapInfoMif ? ".mif" : fileKind == Gpx ? ".gpx" : ".ovl";
}

int writeFile(FileKind fileKind, const std::string& name, int objectKind) {
    switch (fileKind) {
    case MapInfoMif: return writeMifFile(name.c_str(), objectKind);
    case Gpx: return writeGpxFile(name.c_str(), objectKind, TransferKind::Tracks);
    case OvlAscii: return writeOvlAsciiFile(name.c_str(), objectKind);
    default: return writeOvlBinaryFile(name.c_str(), objectKind);
    }
}

// The writer alone (including the flush to disk of the atomic replacement).
void writeOnly(benchmark::State& state, FileKind fileKind) {
    prepare();
    const int objectKind = (int)state.range(0);
    std::string name = directory() + "/write" + std::to_string(static_cast<int>(fileKind)) + extensionOf(fileKind);
    countLinePoints(objectKind);
    for (auto _ : state)
        if (!writeFile(fileKind, name, objectKind)) state.SkipWithError("write failed");
    state.SetItemsProcessed(state.iterations() * kPoints);
}

// The reader alone.
void readOnly(benchmark::State& state, FileKind fileKind) {
    prepare();
    const int objectKind = (int)state.range(0);
    std::string name = directory() + "/read" + std::to_string(static_cast<int>(fileKind)) + extensionOf(fileKind);
    countLinePoints(objectKind);
    if (!writeFile(fileKind, name, objectKind)) state.SkipWithError("write failed");
    for (auto _ : state) {
        bool numbers = false, names = false;
        int separate = 0, kind = 0, ok;
        if (fileKind == MapInfoMif)
            ok = readMifFile(name.c_str(), TransferKind::Tracks, numbers, names);
        else if (fileKind == OvlAscii)
            ok = readOvlAsciiFile(name.c_str(), TransferKind::Tracks, separate, false);
        else if (fileKind == Gpx)
            ok = readGpxFile(name.c_str(), TransferKind::Tracks, numbers, names);
        else
            ok = readOvlBinaryFile(name.c_str(), TransferKind::Tracks, kind, numbers, names);
        if (!ok || pointTable.count != kPoints) state.SkipWithError("read failed");
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_MifWrite(benchmark::State& state) { writeOnly(state, MapInfoMif); }
void BM_MifRead(benchmark::State& state) { readOnly(state, MapInfoMif); }
void BM_OvlAsciiWrite(benchmark::State& state) { writeOnly(state, OvlAscii); }
void BM_OvlAsciiRead(benchmark::State& state) { readOnly(state, OvlAscii); }
void BM_GpxWrite(benchmark::State& state) { writeOnly(state, Gpx); }
void BM_GpxRead(benchmark::State& state) { readOnly(state, Gpx); }

// expat alone on the file that BM_GpxRead reads, with the same parser
// settings and handlers that do nothing: the part of the reading time that
// no change to our handlers can take away.
void XMLCALL ignoreStart(void* data, const XML_Char*, const XML_Char**) { ++*static_cast<long*>(data); }
void XMLCALL ignoreEnd(void*, const XML_Char*) {}

void BM_GpxExpatOnly(benchmark::State& state) {
    prepare();
    const int objectKind = (int)state.range(0);
    std::string name = directory() + "/expat.gpx";
    countLinePoints(objectKind);
    if (!writeFile(Gpx, name, objectKind)) state.SkipWithError("write failed");
    for (auto _ : state) {
        FILE* file = fopen(name.c_str(), "rb");
        if (!file) {
            state.SkipWithError("open failed");
            break;
        }
        long elements = 0;
        XML_Parser parser = XML_ParserCreateNS(nullptr, ' ');
        XML_SetUserData(parser, &elements);
        XML_SetElementHandler(parser, ignoreStart, ignoreEnd);
        XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
        bool ok = true;
        for (bool last = false; ok && !last;) {
            const int chunk = 1 << 16;
            void* buffer = XML_GetBuffer(parser, chunk);
            size_t got = buffer ? fread(buffer, 1, chunk, file) : 0;
            last = got < (size_t)chunk;
            ok = buffer && XML_ParseBuffer(parser, (int)got, last) == XML_STATUS_OK;
        }
        XML_ParserFree(parser);
        fclose(file);
        if (!ok || elements < kPoints) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(elements);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

// gpsbabel reading the file that BM_GpxWrite writes and writing it as GPX
// again, one process per conversion.
void BM_GpsbabelGpx(benchmark::State& state) {
    prepare();
    const int objectKind = (int)state.range(0);
    std::string name = directory() + "/babel.gpx";
    countLinePoints(objectKind);
    if (std::system("command -v gpsbabel >/dev/null 2>&1") != 0) {
        state.SkipWithError("gpsbabel not installed");
        return;
    }
    if (!writeFile(Gpx, name, objectKind)) state.SkipWithError("write failed");
    std::string command = "gpsbabel -i gpx -f '" + name + "' -o gpx -F '" + directory() + "/babel-out.gpx'";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("gpsbabel failed");
    state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_OvlBinaryWrite(benchmark::State& state) { writeOnly(state, OvlBinary); }
void BM_OvlBinaryRead(benchmark::State& state) { readOnly(state, OvlBinary); }

// Argument: 2 = point objects, 1 = line objects.
BENCHMARK(BM_Mif)->Arg(PointObjects)->Arg(LineObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OvlAscii)->Arg(PointObjects)->Arg(LineObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OvlBinary)->Arg(PointObjects)->Arg(LineObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MifWrite)->Arg(PointObjects)->Arg(LineObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MifRead)->Arg(PointObjects)->Arg(LineObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OvlAsciiWrite)->Arg(PointObjects)->Arg(LineObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OvlAsciiRead)->Arg(PointObjects)->Arg(LineObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GpxWrite)->Arg(PointObjects)->Arg(LineObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GpxRead)->Arg(PointObjects)->Arg(LineObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GpxExpatOnly)->Arg(PointObjects)->Arg(LineObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GpsbabelGpx)->Arg(PointObjects)->Arg(LineObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OvlBinaryWrite)->Arg(PointObjects)->Arg(LineObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OvlBinaryRead)->Arg(PointObjects)->Arg(LineObjects)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
