#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include "platform/platform.h"
#include "tests/support/scripted_platform.h"

namespace {

const char* refuseAll(const std::string& entry) { return entry == "OK" ? nullptr : "nein"; }

}  // namespace

TEST(SilentPlatform, AnswersNoAndCancels) {
    installPlatform(nullptr);
    showError("x");
    showInfo("y");
    EXPECT_FALSE(askYesNo(QuestionId::RouteMode, "t", "q"));
    EXPECT_FALSE(askOkCancel(QuestionId::ConvertOverlay, "t", "q"));
    std::string file = "*.mif";
    EXPECT_FALSE(platform().chooseFileToOpen("t", FileFilter::MapInfo, file));
    EXPECT_FALSE(platform().chooseFileToSave("t", FileFilter::Overlay, "ovl", file));
    EXPECT_EQ(file, "*.mif");
    std::vector<const char*> lines;
    InitialsDialog initials{"t", &lines, "l", 2, nullptr};
    std::string entry = "AA";
    EXPECT_FALSE(platform().initialsDialog(initials, entry));
    RouteTrackIdDialog id{"t", "e", 3, true, nullptr};
    EXPECT_FALSE(platform().routeTrackIdDialog(id, entry));
    TrackSelectDialog select{"t", "p", "n", "nt", {"A"}};
    int index = 7;
    EXPECT_FALSE(platform().trackSelectDialog(select, index));
    pauseMs(100000);  // returns at once
    pumpEvents();
    setStatusLine("s");
}

TEST(ScriptedPlatform, RecordsBoxesQuestionsAndStatus) {
    ScriptedPlatform ui;
    ui.queueYesNo(true);
    ui.queueOkCancel(false);
    showError("Fehler A");
    showInfo("Info B");
    showBox("Wegmate -- Grenzwertüberschreitung", "C", BoxIcon::Information);
    EXPECT_TRUE(askYesNo(QuestionId::RouteMode, "Wegmate  --  Wegpunktmodus", "Frage?"));
    EXPECT_FALSE(askOkCancel(QuestionId::ConvertOverlay, "T", "Weiter?"));
    setStatusLine("  Status:   Bereit.");
    pauseMs(500);
    pauseMs(50);
    EXPECT_EQ(ui.boxTexts(), (std::vector<std::string>{"Fehler A", "Info B", "C"}));
    EXPECT_EQ(ui.questionTexts(), (std::vector<std::string>{"Frage?", "Weiter?"}));
    auto boxes = ui.eventsOf(ScriptedEvent::Box);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0]->title, "FEHLER");
    EXPECT_EQ(boxes[0]->icon, BoxIcon::Warning);
    EXPECT_EQ(boxes[1]->title, "Wegmate-INFO");
    EXPECT_EQ(boxes[1]->icon, BoxIcon::Information);
    EXPECT_EQ(ui.lastStatus(), "  Status:   Bereit.");
    EXPECT_EQ(ui.totalPauseMs(), 550);
    EXPECT_FALSE(ui.answersLeft());
}

TEST(ScriptedPlatform, FileDialogsTakeTheirAnswers) {
    ScriptedPlatform ui;
    ui.queueOpenFile("/tmp/a.mif");
    ui.queueCancelFile();
    ui.queueSaveFile("/tmp/b.ovl");
    std::string name = "*.mif";
    EXPECT_TRUE(platform().chooseFileToOpen("Open", FileFilter::MapInfo, name));
    EXPECT_EQ(name, "/tmp/a.mif");
    name = "*.ovl";
    EXPECT_FALSE(platform().chooseFileToSave("Save", FileFilter::Overlay, "ovl", name));
    EXPECT_EQ(name, "*.ovl");
    EXPECT_TRUE(platform().chooseFileToSave("Save", FileFilter::Overlay, "ovl", name));
    EXPECT_EQ(name, "/tmp/b.ovl");
    auto saves = ui.eventsOf(ScriptedEvent::SaveFile);
    ASSERT_EQ(saves.size(), 2u);
    EXPECT_EQ(saves[1]->text, "*.ovl");
    EXPECT_EQ(saves[1]->extra, "/tmp/b.ovl");
}

void askWithoutAnswer() {
    ScriptedPlatform ui;
    EXPECT_FALSE(askYesNo(QuestionId::RouteMode, "Wegmate  --  Wegpunktmodus", "Routen?"));
}

void askWithWrongAnswer() {
    ScriptedPlatform ui;
    ui.queueOkCancel(true);
    EXPECT_FALSE(askYesNo(QuestionId::RouteMode, "T", "Routen?"));
}

void idDialogWithoutAnswer() {
    ScriptedPlatform ui;
    RouteTrackIdDialog id{" Wegmate -- Routen-/Track-ID", "e", 3, true, nullptr};
    std::string entry = "01";
    EXPECT_FALSE(platform().routeTrackIdDialog(id, entry));
    EXPECT_EQ(entry, "01");
}

TEST(ScriptedPlatform, UnansweredOrMismatchedQuestionsFail) {
    EXPECT_NONFATAL_FAILURE(askWithoutAnswer(), "unanswered Yes/No question");
    EXPECT_NONFATAL_FAILURE(askWithWrongAnswer(), "next queued answer is for a OK/Cancel question");
    EXPECT_NONFATAL_FAILURE(idDialogWithoutAnswer(), "unanswered route/track id dialog");
}

TEST(ScriptedPlatform, InitialsDialogShowsRefusalsAndTakesNextEntry) {
    ScriptedPlatform ui;
    ui.queueInitials("no");
    ui.queueInitials("OK");
    std::vector<const char*> lines{"eins", "zwei"};
    InitialsDialog dialog{"Titel", &lines, "Label", 2, refuseAll};
    std::string entry = "AA";
    EXPECT_TRUE(platform().initialsDialog(dialog, entry));
    EXPECT_EQ(entry, "OK");
    ASSERT_EQ(ui.events().size(), 2u);
    EXPECT_EQ(ui.events()[0].kind, ScriptedEvent::InitialsDialog);
    EXPECT_EQ(ui.events()[0].items, (std::vector<std::string>{"eins", "zwei"}));
    EXPECT_EQ(ui.events()[1].kind, ScriptedEvent::Box);
    EXPECT_EQ(ui.events()[1].title, "FEHLER");
    EXPECT_EQ(ui.events()[1].text, "nein");
}

TEST(ScriptedPlatform, TrackSelectWithoutSelectionWarnsAndGoesOn) {
    ScriptedPlatform ui;
    ui.queueTrackSelect(true, -1);
    ui.queueTrackSelect(true, 1);
    TrackSelectDialog dialog{" Wegmate -- Auswahl Track-Aufzeichnung",
                             "Wählen Sie die zu übertrag. Track-Aufzeichnung:",
                             "FEHLER: Sie haben keine Track-Aufzeichnung ausgewählt!",
                             "Wegmate -- Auswahl Track-Aufzeichnung",
                             {"ACTIVE LOG", "SAVED 1"}};
    int selected = -1;
    EXPECT_TRUE(platform().trackSelectDialog(dialog, selected));
    EXPECT_EQ(selected, 1);
    auto boxes = ui.eventsOf(ScriptedEvent::Box);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]->title, "Wegmate -- Auswahl Track-Aufzeichnung");
    EXPECT_EQ(boxes[0]->text, "FEHLER: Sie haben keine Track-Aufzeichnung ausgewählt!");
    EXPECT_EQ(boxes[0]->icon, BoxIcon::Warning);

    ui.queueTrackSelect(false);
    EXPECT_FALSE(platform().trackSelectDialog(dialog, selected));
}
