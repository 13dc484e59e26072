#pragma once
// A front end for tests: records every box, question, dialog, status text and
// pause, and answers from one ordered queue. A question or dialog without a
// queued answer of its kind is a test failure (ADD_FAILURE), answered No /
// cancelled so the code under test can go on.
//
//   ScriptedPlatform ui;                 // installs itself
//   ui.queueYesNo(false);
//   ui.queueSaveFile("/tmp/x.mif");
//   downloadFromDevice(...);
//   EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{"..."});
//
// Runs that ask many questions in an order of no interest to the test take
// standing answers instead, used whenever nothing is queued:
//   ScriptedPlatform ui({.yesNo = [](QuestionId) { return false; }, .saveFile = out});

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

struct ScriptedEvent {
    enum Kind {
        Box,
        YesNo,
        OkCancel,
        OpenFile,
        SaveFile,
        Status,
        Pump,
        Repaint,
        WaitCursor,
        Beep,
        Pause,
        InitialsDialog,
        RouteTrackIdDialog,
        TrackSelectDialog,
        DeviceInfoDialog
    };
    Kind kind;
    std::string title;
    std::string text;  // box/question text, status text, dialog explanation
                       // (GETINITIALSDLG: its label), file preset
    BoxIcon icon = BoxIcon::Warning;
    bool answer = false;  // what the question / dialog was answered
    int number = 0;       // pause ms, wait cursor on (1/0), dialog maxLength, selected index,
                          // the number a question is about
    QuestionId question = QuestionId::RouteMode;  // which question (YesNo, OkCancel)
    long done = -1;       // a status text's counts (progress() before it); -1: none
    long total = -1;
    std::string extra;    // default extension, chosen file, entered dialog text
    FileFilter filter = FileFilter::Overlay;
    // Track list of TRACKSELDLG; the eight lines of GETINITIALSDLG; for
    // ROUTETRACKNAMEDLG the preset and "narrow" or "wide" (the field).
    std::vector<std::string> items;
};

class ScriptedPlatform {
  public:
    // Answers for questions and dialogs that find no queued answer; what is
    // left empty is a test failure there.
    struct Standing {
        std::function<bool(QuestionId id)> yesNo;
        std::string openFile;  // every open-file dialog confirmed with it
        std::string saveFile;
        std::string initials;  // entered in the initials dialog
    };

    explicit ScriptedPlatform(Standing standing = {});  // installs itself (only one at a time)
    ~ScriptedPlatform();                                // installs the silent default again
    ScriptedPlatform(const ScriptedPlatform&) = delete;
    ScriptedPlatform& operator=(const ScriptedPlatform&) = delete;

    // Answers, consumed in order.
    void queueYesNo(bool yes);
    void queueOkCancel(bool ok);
    void queueOpenFile(const std::string& path);  // confirm with this path
    void queueSaveFile(const std::string& path);
    void queueCancelFile();  // cancel the next file dialog
    // One entry per OK press: an entry the dialog's check refuses produces the
    // error box and consumes the next queued initials entry.
    void queueInitials(const std::string& entry);
    void queueRouteTrackId(bool ok, const std::string& text = "");
    // index -1 with ok: OK without a selection (error box, next entry used).
    void queueTrackSelect(bool ok, int index = 0);

    // What happened.
    const std::vector<ScriptedEvent>& events() const { return events_; }
    std::vector<const ScriptedEvent*> eventsOf(ScriptedEvent::Kind kind) const;
    // Texts of the message boxes (errors and infos), in order.
    std::vector<std::string> boxTexts() const;
    // Texts of the Yes/No and OK/Cancel questions, in order.
    std::vector<std::string> questionTexts() const;
    std::vector<std::string> statusTexts() const;
    // The counts (done, total) of the status texts, in order; -1, -1 for a
    // text without them.
    std::vector<std::pair<long, long>> statusCounts() const;
    std::string lastStatus() const;
    int totalPauseMs() const;
    bool answersLeft() const { return !answers_.empty(); }
    void clearEvents() { events_.clear(); }

    // Record every status update (default) or only keep the last one.
    bool recordAllStatus = true;
    // Really sleep in pause() (default: only record).
    bool realPauses = false;
    // A Yes/No question stays open this long (real time) before its answer.
    int questionHoldMs = 0;
    // Called from pumpEvents(); lets a test act "while the transfer runs".
    void (*onPump)(void* context) = nullptr;
    void* onPumpContext = nullptr;

    // Implementation detail: the installed table calls these.
    struct Answer {
        ScriptedEvent::Kind kind;
        bool ok;
        std::string text;
        int index;
    };
    bool takeAnswer(ScriptedEvent::Kind kind, const std::string& what, Answer& out);
    std::vector<ScriptedEvent> events_;
    std::deque<Answer> answers_;
    std::string lastStatus_;
    Standing standing_;
};
