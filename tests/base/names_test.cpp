#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reference_algorithms.h"
#include "tests/support/scripted_platform.h"
#include "model/names.h"
#include "model/point_table.h"

namespace {

const char kInitialsError[] =
    "Als Eingabe werden hier genau zwei Zeichen \naus den Bereichen 'A' - 'Z' oder '0' - '9' \nerwartet!";

void loadNames(const std::vector<std::string>& names) {
    pointTable.reset();
    for (const std::string& name : names) {
        PointRecord& r = pointTable.records[pointTable.count++];
        r = PointRecord{};
        copyName(r.NameOfPoint, name.c_str());
    }
}

std::vector<std::string> tableNames() {
    std::vector<std::string> names;
    for (int i = 0; i < pointTable.count; ++i) names.push_back(pointTable.records[i].NameOfPoint);
    return names;
}

}  // namespace

TEST(Names, AutomaticNamePattern) {
    NamingState naming;
    EXPECT_STREQ(naming.initials, "AA");
    EXPECT_FALSE(naming.initialsAsked);
    EXPECT_FALSE(naming.namesChanged);
    EXPECT_EQ(naming.autoNameCounter, 1);
    EXPECT_EQ(makeAutomaticPointName(naming, 1), "AA0001");
    EXPECT_EQ(makeAutomaticPointName(naming, 9999), "AA9999");
    EXPECT_EQ(makeAutomaticPointName(naming, 12345), "AA12345");
    naming.initials[0] = 'K';
    naming.initials[1] = 'B';
    EXPECT_EQ(makeAutomaticPointName(naming, 7), "KB0007");
    naming = NamingState{};
    EXPECT_STREQ(naming.initials, "AA");
}

TEST(Names, InitialsCheck) {
    EXPECT_EQ(checkNameInitials("A1"), nullptr);
    EXPECT_EQ(checkNameInitials("a1"), nullptr);
    EXPECT_EQ(checkNameInitials("Z9"), nullptr);
    EXPECT_EQ(checkNameInitials("09"), nullptr);
    EXPECT_STREQ(checkNameInitials("A"), kInitialsError);
    EXPECT_STREQ(checkNameInitials("A-"), kInitialsError);
    EXPECT_STREQ(checkNameInitials(""), kInitialsError);
    EXPECT_STREQ(checkNameInitials("ABC"), kInitialsError);
    EXPECT_STREQ(checkNameInitials("\xC4"
                                   "A"),
                 kInitialsError);
    EXPECT_STREQ(checkNameInitials(" A"), kInitialsError);
}

TEST(Names, InitialsDialogContentAndCapitals) {
    ScriptedPlatform ui;
    NamingState naming;
    naming.initials[0] = 'Q';
    naming.initials[1] = 'R';
    ui.queueInitials("A");
    ui.queueInitials("A-");
    ui.queueInitials("a1");
    askNameInitials(naming);
    EXPECT_STREQ(naming.initials, "A1");
    EXPECT_FALSE(naming.initialsAsked);  // the callers set it
    auto dialogs = ui.eventsOf(ScriptedEvent::InitialsDialog);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0]->title, " Wegmate -- Wegpunktbezeichnungen");
    EXPECT_EQ(dialogs[0]->text, "Anfangszeichen automatischer Punktnamen ");
    EXPECT_EQ(dialogs[0]->number, 2);
    EXPECT_TRUE(dialogs[0]->answer);
    const std::vector<std::string> lines = {
        "Falls in der einzulesenden Datei die Wegpunkte nicht mit Namen",
        "versehen wurden oder werden können (insbes. ASCII-OVL-Dateien),",
        "so werden eindeutige Bezeichnungen automatisch vom Programm ",
        "erzeugt. Um dabei eventuell bereits im GPS-Gerät gespeicherte",
        "Wegpunkte mit gleichem Namen nicht zu überschreiben, können ",
        "Sie hier die ersten beiden Zeichen dieser automatischen     ",
        "Punktbezeichnungen definieren.                              ",
        "Verwenden Sie dazu Zeichen zwischen '0' und '9' oder 'A' und 'Z'.",
    };
    EXPECT_EQ(dialogs[0]->items, lines);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{kInitialsError, kInitialsError}));
    auto boxes = ui.eventsOf(ScriptedEvent::Box);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0]->title, "FEHLER");
    EXPECT_EQ(boxes[0]->icon, BoxIcon::Warning);
    EXPECT_FALSE(ui.answersLeft());
}

TEST(Names, InitialsDialogPresetIsTheCurrentPair) {
    // The scripted dialog records the preset until an entry is accepted;
    // an entry equal to the preset is accepted unchanged.
    ScriptedPlatform ui;
    NamingState naming;
    naming.initials[0] = 'X';
    naming.initials[1] = '7';
    ui.queueInitials("X7");
    askNameInitials(naming);
    EXPECT_STREQ(naming.initials, "X7");
    ASSERT_EQ(ui.eventsOf(ScriptedEvent::InitialsDialog).size(), 1u);
}

TEST(Names, UnnamedPointsGetAutomaticNamesAndOneDialog) {
    ScriptedPlatform ui;
    NamingState naming;
    ui.queueInitials("KB");
    loadNames({"", "  \t", "\r\n"});
    makePointNamesUnique(naming);
    EXPECT_EQ(tableNames(), (std::vector<std::string>{"KB0001", "KB0002", "KB0003"}));
    EXPECT_EQ(ui.eventsOf(ScriptedEvent::InitialsDialog).size(), 1u);
    EXPECT_TRUE(naming.initialsAsked);
    EXPECT_FALSE(naming.namesChanged);
    EXPECT_EQ(naming.autoNameCounter, 4);
}

TEST(Names, NamedPointsNeedNoDialog) {
    ScriptedPlatform ui;
    NamingState naming;
    loadNames({" HAUS ", "KIRCHE\r\n"});
    makePointNamesUnique(naming);
    EXPECT_EQ(tableNames(), (std::vector<std::string>{"HAUS", "KIRCHE"}));
    EXPECT_TRUE(ui.events().empty());
    EXPECT_FALSE(naming.namesChanged);
}

TEST(Names, RepeatedNamesAreRenamed) {
    ScriptedPlatform ui;
    NamingState naming;
    loadNames({"HAUS", "HAUS", "HAUS", "KIRCHTURM", "KIRCHTURM", "AB", "AB", "X", "X", "ab"});
    makePointNamesUnique(naming);
    EXPECT_EQ(tableNames(), (std::vector<std::string>{"HAUS", "HAUS01", "HAUS02", "KIRCHTURM", "KIRC01", "AB", "AB01",
                                                      "X", "X01", "ab"}));
    EXPECT_TRUE(naming.namesChanged);
    EXPECT_TRUE(isDuplicatePointName(0) == false);
}

TEST(Names, SecondPassAfterAllTwoDigitNumbersAreTaken) {
    ScriptedPlatform ui;
    NamingState naming;
    std::vector<std::string> names = {"HAUS"};
    for (int q = 1; q <= 99; ++q) {
        char text[16];
        snprintf(text, sizeof text, "HAUS%02d", q);
        names.push_back(text);
    }
    names.push_back("HAUS");
    names.push_back("HAUSBOOT");  // L > 4: pass 1 over HAUS01..99, then HA0001
    loadNames(names);
    makePointNamesUnique(naming);
    EXPECT_EQ(std::string(pointTable.records[100].NameOfPoint), "HA0001");
    EXPECT_EQ(std::string(pointTable.records[101].NameOfPoint), "HAUSBOOT");
    EXPECT_TRUE(naming.namesChanged);
}

TEST(Names, ShortNamesAppendTheirNumbers) {
    ScriptedPlatform ui;
    NamingState naming;
    std::vector<std::string> names = {"AB"};
    for (int q = 1; q <= 99; ++q) {
        char text[16];
        snprintf(text, sizeof text, "AB%02d", q);
        names.push_back(text);
    }
    names.push_back("AB");
    loadNames(names);
    makePointNamesUnique(naming);
    // L = 2: the second pass appends four digits to the two characters.
    EXPECT_EQ(std::string(pointTable.records[100].NameOfPoint), "AB0001");
}

TEST(Names, NameStillRepeatingAfterBothPassesIsKept) {
    ScriptedPlatform ui;
    NamingState naming;
    std::vector<std::string> names(10100, "Q");
    loadNames(names);
    makePointNamesUnique(naming);
    EXPECT_EQ(std::string(pointTable.records[0].NameOfPoint), "Q");
    EXPECT_EQ(std::string(pointTable.records[1].NameOfPoint), "Q01");
    EXPECT_EQ(std::string(pointTable.records[99].NameOfPoint), "Q99");
    EXPECT_EQ(std::string(pointTable.records[100].NameOfPoint), "Q0001");
    EXPECT_EQ(std::string(pointTable.records[10098].NameOfPoint), "Q9999");
    EXPECT_EQ(std::string(pointTable.records[10099].NameOfPoint), "Q9999");  // kept as it is
}

TEST(Names, FiftyCharacterNamesAreCutAfterFourCharacters) {
    ScriptedPlatform ui;
    NamingState naming;
    const std::string longName(50, 'W');
    loadNames({longName, longName});
    makePointNamesUnique(naming);
    EXPECT_EQ(std::string(pointTable.records[1].NameOfPoint), "WWWW01");
}

TEST(Names, AutomaticNameCanCollideWithAFileName) {
    ScriptedPlatform ui;
    NamingState naming;
    ui.queueInitials("AA");
    loadNames({"AA0001", ""});
    makePointNamesUnique(naming);
    // "AA0001" has 6 characters: the digits go to position 4, and 01 gives
    // the taken name again.
    EXPECT_EQ(tableNames(), (std::vector<std::string>{"AA0001", "AA0002"}));
    EXPECT_TRUE(naming.namesChanged);
}

namespace {

struct NamingOutcome {
    std::vector<std::string> names;
    bool changed;
    bool asked;
    int counter;
    std::string initials;
};

NamingOutcome runNaming(const std::vector<std::string>& input, bool reference) {
    ScriptedPlatform ui;
    NamingState naming;
    ui.queueInitials("KB");
    loadNames(input);
    if (reference)
        referenceMakePointNamesUnique(naming);
    else
        makePointNamesUnique(naming);
    NamingOutcome outcome{tableNames(), naming.namesChanged, naming.initialsAsked, naming.autoNameCounter, naming.initials};
    if (!outcome.asked) ui.answers_.clear();
    return outcome;
}

void expectSameNaming(const std::vector<std::string>& input, const char* what) {
    const NamingOutcome fast = runNaming(input, false);
    const NamingOutcome slow = runNaming(input, true);
    ASSERT_EQ(fast.names.size(), slow.names.size()) << what;
    for (size_t k = 0; k < fast.names.size(); ++k) ASSERT_EQ(fast.names[k], slow.names[k]) << what << " place " << k;
    EXPECT_EQ(fast.changed, slow.changed) << what;
    EXPECT_EQ(fast.asked, slow.asked) << what;
    EXPECT_EQ(fast.counter, slow.counter) << what;
    EXPECT_EQ(fast.initials, slow.initials) << what;
}

}  // namespace

TEST(NamesDifferential, RandomTablesWithRepeatedNames) {
    std::mt19937 random(4711);
    const char* stems[] = {"HAUS",   "AB",   "X",      "KIRCHTURM", "HAUS01", "HA0001", "KB0001", "KB",
                           "KIRC01", "AB01", " HAUS ", "",          "  ",     "Q",      "QQQQQ",  "HAUS99"};
    for (int round = 0; round < 60; ++round) {
        std::vector<std::string> input;
        const int n = 1 + static_cast<int>(random() % 300);
        for (int k = 0; k < n; ++k) {
            const int pick = static_cast<int>(random() % 20);
            if (pick < 16) {
                input.push_back(stems[pick]);
            } else {
                char text[16];
                snprintf(text, sizeof text, "%s%02d", pick == 16 ? "HAUS" : "AB", static_cast<int>(random() % 100));
                input.push_back(text);
            }
        }
        expectSameNaming(input, "random");
    }
}

TEST(NamesDifferential, WorstCasesOfTheRenaming) {
    expectSameNaming(std::vector<std::string>(700, "GIPFEL"), "identical long names");
    expectSameNaming(std::vector<std::string>(700, "AB"), "identical short names");
    std::vector<std::string> mixed;
    for (int k = 0; k < 700; ++k) mixed.push_back(k % 3 == 0 ? "" : (k % 3 == 1 ? "KB0001" : "KB00"));
    expectSameNaming(mixed, "automatic names against file names");
}
