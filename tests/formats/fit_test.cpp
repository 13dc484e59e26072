// FIT activities: files written by gpsbabel compared point for point with
// the GPX they came from, hand-built files (both byte orders, compressed
// timestamps, developer fields, a chain), damage, and the conversion.

#include <cstring>

#include "format_test_util.h"
#include "formats/fit.h"
#include "model/times.h"
#include "tests/support/scripted_platform.h"

namespace {

// The FIT CRC, bit by bit.
unsigned crcOf(const std::string& bytes) {
    unsigned crc = 0;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int bit = 0; bit < 8; bit++) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

// The messages of one FIT file, framed by finish().
struct FitBuilder {
    bool big = false;
    std::string body;
    void put(uint32_t value, int size) {
        for (int i = 0; i < size; i++) body += char(value >> 8 * (big ? size - 1 - i : i));
    }
    // fields: number and size; developer: the sizes of developer fields.
    void define(int local, int message, std::vector<std::pair<int, int>> fields, std::vector<int> developer = {}) {
        body += char(0x40 | (developer.empty() ? 0 : 0x20) | local);
        body += '\0';
        body += char(big);
        put(message, 2);
        body += char(fields.size());
        for (auto [number, size] : fields) body += {char(number), char(size), char(size == 2 ? 0x84 : 0x86)};
        if (!developer.empty()) body += char(developer.size());
        for (int size : developer) body += {'\0', char(size), '\0'};
    }
    std::string finish(int headerSize) const {
        std::string file = {char(headerSize), 0x20, 0x08, 0x08};
        for (int i = 0; i < 4; i++) file += char(body.size() >> 8 * i);
        file += ".FIT";
        if (headerSize == 14) file += {char(crcOf(file)), char(crcOf(file) >> 8)};
        file += body;
        return file + std::string{char(crcOf(file)), char(crcOf(file) >> 8)};
    }
};

constexpr uint32_t kStart = 0x44000000 + 30;  // 2026-02-24 06:58:38

// A big-endian FIT file (compressed timestamp, developer field, a record
// without position, a session message) chained with a little-endian one.
// firstSize: the bytes of the first.
std::string handBuiltChain(size_t* firstSize = nullptr) {
    FitBuilder a;
    a.big = true;
    a.define(0, 20, {{253, 4}, {0, 4}, {1, 4}, {2, 2}}, {3});
    a.body += '\0';
    a.put(kStart, 4), a.put(0x22000000, 4), a.put(-0x0A000000, 4), a.put(2617, 2), a.body += "dev";
    a.define(1, 20, {{0, 4}, {1, 4}, {78, 4}});
    a.body += char(0x80 | 1 << 5 | 3);  // 30 + 5 seconds: the offset 3 rolls over
    a.put(0x22100000, 4), a.put(-0x0A100000, 4), a.put(8675, 4);
    a.body += '\0';
    a.put(kStart + 10, 4), a.put(0x7FFFFFFF, 4), a.put(0x7FFFFFFF, 4), a.put(2617, 2), a.body += "dev";
    a.define(2, 18, {{0, 4}, {1, 4}});
    a.body += '\2';
    a.put(0x22000000, 4), a.put(0x22000000, 4);
    FitBuilder b;
    b.define(0, 20, {{253, 4}, {0, 4}, {1, 4}});
    b.body += '\0';
    b.put(kStart + 3600, 4), b.put(0x20000000, 4), b.put(0x08000000, 4);
    if (firstSize) *firstSize = a.finish(14).size();
    return a.finish(14) + b.finish(12);
}

class FitTest : public FormatTest {
  protected:
    ScriptedPlatform ui;

    // Every cut of the file at path is refused or gives the first points of
    // the whole file, unchanged, with the warning (none at wholeAt, the end
    // of a chained FIT file). Returns the cuts that gave some points but not
    // all.
    int expectEveryCutRefusedOrAPrefix(const std::string& path, size_t wholeAt = 0) {
        const std::string full = readFile(path);
        EXPECT_EQ(readFitFile(path.c_str()), 1);
        const std::vector<PointRecord> whole(pointTable.records, pointTable.records + pointTable.count);
        int partial = 0;
        for (size_t cut = 0; cut < full.size(); cut++) {
            writeFile(path, full.substr(0, cut));
            ui.clearEvents();
            if (readFitFile(path.c_str()) == 0) continue;
            SCOPED_TRACE("cut at " + std::to_string(cut));
            EXPECT_LE(pointTable.count, (int)whole.size());
            partial += pointTable.count < (int)whole.size();
            for (int i = 0; i < pointTable.count && i < (int)whole.size(); i++)
                EXPECT_EQ(std::memcmp(&pointTable.records[i], &whole[i], sizeof whole[i]), 0) << "point " << i;
            const std::vector<std::string> boxes = ui.boxTexts();
            EXPECT_TRUE(cut == wholeAt ||
                        (!boxes.empty() && contains(boxes.back(), "Die FIT-Datei " + path + " ist beschädigt")));
        }
        writeFile(path, full);
        return partial;
    }
};

TEST_F(FitTest, GpsbabelActivityComesBackPointForPoint) {
    if (!toolInstalled("gpsbabel")) GTEST_SKIP() << "gpsbabel not installed";
    const int32_t start = parseTime("2026-05-01 10:00:00");
    std::string gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" "
                      "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>\n";
    char line[200], time[24], ele[40];
    for (int i = 0; i < 30; i++) {
        formatTime(start + i * 7 + (i > 20) * 3600, time);
        time[10] = 'T';
        snprintf(ele, sizeof ele, i % 7 == 3 ? "" : "<ele>%.1f</ele>", -20.5 + i * 37.3);
        snprintf(line, sizeof line, "<trkpt lat=\"%.9f\" lon=\"%.9f\">%s<time>%sZ</time></trkpt>\n",
                 47.0 + i * 0.0123457, -3.0 + i * 0.3456789, ele, time);
        gpx += line;
    }
    writeFile(dir.file("a.gpx"), gpx + "</trkseg></trk></gpx>\n");
    const std::string fit = dir.file("a.fit");
    std::string out;
    ASSERT_TRUE(runShell("gpsbabel -t -i gpx -f " + dir.file("a.gpx") + " -o garmin_fit -F " + fit, out)) << out;

    ASSERT_EQ(readFitFile(fit.c_str()), 1);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{});
    ASSERT_EQ(pointTable.count, 30);
    for (int i = 0; i < 30; i++) {
        const PointRecord& r = pointTable.records[i];
        SCOPED_TRACE(i);
        EXPECT_NEAR(r.Latitude, 47.0 + i * 0.0123457, 180.0 / 2147483648.0);
        EXPECT_NEAR(r.Longitude, -3.0 + i * 0.3456789, 180.0 / 2147483648.0);
        EXPECT_EQ(r.Time, start + i * 7 + (i > 20) * 3600);
        if (i % 7 == 3)
            EXPECT_EQ(r.Altitude, kNoAltitude);
        else  // fifths of a metre
            EXPECT_NEAR(r.Altitude, -20.5 + i * 37.3, 0.2001);
        EXPECT_EQ(r.NumberOfRouteOrTrack, 1);
        EXPECT_EQ(r.NumberOfPoint, i + 1);
        EXPECT_STREQ(r.NameOfRouteOrTrack, "2026-05-01 10:00:00");
    }
    EXPECT_GT(expectEveryCutRefusedOrAPrefix(fit), 0);
}

TEST_F(FitTest, HandBuiltChainInBothByteOrders) {
    const std::string path = dir.file("chain.fit");
    size_t firstSize = 0;
    const std::string chain = handBuiltChain(&firstSize);
    writeFile(path, chain);
    ASSERT_EQ(readFitFile(path.c_str()), 1);
    EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{});
    ASSERT_EQ(pointTable.count, 3);
    const PointRecord* r = pointTable.records;
    EXPECT_EQ(r[0].Latitude, 47.8125);
    EXPECT_EQ(r[0].Longitude, -14.0625);
    EXPECT_FLOAT_EQ(r[0].Altitude, 23.4f);
    EXPECT_EQ(r[0].Time, (int32_t)kStart);
    EXPECT_EQ(r[1].Latitude, 47.8125 + 0.087890625);
    EXPECT_FLOAT_EQ(r[1].Altitude, 1235.0f);
    EXPECT_EQ(r[1].Time, (int32_t)kStart + 5);
    EXPECT_EQ(r[2].Latitude, 45.0);
    EXPECT_EQ(r[2].Longitude, 11.25);
    EXPECT_EQ(r[2].Altitude, kNoAltitude);
    const int tracks[] = {1, 1, 2}, numbers[] = {1, 2, 1};
    const char* names[] = {"2026-02-24 06:58:38", "2026-02-24 06:58:38", "2026-02-24 07:58:38"};
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(r[i].NumberOfRouteOrTrack, tracks[i]);
        EXPECT_EQ(r[i].NumberOfPoint, numbers[i]);
        EXPECT_EQ(r[i].NewSegment, numbers[i] == 1);
        EXPECT_STREQ(r[i].NameOfRouteOrTrack, names[i]);
    }
    EXPECT_GT(expectEveryCutRefusedOrAPrefix(path, firstSize), 0);

    // A changed byte in the second FIT file costs its points alone; in the
    // header of a FIT file cut short, all of them.
    std::string changed = chain;
    changed[changed.size() - 3] ^= 1;
    writeFile(path, changed);
    ui.clearEvents();
    ASSERT_EQ(readFitFile(path.c_str()), 1);
    EXPECT_EQ(pointTable.count, 2);
    EXPECT_EQ(ui.boxTexts().size(), 1u);
    changed = chain.substr(0, firstSize - 3);
    changed[1] ^= 1;
    writeFile(path, changed);
    EXPECT_EQ(readFitFile(path.c_str()), 0);
}

TEST_F(FitTest, AppendingKeepsTheTableAndNamesADamagedFile) {
    const std::string path = dir.file("cut.fit"), other = dir.file("other.fit");
    const std::string chain = handBuiltChain();
    writeFile(path, chain.substr(0, chain.size() - 5));
    writeFile(other, "no FIT file");
    setTable({makePoint({.lat = 50, .lon = 7})});
    EXPECT_EQ(appendFitTracks(path.c_str(), nullptr), 1);
    EXPECT_EQ(appendFitTracks(other.c_str(), nullptr), 1);
    ASSERT_EQ(pointTable.count, 3);
    EXPECT_EQ(pointTable.records[0].Latitude, 50);
    EXPECT_EQ(pointTable.records[2].Time, (int32_t)kStart + 5);
    ASSERT_EQ(ui.boxTexts().size(), 2u);
    EXPECT_TRUE(contains(ui.boxTexts()[0], path));
    EXPECT_TRUE(contains(ui.boxTexts()[1], other));

    writeFile(path, chain);
    pointTable.count = kMaxPoints - 2;
    EXPECT_EQ(appendFitTracks(path.c_str(), "voll"), 0);
    EXPECT_EQ(pointTable.count, kMaxPoints - 2);
    EXPECT_EQ(ui.boxTexts().back(), "voll");
}

TEST_F(FitTest, ConvertReadsFitAsTrackLogsAndNeverWritesIt) {
    const std::string fit = dir.file("chain.fit"), gpx = dir.file("out.gpx");
    const std::string chain = handBuiltChain();
    writeFile(fit, chain);
    ShellRun run = runCli("convert --from fit --to gpx " + fit + " " + gpx);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(readFile(gpx), "<name>2026-02-24 07:58:38</name>\n    <number>2</number>\n    <trkseg>"));
    EXPECT_EQ(runCli("convert --from gpx --to fit " + gpx + " " + fit).status, 1);
    EXPECT_EQ(readFile(fit), chain);

    writeFile(fit, chain.substr(0, chain.size() - 1));
    run = runCli("convert --from fit --to gpx " + fit + " " + gpx);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, "Wegmate-WARNUNG: Die FIT-Datei " + fit + " ist beschädigt")) << run.err;
}

}  // namespace
