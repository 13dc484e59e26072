#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

class AtomicFileTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(temp.path.empty()); }
    int entries() const { return temp.entries(); }

    TempDir temp{"atomic"};
    const fs::path dir = temp.path;
};

TEST_F(AtomicFileTest, CommitReplacesTheFileAndLeavesNothingElse) {
    writeFile(dir / "a.mif", "old");
    AtomicFile f;
    ASSERT_EQ(atomicOpen(f, (dir / "a.mif").c_str()), 1);
    ASSERT_EQ(atomicPuts(f, "new content\r\n"), 1);
    EXPECT_EQ(readFile(dir / "a.mif"), "old");  // untouched until the commit
    ASSERT_EQ(atomicCommit(f), 1);
    EXPECT_EQ(readFile(dir / "a.mif"), "new content\r\n");
    EXPECT_EQ(entries(), 1);
}

TEST_F(AtomicFileTest, AbortKeepsTheOldFile) {
    writeFile(dir / "a.ovl", "old");
    AtomicFile f;
    ASSERT_EQ(atomicOpen(f, (dir / "a.ovl").c_str()), 1);
    atomicPuts(f, "half");
    atomicAbort(f);
    EXPECT_EQ(readFile(dir / "a.ovl"), "old");
    EXPECT_EQ(entries(), 1);
}

TEST_F(AtomicFileTest, OpenFailsInAMissingDirectory) {
    AtomicFile f;
    EXPECT_EQ(atomicOpen(f, (dir / "missing" / "a.mif").c_str()), 0);
    EXPECT_EQ(atomicOpen(f, ""), 0);
}

TEST_F(AtomicFileTest, PairIsRolledBackWhenTheSecondRenameFails) {
    writeFile(dir / "a.mif", "old mif");
    // A non-empty directory under the second name makes its rename fail
    // after the first file has already been replaced.
    fs::create_directories(dir / "a.mid" / "x");
    AtomicFile mif, mid;
    ASSERT_EQ(atomicOpen(mif, (dir / "a.mif").c_str()), 1);
    ASSERT_EQ(atomicOpen(mid, (dir / "a.mid").c_str()), 1);
    atomicPuts(mif, "new mif");
    atomicPuts(mid, "new mid");
    AtomicFile* both[] = {&mif, &mid};
    EXPECT_EQ(atomicCommitAll(both, 2), 0);
    EXPECT_EQ(readFile(dir / "a.mif"), "old mif");
    EXPECT_TRUE(fs::is_directory(dir / "a.mid"));
    EXPECT_EQ(entries(), 2);  // no temporary or backup file left
}

TEST_F(AtomicFileTest, NewPairIsRemovedAgainWhenTheSecondRenameFails) {
    fs::create_directories(dir / "b.mid" / "x");
    AtomicFile mif, mid;
    ASSERT_EQ(atomicOpen(mif, (dir / "b.mif").c_str()), 1);
    ASSERT_EQ(atomicOpen(mid, (dir / "b.mid").c_str()), 1);
    AtomicFile* both[] = {&mif, &mid};
    EXPECT_EQ(atomicCommitAll(both, 2), 0);
    EXPECT_FALSE(fs::exists(dir / "b.mif"));
    EXPECT_EQ(entries(), 1);
}

TEST_F(AtomicFileTest, PairCommitsBothFiles) {
    writeFile(dir / "c.mif", "old");
    AtomicFile mif, mid;
    ASSERT_EQ(atomicOpen(mif, (dir / "c.mif").c_str()), 1);
    ASSERT_EQ(atomicOpen(mid, (dir / "c.mid").c_str()), 1);
    atomicPuts(mif, "M");
    atomicPuts(mid, "D");
    AtomicFile* both[] = {&mif, &mid};
    EXPECT_EQ(atomicCommitAll(both, 2), 1);
    EXPECT_EQ(readFile(dir / "c.mif"), "M");
    EXPECT_EQ(readFile(dir / "c.mid"), "D");
    EXPECT_EQ(entries(), 2);
}

}  // namespace

namespace {

// What is no regular file is never replaced; a link keeps pointing at the
// file that now has the new content, also when that file is new.
TEST_F(AtomicFileTest, DevicesAndFifosAreRefusedAndLinksStay) {
    AtomicFile f;
    EXPECT_EQ(atomicOpen(f, "/dev/null"), 0);
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(atomicOpen(f, (dir / "fifo").c_str()), 0);
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));

    fs::create_directory(dir / "data");
    writeFile(dir / "data" / "real.gpx", "old");
    fs::create_symlink("data/real.gpx", dir / "link.gpx");
    fs::create_symlink("data/new.gpx", dir / "dangling.gpx");
    for (const char* name : {"link.gpx", "dangling.gpx"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(atomicOpen(f, (dir / name).c_str()), 1);
        ASSERT_EQ(atomicPuts(f, "new"), 1);
        ASSERT_EQ(atomicCommit(f), 1);
        EXPECT_TRUE(fs::is_symlink(dir / name));
        EXPECT_EQ(readFile(dir / name), "new");
    }
    EXPECT_EQ(readFile(dir / "data" / "real.gpx"), "new");
    EXPECT_EQ(readFile(dir / "data" / "new.gpx"), "new");
    EXPECT_EQ(entries(), 4);  // fifo, data and the two links
}

}  // namespace
