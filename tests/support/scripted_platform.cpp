// The scripted front end of the tests.

#include "tests/support/scripted_platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

ScriptedPlatform* current = nullptr;

const char* kindName(ScriptedEvent::Kind kind) {
    switch (kind) {
    case ScriptedEvent::Box: return "message box";
    case ScriptedEvent::YesNo: return "Yes/No question";
    case ScriptedEvent::OkCancel: return "OK/Cancel question";
    case ScriptedEvent::OpenFile: return "open-file dialog";
    case ScriptedEvent::SaveFile: return "save-file dialog";
    case ScriptedEvent::Status: return "status line";
    case ScriptedEvent::Pump: return "event pump";
    case ScriptedEvent::Repaint: return "repaint";
    case ScriptedEvent::WaitCursor: return "wait cursor";
    case ScriptedEvent::Beep: return "beep";
    case ScriptedEvent::Pause: return "pause";
    case ScriptedEvent::InitialsDialog: return "initials dialog";
    case ScriptedEvent::RouteTrackIdDialog: return "route/track id dialog";
    case ScriptedEvent::TrackSelectDialog: return "track select dialog";
    case ScriptedEvent::DeviceInfoDialog: return "device info dialog";
    }
    return "?";
}

ScriptedEvent makeEvent(ScriptedEvent::Kind kind, const char* title, const char* text) {
    ScriptedEvent event;
    event.kind = kind;
    if (title) event.title = title;
    if (text) event.text = text;
    return event;
}

ScriptedPlatform& self() { return *current; }

void recordBox(const char* title, const char* text, BoxIcon icon) {
    ScriptedEvent event = makeEvent(ScriptedEvent::Box, title, text);
    event.icon = icon;
    self().events_.push_back(event);
}

bool question(ScriptedEvent::Kind kind, QuestionId id, const char* title, const char* text, int number) {
    ScriptedEvent event = makeEvent(kind, title, text);
    event.icon = BoxIcon::Question;
    event.question = id;
    event.number = number;
    ScriptedPlatform::Answer answer;
    std::string what = std::string("\"") + (title ? title : "") + "\": \"" + (text ? text : "") + "\"";
    const auto& standing = self().standing_.yesNo;
    if (kind == ScriptedEvent::YesNo && standing && self().answers_.empty())
        event.answer = standing(id);
    else
        event.answer = self().takeAnswer(kind, what, answer) && answer.ok;
    self().events_.push_back(event);
    return event.answer;
}

bool askYesNoScripted(QuestionId id, const char* title, const char* text, int number) {
    if (self().questionHoldMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(self().questionHoldMs));
    return question(ScriptedEvent::YesNo, id, title, text, number);
}

bool askOkCancelScripted(QuestionId id, const char* title, const char* text) {
    return question(ScriptedEvent::OkCancel, id, title, text, 0);
}

// Both file dialogs take answers queued as OpenFile or SaveFile by kind;
// queueCancelFile() serves either.
bool fileDialog(ScriptedEvent::Kind kind, const char* title, FileFilter filter, const char* defaultExtension,
                std::string& fileName) {
    ScriptedEvent event = makeEvent(kind, title, fileName.c_str());
    event.filter = filter;
    if (defaultExtension) event.extra = defaultExtension;
    ScriptedPlatform& ui = self();
    ScriptedPlatform::Answer answer;
    bool ok = false;
    std::string what = std::string("\"") + (title ? title : "") + "\" (preset \"" + fileName + "\")";
    if (!ui.answers_.empty() && ui.answers_.front().kind == kind) {
        answer = ui.answers_.front();
        ui.answers_.pop_front();
        ok = answer.ok;
    } else if (const std::string& standing =
                   kind == ScriptedEvent::OpenFile ? ui.standing_.openFile : ui.standing_.saveFile;
               ui.answers_.empty() && !standing.empty()) {
        answer.text = standing;
        ok = true;
    } else if (!ui.answers_.empty() && ui.answers_.front().index == -2) {
        // A cancel queued for whichever file dialog comes next.
        ui.answers_.pop_front();
        ok = false;
    } else {
        ui.takeAnswer(kind, what, answer);
        ok = false;
    }
    if (ok) {
        fileName = answer.text;
        event.extra = answer.text;
    }
    event.answer = ok;
    ui.events_.push_back(event);
    return ok;
}

bool chooseOpenScripted(const char* title, FileFilter filter, std::string& fileName) {
    return fileDialog(ScriptedEvent::OpenFile, title, filter, nullptr, fileName);
}

bool chooseSaveScripted(const char* title, FileFilter filter, const char* defaultExtension, std::string& fileName) {
    return fileDialog(ScriptedEvent::SaveFile, title, filter, defaultExtension, fileName);
}

// The counts given by progress() for the status text that follows.
long pendingDone = -1;
long pendingTotal = -1;

void progressScripted(long done, long total) {
    pendingDone = done;
    pendingTotal = total;
}

void statusScripted(const char* text) {
    ScriptedPlatform& ui = self();
    ui.lastStatus_ = text ? text : "";
    ScriptedEvent event = makeEvent(ScriptedEvent::Status, nullptr, text);
    event.done = pendingDone;
    event.total = pendingTotal;
    pendingDone = pendingTotal = -1;
    if (ui.recordAllStatus) ui.events_.push_back(event);
}

void pumpScripted() {
    ScriptedPlatform& ui = self();
    ui.events_.push_back(makeEvent(ScriptedEvent::Pump, nullptr, nullptr));
    if (ui.onPump) ui.onPump(ui.onPumpContext);
}

void repaintScripted() { self().events_.push_back(makeEvent(ScriptedEvent::Repaint, nullptr, nullptr)); }

void waitCursorScripted(bool on) {
    ScriptedEvent event = makeEvent(ScriptedEvent::WaitCursor, nullptr, nullptr);
    event.number = on ? 1 : 0;
    self().events_.push_back(event);
}

void beepScripted() { self().events_.push_back(makeEvent(ScriptedEvent::Beep, nullptr, nullptr)); }

void pauseScripted(int milliseconds) {
    ScriptedEvent event = makeEvent(ScriptedEvent::Pause, nullptr, nullptr);
    event.number = milliseconds;
    self().events_.push_back(event);
    if (self().realPauses && milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

bool initialsScripted(const InitialsDialog& dialog, std::string& entry) {
    ScriptedPlatform& ui = self();
    ScriptedEvent event = makeEvent(ScriptedEvent::InitialsDialog, dialog.title, dialog.label);
    event.number = dialog.maxLength;
    if (dialog.lines) {
        for (const char* line : *dialog.lines) event.items.push_back(line ? line : "");
    }
    event.extra = entry;  // the preset until an entry is accepted
    const std::string preset = entry;
    const size_t eventIndex = ui.events_.size();
    ui.events_.push_back(event);
    for (;;) {
        ScriptedPlatform::Answer answer;
        const bool standing = ui.answers_.empty() && !ui.standing_.initials.empty();
        if (standing) {
            answer.text = ui.standing_.initials;
        } else if (!ui.takeAnswer(
                       ScriptedEvent::InitialsDialog,
                       std::string("\"") + (dialog.title ? dialog.title : "") + "\" (preset \"" + preset + "\")",
                       answer)) {
            // The real dialog cannot be cancelled; the test has already failed.
            ui.events_[eventIndex].answer = false;
            return false;
        }
        std::string typed = answer.text;
        if (dialog.maxLength > 0 && static_cast<int>(typed.size()) > dialog.maxLength) {
            typed.resize(static_cast<size_t>(dialog.maxLength));
        }
        const char* refusal = dialog.check ? dialog.check(typed) : nullptr;
        if (refusal) {
            recordBox("FEHLER", refusal, BoxIcon::Warning);
            if (!standing) continue;
            ADD_FAILURE() << "the standing initials \"" << typed << "\" are refused";
            return false;
        }
        entry = typed;
        ui.events_[eventIndex].answer = true;
        ui.events_[eventIndex].extra = typed;
        return true;
    }
}

bool routeTrackIdScripted(const RouteTrackIdDialog& dialog, std::string& entry) {
    ScriptedPlatform& ui = self();
    ScriptedEvent event = makeEvent(ScriptedEvent::RouteTrackIdDialog, dialog.title, dialog.explanation);
    event.number = dialog.maxLength;
    event.items.push_back(entry);  // the preset
    event.items.push_back(dialog.narrowField ? "narrow" : "wide");
    bool ok = false;
    for (;;) {
        ScriptedPlatform::Answer answer;
        ok = ui.takeAnswer(ScriptedEvent::RouteTrackIdDialog,
                           std::string("\"") + (dialog.title ? dialog.title : "") + "\" (preset \"" + entry + "\")",
                           answer) &&
             answer.ok;
        if (!ok) break;
        std::string typed = answer.text;
        if (dialog.maxLength > 0 && static_cast<int>(typed.size()) > dialog.maxLength) {
            typed.resize(static_cast<size_t>(dialog.maxLength));
        }
        // A refused entry leaves the dialog open for the next answer.
        if (const char* refusal = dialog.check ? dialog.check(typed) : nullptr) {
            recordBox("FEHLER", refusal, BoxIcon::Warning);
            continue;
        }
        entry = typed;
        event.extra = typed;
        break;
    }
    event.answer = ok;
    ui.events_.push_back(event);
    return ok;
}

bool trackSelectScripted(const TrackSelectDialog& dialog, int& selected) {
    ScriptedPlatform& ui = self();
    ScriptedEvent event = makeEvent(ScriptedEvent::TrackSelectDialog, dialog.title, dialog.prompt);
    event.items = dialog.names;
    const size_t eventIndex = ui.events_.size();
    ui.events_.push_back(event);
    for (;;) {
        ScriptedPlatform::Answer answer;
        if (!ui.takeAnswer(ScriptedEvent::TrackSelectDialog,
                           std::string("\"") + (dialog.title ? dialog.title : "") + "\"", answer) ||
            !answer.ok) {
            ui.events_[eventIndex].answer = false;
            ui.events_[eventIndex].number = -1;
            return false;
        }
        if (answer.index < 0) {
            // OK without a selection: the dialog's own warning, then it stays open.
            recordBox(dialog.noSelectionTitle, dialog.noSelectionText, BoxIcon::Warning);
            continue;
        }
        if (answer.index >= static_cast<int>(dialog.names.size())) {
            ADD_FAILURE() << "scripted track selection " << answer.index << " is outside the list of "
                          << dialog.names.size() << " tracks";
            ui.events_[eventIndex].answer = false;
            ui.events_[eventIndex].number = -1;
            return false;
        }
        selected = answer.index;
        ui.events_[eventIndex].answer = true;
        ui.events_[eventIndex].number = answer.index;
        return true;
    }
}

void deviceInfoScripted(const char* title, const char* text) {
    self().events_.push_back(makeEvent(ScriptedEvent::DeviceInfoDialog, title, text));
}

const Platform scriptedTable = {
    .messageBox = recordBox,
    .askYesNo = askYesNoScripted,
    .askOkCancel = askOkCancelScripted,
    .chooseFileToOpen = chooseOpenScripted,
    .chooseFileToSave = chooseSaveScripted,
    .setStatusLine = statusScripted,
    .progress = progressScripted,
    .pumpEvents = pumpScripted,
    .repaintMainWindow = repaintScripted,
    .setWaitCursor = waitCursorScripted,
    .beep = beepScripted,
    .pause = pauseScripted,
    .initialsDialog = initialsScripted,
    .routeTrackIdDialog = routeTrackIdScripted,
    .trackSelectDialog = trackSelectScripted,
    .deviceInfoDialog = deviceInfoScripted,
};

}  // namespace

ScriptedPlatform::ScriptedPlatform(Standing standing) : standing_(std::move(standing)) {
    if (current) ADD_FAILURE() << "a second ScriptedPlatform was created while one is installed";
    current = this;
    installPlatform(&scriptedTable);
}

ScriptedPlatform::~ScriptedPlatform() {
    if (current == this) {
        current = nullptr;
        installPlatform(nullptr);
    }
}

void ScriptedPlatform::queueYesNo(bool yes) { answers_.push_back({ScriptedEvent::YesNo, yes, "", 0}); }
void ScriptedPlatform::queueOkCancel(bool ok) { answers_.push_back({ScriptedEvent::OkCancel, ok, "", 0}); }
void ScriptedPlatform::queueOpenFile(const std::string& path) {
    answers_.push_back({ScriptedEvent::OpenFile, true, path, 0});
}
void ScriptedPlatform::queueSaveFile(const std::string& path) {
    answers_.push_back({ScriptedEvent::SaveFile, true, path, 0});
}
void ScriptedPlatform::queueCancelFile() { answers_.push_back({ScriptedEvent::OpenFile, false, "", -2}); }
void ScriptedPlatform::queueInitials(const std::string& entry) {
    answers_.push_back({ScriptedEvent::InitialsDialog, true, entry, 0});
}
void ScriptedPlatform::queueRouteTrackId(bool ok, const std::string& text) {
    answers_.push_back({ScriptedEvent::RouteTrackIdDialog, ok, text, 0});
}
void ScriptedPlatform::queueTrackSelect(bool ok, int index) {
    answers_.push_back({ScriptedEvent::TrackSelectDialog, ok, "", index});
}

bool ScriptedPlatform::takeAnswer(ScriptedEvent::Kind kind, const std::string& what, Answer& out) {
    if (answers_.empty()) {
        ADD_FAILURE() << "unanswered " << kindName(kind) << " " << what << ": no answer queued";
        return false;
    }
    const Answer& next = answers_.front();
    if (next.kind != kind || next.index == -2) {
        ADD_FAILURE() << "unexpected " << kindName(kind) << " " << what << ": the next queued answer is for a "
                      << (next.index == -2 ? "file dialog (cancel)" : kindName(next.kind));
        return false;
    }
    out = next;
    answers_.pop_front();
    return true;
}

std::vector<const ScriptedEvent*> ScriptedPlatform::eventsOf(ScriptedEvent::Kind kind) const {
    std::vector<const ScriptedEvent*> result;
    for (const ScriptedEvent& event : events_) {
        if (event.kind == kind) result.push_back(&event);
    }
    return result;
}

std::vector<std::string> ScriptedPlatform::boxTexts() const {
    std::vector<std::string> result;
    for (const ScriptedEvent& event : events_) {
        if (event.kind == ScriptedEvent::Box) result.push_back(event.text);
    }
    return result;
}

std::vector<std::string> ScriptedPlatform::questionTexts() const {
    std::vector<std::string> result;
    for (const ScriptedEvent& event : events_) {
        if (event.kind == ScriptedEvent::YesNo || event.kind == ScriptedEvent::OkCancel) result.push_back(event.text);
    }
    return result;
}

std::vector<std::string> ScriptedPlatform::statusTexts() const {
    std::vector<std::string> result;
    for (const ScriptedEvent& event : events_) {
        if (event.kind == ScriptedEvent::Status) result.push_back(event.text);
    }
    return result;
}

std::vector<std::pair<long, long>> ScriptedPlatform::statusCounts() const {
    std::vector<std::pair<long, long>> result;
    for (const ScriptedEvent& event : events_) {
        if (event.kind == ScriptedEvent::Status) result.emplace_back(event.done, event.total);
    }
    return result;
}

std::string ScriptedPlatform::lastStatus() const { return lastStatus_; }

int ScriptedPlatform::totalPauseMs() const {
    int total = 0;
    for (const ScriptedEvent& event : events_) {
        if (event.kind == ScriptedEvent::Pause) total += event.number;
    }
    return total;
}
