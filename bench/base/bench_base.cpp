// Upload preparation of a full table: unique names, sort, split. The literal
// algorithms (tests/base/reference_algorithms.h) run on smaller tables for
// comparison.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "platform/platform.h"
#include "platform/settings.h"
#include "tests/base/reference_algorithms.h"
#include "model/names.h"
#include "model/point_table.h"
#include "model/splitting.h"

namespace {

int boxesShown = 0;

void countBox(const char*, const char*, BoxIcon) { ++boxesShown; }
bool answerNo(QuestionId, const char*, const char*, int) { return false; }
bool answerNoOkCancel(QuestionId, const char*, const char*) { return false; }
bool noOpen(const char*, FileFilter, std::string&) { return false; }
bool noSave(const char*, FileFilter, const char*, std::string&) { return false; }
void ignoreText(const char*) {}
void nothing() {}
void ignoreCursor(bool) {}
void ignorePause(int) {}
bool answerInitials(const InitialsDialog&, std::string& entry) {
    entry = "KB";
    return true;
}
bool cancelId(const RouteTrackIdDialog&, std::string&) { return false; }
bool cancelSelect(const TrackSelectDialog&, int&) { return false; }
void ignoreInfo(const char*, const char*) {}

void noCounts(long, long) {}

const Platform benchPlatform = {
    .messageBox = countBox,
    .askYesNo = answerNo,
    .askOkCancel = answerNoOkCancel,
    .chooseFileToOpen = noOpen,
    .chooseFileToSave = noSave,
    .setStatusLine = ignoreText,
    .progress = noCounts,
    .pumpEvents = nothing,
    .repaintMainWindow = nothing,
    .setWaitCursor = ignoreCursor,
    .beep = nothing,
    .pause = ignorePause,
    .initialsDialog = answerInitials,
    .routeTrackIdDialog = cancelId,
    .trackSelectDialog = cancelSelect,
    .deviceInfoDialog = ignoreInfo,
};

std::vector<PointRecord> source;

PointRecord point(int route, int number, const char* name) {
    PointRecord r{};
    r.NumberOfRouteOrTrack = route;
    r.NumberOfPoint = number;
    copyName(r.NameOfPoint, name);
    r.Altitude = kNoAltitude;
    return r;
}

// 20000 (or n) records with one and the same name.
void identicalNames(int n) {
    source.clear();
    for (int k = 0; k < n; ++k) source.push_back(point(1, k + 1, "GIPFEL"));
}

// Reverse order with repeated keys: each point number three times.
void reverseRepeated(int n) {
    source.clear();
    for (int k = 0; k < n; ++k) source.push_back(point(1, (n - k) / 3, ""));
}

// Groups of about sqrt(n) equal keys, each record followed by smaller keys:
// the case that makes the group rotations of the sort most expensive.
void cyclicDescending(int n) {
    source.clear();
    int m = 1;
    while (m * m < n) ++m;
    for (int k = 0; k < n; ++k) source.push_back(point(0, m - 1 - (k % m), ""));
}

// A realistic upload: routes of mixed length, repeated and missing names.
void mixedUpload(int n) {
    source.clear();
    std::mt19937 random(12345);
    const char* names[] = {"", "HAUS", "KIRCHE", "BRUECKE", "AB", "GIPFEL"};
    for (int k = 0; k < n; ++k) {
        PointRecord r = point(static_cast<int>(random() % 40), static_cast<int>(random() % 700), names[random() % 6]);
        copyName(r.NameOfRouteOrTrack, "ROUTE");
        source.push_back(r);
    }
}

void loadTable() {
    pointTable.reset();
    std::memcpy(pointTable.records, source.data(), source.size() * sizeof(PointRecord));
    pointTable.count = static_cast<int>(source.size());
}

void prepare() {
    installPlatform(&benchPlatform);
    settings = Settings{};
}

template <void (*Fill)(int)>
void BM_Sort(benchmark::State& state) {
    prepare();
    Fill(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        loadTable();
        state.ResumeTiming();
        sortPointTable();
        benchmark::DoNotOptimize(pointTable.records[0].NumberOfPoint);
    }
}

template <void (*Fill)(int)>
void BM_LiteralSort(benchmark::State& state) {
    prepare();
    Fill(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        loadTable();
        state.ResumeTiming();
        referenceSort(pointTable.records, pointTable.count);
        benchmark::DoNotOptimize(pointTable.records[0].NumberOfPoint);
    }
}

template <void (*Fill)(int)>
void BM_Names(benchmark::State& state) {
    prepare();
    Fill(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        loadTable();
        NamingState naming;
        state.ResumeTiming();
        makePointNamesUnique(naming);
        benchmark::DoNotOptimize(pointTable.records[0].NameOfPoint[0]);
    }
}

template <void (*Fill)(int)>
void BM_LiteralNames(benchmark::State& state) {
    prepare();
    Fill(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        loadTable();
        NamingState naming;
        state.ResumeTiming();
        referenceMakePointNamesUnique(naming);
        benchmark::DoNotOptimize(pointTable.records[0].NameOfPoint[0]);
    }
}

// The whole preparation of a waypoint upload in route mode: names, sort, split.
template <void (*Fill)(int)>
void BM_UploadPreparation(benchmark::State& state) {
    prepare();
    boxesShown = 0;
    Fill(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        loadTable();
        NamingState naming;
        state.ResumeTiming();
        makePointNamesUnique(naming);
        sortPointTable();
        splitRoutesAndTracks(TransferKind::Waypoints, false);
        benchmark::DoNotOptimize(countRouteOrTrackGroups());
    }
    state.counters["limitBoxes"] = benchmark::Counter(boxesShown, benchmark::Counter::kAvgIterations);
}

void BM_SplitLongTrack(benchmark::State& state) {
    prepare();
    settings.maxTrackPoints = 250;
    const int n = static_cast<int>(state.range(0));
    source.clear();
    for (int k = 0; k < n; ++k) {
        PointRecord r = point(1, k + 1, "");
        copyName(r.NameOfRouteOrTrack, "ACTIVE LOG");
        source.push_back(r);
    }
    for (auto _ : state) {
        state.PauseTiming();
        loadTable();
        state.ResumeTiming();
        splitRoutesAndTracks(TransferKind::Tracks, false);
        benchmark::DoNotOptimize(pointTable.records[n - 1].NumberOfRouteOrTrack);
    }
}

}  // namespace

BENCHMARK(BM_Sort<reverseRepeated>)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sort<cyclicDescending>)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sort<mixedUpload>)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Names<identicalNames>)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Names<mixedUpload>)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitLongTrack)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadPreparation<identicalNames>)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadPreparation<reverseRepeated>)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadPreparation<mixedUpload>)->Arg(20000)->Unit(benchmark::kMillisecond);

// The literal algorithms, on smaller tables (quadratic and worse).
BENCHMARK(BM_LiteralSort<reverseRepeated>)->Arg(2500)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiteralSort<reverseRepeated>)->Arg(20000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiteralSort<cyclicDescending>)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiteralNames<identicalNames>)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
