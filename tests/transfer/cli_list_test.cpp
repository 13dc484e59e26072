// wegmate-cli list and --select: the items of a file, and a conversion of
// some of them, with the MIF written read back by ogrinfo.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/test_support.h"

namespace {

const char* const kMixedGpx =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
    "<wpt lat=\"50.1\" lon=\"7.1\"><name>Münchner Haus</name><time>2020-05-01T10:00:00Z</time></wpt>\n"
    "<rte><name>Heimweg</name><rtept lat=\"50.1\" lon=\"7.1\"><name>A1</name></rtept>"
    "<rtept lat=\"50.2\" lon=\"7.1\"><name>A2</name></rtept></rte>\n"
    "<rte><name>Runde</name><rtept lat=\"48\" lon=\"11\"><name>B1</name></rtept>"
    "<rtept lat=\"48\" lon=\"11.1\"><name>B2</name></rtept><rtept lat=\"48.1\" lon=\"11.1\"><name>B3</name></rtept></rte>\n"
    "<trk><name>Tour</name><trkseg><trkpt lat=\"50\" lon=\"7\"><time>2020-05-01T10:00:00Z</time></trkpt>"
    "<trkpt lat=\"50.01\" lon=\"7\"/></trkseg></trk>\n"
    "</gpx>\n";

TEST(Cli, ListPrintsOneLinePerItemAndSelectMovesOnlyThose) {
    TempDir dir("list");
    writeFile(dir.file("in.gpx"), kMixedGpx);
    // The track is no part of this list, and the warning says so.
    ShellRun list = runCli("list --format gpx " + dir.file("in.gpx"));
    EXPECT_EQ(list.status, 2) << list.err;
    EXPECT_EQ(list.out,
              "Wegpunkt\t1\tMünchner Haus\t1\t2020-05-01 10:00:00\t0.00 km\n"
              "Route\t2\tHeimweg\t2\t\t11.12 km\n"
              "Route\t3\tRunde\t3\t\t18.56 km\n");
    ShellRun tracks = runCli("list --format gpx --tracks " + dir.file("in.gpx"));
    EXPECT_EQ(tracks.out, "Track\t1\tTour\t2\t2020-05-01 10:00:00\t1.11 km\n");

    // By name and by number: route 3 only, as a MIF line that GDAL reads.
    ShellRun convert = runCli("convert --from gpx --to mif --select Runde " + dir.file("in.gpx") + " " +
                              dir.file("out.mif"));
    EXPECT_EQ(convert.status, 2) << convert.err;
    if (toolInstalled("ogrinfo")) {
        ShellRun ogr = runShell("ogrinfo -al -q " + dir.file("out.mif"));
        EXPECT_TRUE(contains(ogr.out, "LINESTRING (11 48,11.1 48")) << ogr.out;
        EXPECT_TRUE(contains(ogr.out, ",11.1 48.1)")) << ogr.out;
        EXPECT_FALSE(contains(ogr.out, "Heimweg")) << ogr.out;
    }
    ShellRun unknown = runCli("convert --from gpx --to gpx --select 2,9 " + dir.file("in.gpx") + " " +
                              dir.file("none.gpx"));
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(contains(unknown.err, "Die Auswahl \"9\" bezeichnet keinen Eintrag.")) << unknown.err;
    EXPECT_FALSE(fileExists(dir.file("none.gpx")));
}

}  // namespace

namespace {

// A download of one track named by --select: gpsbabel finds that track's
// 120 points and their dates, none of the other track's.
TEST(Cli, DownloadSelectWritesOnlyTheNamedTrack) {
    if (!toolInstalled("gpsbabel")) GTEST_SKIP() << "gpsbabel not installed";
    TempDir dir("select");
    ShellRun run = runCli("download tracks --port sim --format gpx --objects lines --select TRACK02 -o " +
                          dir.file("t.gpx"));
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    ShellRun peer = runShell("gpsbabel -t -i gpx -f " + dir.file("t.gpx") + " -o unicsv -F -", Stderr::Apart);
    ASSERT_EQ(peer.status, 0) << peer.err;
    EXPECT_EQ(std::count(peer.out.begin(), peer.out.end(), '\n'), 121) << peer.out;
    EXPECT_TRUE(contains(peer.out, "2021/09/09")) << peer.out;
    EXPECT_FALSE(contains(peer.out, "2021/09/08")) << peer.out;
}

}  // namespace

namespace {

// A drive download to GPX is written file by file: the selection counts the
// tracks over all files, and an entry that names none writes nothing.
TEST(Cli, DriveDownloadSelectCountsTracksOverAllFiles) {
    if (!toolInstalled("gpsbabel")) GTEST_SKIP() << "gpsbabel not installed";
    TempDir dir("drive-select");
    const std::string drive = std::string(WEGMATE_SOURCE_DIR) + "/tests/drive/trees/etrex30";
    ShellRun run = runCli("download tracks --port drive:" + drive + " --format gpx --select 2 -o " + dir.file("t.gpx"));
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    ShellRun peer = runShell("gpsbabel -t -i gpx -f " + dir.file("t.gpx") + " -o unicsv -F -", Stderr::Apart);
    EXPECT_EQ(std::count(peer.out.begin(), peer.out.end(), '\n'), 6) << peer.out;  // the second file's 5 points
    EXPECT_TRUE(contains(peer.out, "2026/11/28")) << peer.out;
    EXPECT_FALSE(contains(peer.out, "2026/11/01")) << peer.out;

    ShellRun none = runCli("download tracks --port drive:" + drive + " --format gpx --select 3 -o " + dir.file("n.gpx"));
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(contains(none.err, "Die Auswahl \"3\" bezeichnet keinen Eintrag.")) << none.err;
    EXPECT_FALSE(fileExists(dir.file("n.gpx")));
}

}  // namespace
