#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/settings.h"
#include "tests/support/test_support.h"

namespace {

const char kLimitError[] =
    "Die Anzahl von Punkten in einer Route oder in \neiner Track-Aufz. muss größer als '0' sein. \n";

std::string fieldsBytes(const std::vector<int32_t>& fields) {
    std::string bytes;
    for (int32_t f : fields) {
        const uint32_t v = static_cast<uint32_t>(f);
        for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<char>(v >> (8 * k)));
    }
    return bytes;
}

class SettingsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(dir.empty());
        settings = Settings{};
    }
    TempDir temp{"settings"};
    const std::string dir = temp.path;
    const std::string path = dir + "/Wegmate.par";
};

}  // namespace

TEST_F(SettingsFile, MissingFileGivesDefaults) {
    settings.portIndex = 5;
    settings.maxRoutePoints = 3;
    EXPECT_EQ(loadAndValidateSettings(path.c_str()), 0);
    EXPECT_EQ(settings.portIndex, 0);
    EXPECT_EQ(settings.fileTypeIndex, 2);
    EXPECT_EQ(settings.objectTypeIndex, 0);
    EXPECT_EQ(settings.maxRoutePoints, 250);
    EXPECT_EQ(settings.maxTrackPoints, 20000);
    EXPECT_EQ(loadAndValidateSettings(""), 0);
    EXPECT_EQ(loadAndValidateSettings(nullptr), 0);
}

TEST_F(SettingsFile, LoadReadsLittleEndianFields) {
    writeFile(path, fieldsBytes({3, 1, 1, 500, 123456}));
    Settings record;
    EXPECT_EQ(record.load(path.c_str()), 1);
    EXPECT_EQ(record.portIndex, 3);
    EXPECT_EQ(record.fileTypeIndex, 1);
    EXPECT_EQ(record.objectTypeIndex, 1);
    EXPECT_EQ(record.maxRoutePoints, 500);
    EXPECT_EQ(record.maxTrackPoints, 123456);
}

TEST_F(SettingsFile, NineteenBytesGiveAllDefaults) {
    std::string bytes = fieldsBytes({3, 1, 1, 500, 600});
    bytes.pop_back();
    writeFile(path, bytes);
    Settings record;
    record.portIndex = 7;
    EXPECT_EQ(record.load(path.c_str()), 0);
    EXPECT_EQ(record.portIndex, 7);  // untouched
    EXPECT_EQ(loadAndValidateSettings(path.c_str()), 0);
    EXPECT_EQ(settings.portIndex, 0);
    EXPECT_EQ(settings.fileTypeIndex, 2);
    EXPECT_EQ(settings.objectTypeIndex, 0);
    EXPECT_EQ(settings.maxRoutePoints, 250);
    EXPECT_EQ(settings.maxTrackPoints, 20000);
}

TEST_F(SettingsFile, TwentyFourBytesAreRewrittenAsTwenty) {
    std::string bytes = fieldsBytes({4, 0, 1, 99, 777, 12345});
    writeFile(path, bytes);
    EXPECT_EQ(loadAndValidateSettings(path.c_str()), 1);
    EXPECT_EQ(settings.portIndex, 4);
    EXPECT_EQ(settings.fileTypeIndex, 0);
    EXPECT_EQ(settings.objectTypeIndex, 1);
    EXPECT_EQ(settings.maxRoutePoints, 99);
    EXPECT_EQ(settings.maxTrackPoints, 777);
    EXPECT_EQ(settings.save(path.c_str()), 1);
    EXPECT_EQ(readFile(path), fieldsBytes({4, 0, 1, 99, 777}));
}

TEST_F(SettingsFile, RangeChecksApplyFieldByField) {
    // 9 is the Garmin drive, 10 the unit on MTP: the first index beyond
    // them falls back.
    writeFile(path, fieldsBytes({9, 1, 0, 250, 20000}));
    EXPECT_EQ(loadAndValidateSettings(path.c_str()), 1);
    EXPECT_EQ(settings.portIndex, 9);
    writeFile(path, fieldsBytes({10, 1, 0, 250, 20000}));
    EXPECT_EQ(loadAndValidateSettings(path.c_str()), 1);
    EXPECT_EQ(settings.portIndex, 10);
    writeFile(path, fieldsBytes({11, 1, 0, 0, -5}));
    EXPECT_EQ(loadAndValidateSettings(path.c_str()), 1);
    EXPECT_EQ(settings.portIndex, 0);
    EXPECT_EQ(settings.fileTypeIndex, 1);
    EXPECT_EQ(settings.objectTypeIndex, 0);
    EXPECT_EQ(settings.maxRoutePoints, 250);
    EXPECT_EQ(settings.maxTrackPoints, -5);  // negative stays

    writeFile(path, fieldsBytes({-1, 4, 2, -7, 0}));
    EXPECT_EQ(loadAndValidateSettings(path.c_str()), 1);
    EXPECT_EQ(settings.portIndex, 0);
    EXPECT_EQ(settings.fileTypeIndex, 2);
    EXPECT_EQ(settings.objectTypeIndex, 0);
    EXPECT_EQ(settings.maxRoutePoints, -7);
    EXPECT_EQ(settings.maxTrackPoints, 20000);

    writeFile(path, fieldsBytes({8, -1, -1, 1, 1}));
    EXPECT_EQ(loadAndValidateSettings(path.c_str()), 1);
    EXPECT_EQ(settings.portIndex, 8);
    EXPECT_EQ(settings.fileTypeIndex, 2);
    EXPECT_EQ(settings.objectTypeIndex, 0);

    // Index 3, GPX, is a file type of its own.
    writeFile(path, fieldsBytes({1, 3, 1, 1, 1}));
    EXPECT_EQ(loadAndValidateSettings(path.c_str()), 1);
    EXPECT_EQ(settings.fileTypeIndex, 3);
}

TEST_F(SettingsFile, SaveCreatesTheDirectory) {
    const std::string nested = dir + "/config/wegmate/Wegmate.par";
    settings = Settings{};
    settings.maxTrackPoints = -1;
    EXPECT_EQ(settings.save(nested.c_str()), 1);
    EXPECT_EQ(readFile(nested), fieldsBytes({0, 2, 0, 250, -1}));
    EXPECT_EQ(settings.save(""), 0);
    EXPECT_EQ(settings.save(nullptr), 0);

    // A path below a regular file cannot be created.
    writeFile(path, fieldsBytes({1, 1, 1, 1, 1}));
    EXPECT_EQ(settings.save((path + "/Wegmate.par").c_str()), 0);
}

TEST_F(SettingsFile, FailedSaveLeavesTheOldFile) {
    writeFile(path, fieldsBytes({1, 1, 1, 1, 1}));
    // Writes beyond 10 bytes fail (also for root): the save must not leave a
    // cut file behind.
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    settings = Settings{};
    settings.portIndex = 6;
    const int result = settings.save(path.c_str());
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readFile(path), fieldsBytes({1, 1, 1, 1, 1}));
    EXPECT_EQ(temp.entries(), 1);  // no temporary file left
}

TEST_F(SettingsFile, ParameterFileBesideTheProgramWhenItExists) {
    const char* oldXdg = getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const char* oldHome = getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    setenv("XDG_CONFIG_HOME", (dir + "/xdg").c_str(), 1);
    EXPECT_EQ(configDirectory(), dir + "/xdg/wegmate");
    EXPECT_EQ(parameterFilePath(dir), dir + "/xdg/wegmate/Wegmate.par");
    writeFile(path, fieldsBytes({0, 0, 0, 1, 1}));
    EXPECT_EQ(parameterFilePath(dir), dir + "/Wegmate.par");
    EXPECT_EQ(parameterFilePath(dir + "/"), dir + "/Wegmate.par");

    setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // relative values do not count
    setenv("HOME", "/home/tester", 1);
    EXPECT_EQ(configDirectory(), "/home/tester/.config/wegmate");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(configDirectory(), "/home/tester/.config/wegmate");
    if (oldXdg) setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    if (oldHome)
        setenv("HOME", savedHome.c_str(), 1);
    else
        unsetenv("HOME");
}

TEST(ProgramDirectory, IsTheDirectoryOfTheTestProgram) {
    const std::string directory = programDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(directory.back(), '/');
    EXPECT_NE(directory.find("tests/base"), std::string::npos) << directory;
}

TEST(SettingsDialog, StoresOnlyPositiveLimits) {
    settings = Settings{};
    EXPECT_EQ(applySettingsDialog("500", "9000"), nullptr);
    EXPECT_EQ(settings.maxRoutePoints, 500);
    EXPECT_EQ(settings.maxTrackPoints, 9000);
    EXPECT_EQ(applySettingsDialog("9999", "99999"), nullptr);
    EXPECT_EQ(settings.maxRoutePoints, 9999);
    EXPECT_EQ(settings.maxTrackPoints, 99999);

    EXPECT_STREQ(applySettingsDialog("", "100"), kLimitError);
    EXPECT_STREQ(applySettingsDialog("0", "100"), kLimitError);
    EXPECT_STREQ(applySettingsDialog("100", "0"), kLimitError);
    EXPECT_STREQ(applySettingsDialog("x5", "100"), kLimitError);
    EXPECT_STREQ(applySettingsDialog("-5", "100"), kLimitError);
    EXPECT_EQ(settings.maxRoutePoints, 9999);
    EXPECT_EQ(settings.maxTrackPoints, 99999);

    // Leading digits count; the fields hold at most five characters.
    EXPECT_EQ(applySettingsDialog("12ab", "3000000"), nullptr);
    EXPECT_EQ(settings.maxRoutePoints, 12);
    EXPECT_EQ(settings.maxTrackPoints, 30000);
}
