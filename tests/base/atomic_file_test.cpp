#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

namespace {

int failingSync(int) {
    errno = EIO;
    return -1;
}

// A replaced file keeps its mode; a name at the length limit still fits
// beside its temporary file; a file that did not reach the disk replaces
// nothing.
TEST_F(AtomicFileTest, ModeKeptLongNamesFitAndAFailedSyncReplacesNothing) {
    const fs::path kept = dir / "kept.mif";
    writeFile(kept, "old");
    fs::permissions(kept, fs::perms(0640));
    const fs::path longest = dir / (std::string(251, 'n') + ".gpx");
    for (const fs::path& path : {kept, longest}) {
        AtomicFile f;
        ASSERT_EQ(atomicOpen(f, path.c_str()), 1) << path;
        atomicPuts(f, "new");
        ASSERT_EQ(atomicCommit(f), 1) << path;
        EXPECT_EQ(readFile(path), "new");
    }
    EXPECT_EQ((int)fs::status(kept).permissions(), 0640);

    FileSystemCalls& calls = fileSystemCalls();
    const FileSystemCalls saved = calls;
    calls.fsync = failingSync;
    AtomicFile f;
    ASSERT_EQ(atomicOpen(f, kept.c_str()), 1);
    atomicPuts(f, "unsynced");
    EXPECT_EQ(atomicCommit(f), 0);
    calls = saved;
    EXPECT_EQ(readFile(kept), "new");
    EXPECT_EQ(entries(), 2);
}

// A file the user may not write is not replaced, although the folder would
// let the rename through. Root may write every file, as with cp: under root
// the check runs as user nobody in a folder everyone may write.
TEST_F(AtomicFileTest, AFileTheUserMayNotWriteIsNotReplaced) {
    const fs::path theirs = dir / "theirs.gpx";
    writeFile(theirs, "keep");
    fs::permissions(dir, fs::perms(0777));
    fs::permissions(theirs, fs::perms(geteuid() == 0 ? 0644 : 0444));
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        AtomicFile f;
        const int opened = atomicOpen(f, theirs.c_str());
        if (opened) atomicCommit(f);
        const char* refusal = atomicRefusal();
        const std::string expected = "Die Datei " + theirs.string() + " ist schreibgeschützt und wird nicht ersetzt.";
        _exit(opened ? 3 : refusal && expected == refusal ? 0 : 4);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readFile(theirs), "keep");
    EXPECT_EQ(entries(), 1);
}

}  // namespace
