// Reading a FIT activity of 10000 track points, as a watch writes it: one
// record message a second with time, position, altitude, distance, speed
// and heart rate, and a lap and a session at the end.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "formats/fit.h"
#include "model/point_table.h"

namespace {

constexpr int kFitPoints = 10000;

unsigned fitCrc(const std::string& bytes) {
    unsigned crc = 0;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int bit = 0; bit < 8; bit++) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

void put(std::string& out, uint32_t value, int size) {
    for (int i = 0; i < size; i++) out += char(value >> 8 * i);
}

std::string activity() {
    std::string body;
    // Record: timestamp, lat, long, altitude, distance, speed, heart rate.
    const int fields[][3] = {{253, 4, 0x86}, {0, 4, 0x85}, {1, 4, 0x85}, {2, 2, 0x84},
                             {5, 4, 0x86},   {6, 2, 0x84}, {3, 1, 0x02}};
    body += {0x40, 0, 0};
    put(body, 20, 2);
    body += char(7);
    for (const auto& f : fields) body += {char(f[0]), char(f[1]), char(f[2])};
    for (int i = 0; i < kFitPoints; i++) {
        body += '\0';
        put(body, 1100000000u + i, 4);
        put(body, (uint32_t)(570000000 + i * 1000), 4);
        put(body, (uint32_t)(-167000000 + i * 700), 4);
        put(body, 2617 + i % 50, 2);
        put(body, i * 300, 4);
        put(body, 3000, 2);
        body += char(120 + i % 40);
    }
    // Lap and session: no points.
    for (int message : {19, 18}) {
        body += {0x41, 0, 0};
        put(body, message, 2);
        body += {2, char(253), 4, char(0x86), 7, 4, char(0x86)};
        body += char(0x01);
        put(body, 1100000000u + kFitPoints, 4);
        put(body, kFitPoints * 1000, 4);
    }
    std::string file = {14, 0x20, 0x08, 0x08};
    put(file, (uint32_t)body.size(), 4);
    file += ".FIT";
    put(file, fitCrc(file), 2);
    file += body;
    put(file, fitCrc(file), 2);
    return file;
}

void BM_FitRead(benchmark::State& state) {
    char path[] = "/tmp/wegmate-bench-fit-XXXXXX";
    const int fd = mkstemp(path);
    const std::string bytes = activity();
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != (ssize_t)bytes.size()) {
        state.SkipWithError("cannot write the activity");
        return;
    }
    close(fd);
    for (auto _ : state) {
        if (readFitFile(path) != 1 || pointTable.count != kFitPoints) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(pointTable.records[kFitPoints - 1].Latitude);
    }
    state.SetItemsProcessed(state.iterations() * kFitPoints);
    state.counters["bytes"] = (double)bytes.size();
    unlink(path);
}

}  // namespace

BENCHMARK(BM_FitRead)->Unit(benchmark::kMillisecond);
