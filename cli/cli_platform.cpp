// The command-line front end of the platform interface.

#include "cli/cli_platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/platform.h"
#include "cli/cli_progress.h"

namespace {

CliAnswers answers;
bool errorShown = false;
bool warningShown = false;
bool progressShowing = false;
bool progressToTerminal = false;
std::chrono::steady_clock::time_point lastProgress;
// The transfer's first counted status: its count and time, for the rate.
bool counting = false;
long firstDone = 0;
std::chrono::steady_clock::time_point firstCounted;

// One line per text: line breaks of the German box texts become blanks in
// the notes about questions.
std::string oneLine(const char* text) {
    std::string out = text ? text : "";
    for (char& c : out)
        if (c == '\n' || c == '\r') c = ' ';
    return out;
}

void endProgressLine() {
    if (progressShowing) {
        std::fputs("\r\033[K", stderr);
        progressShowing = false;
    }
}

void note(const char* format, const std::string& a, const std::string& b = "") {
    endProgressLine();
    std::fprintf(stderr, format, a.c_str(), b.c_str());
    std::fputc('\n', stderr);
}

void messageBox(const char* title, const char* text, BoxIcon) {
    endProgressLine();
    const bool error = title && std::strcmp(title, "FEHLER") == 0;
    const bool warning = title && std::strcmp(title, "Wegmate-WARNUNG") == 0;
    if (error) errorShown = true;
    if (warning) warningShown = true;
    FILE* out = error || warning ? stderr : stdout;
    std::fprintf(out, "%s: %s\n", title ? title : "", text ? text : "");
    std::fflush(out);
}

bool answerFor(QuestionId id, int number, const char*& option) {
    switch (id) {
    case QuestionId::RouteMode:
        option = "--as-routes";
        return answers.asRoutes;
    case QuestionId::SingleTrack:
        option = "--track";
        return answers.track > 0;
    case QuestionId::TrackOffer:
        option = "--track";
        return answers.track > 0 && number == answers.track;
    case QuestionId::SeparateTracks:
    case QuestionId::SeparateOverlayLines:
        option = "--separate-tracks";
        return answers.separateTracks;
    case QuestionId::ConvertOverlay:
        break;
    }
    option = nullptr;
    return false;
}

bool askYesNo(QuestionId id, const char*, const char* text, int number) {
    const char* option = nullptr;
    const bool yes = answerFor(id, number, option);
    if (option)
        note(yes ? "Frage: %s -> Ja (%s)" : "Frage: %s -> Nein (ohne %s)", oneLine(text), option);
    else
        note("Frage: %s -> Nein%s", oneLine(text));
    return yes;
}

bool askOkCancel(QuestionId, const char*, const char* text) {
    if (answers.confirm) {
        note("Frage: %s -> OK%s", oneLine(text));
        return true;
    }
    note("Frage: %s -> Abbrechen%s", oneLine(text));
    return false;
}

bool fileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool chooseFileToOpen(const char* title, FileFilter, std::string& fileName) {
    if (answers.openFile.empty()) {
        note("%s: keine Datei angegeben, abgebrochen%s", title ? title : "");
        return false;
    }
    if (!fileExists(answers.openFile)) {
        endProgressLine();
        std::fprintf(stderr, "FEHLER: Datei nicht gefunden: %s\n", answers.openFile.c_str());
        errorShown = true;
        return false;
    }
    fileName = answers.openFile;
    return true;
}

bool chooseFileToSave(const char* title, FileFilter, const char* defaultExtension, std::string& fileName) {
    if (answers.saveFile.empty()) {
        note("%s: keine Datei angegeben, abgebrochen%s", title ? title : "");
        return false;
    }
    fileName = answers.saveFile;
    // The default extension is added when the name has none; a name that
    // exists (a device, say) is taken as given.
    struct stat info;
    if (lstat(fileName.c_str(), &info) == 0) return true;
    const size_t slash = fileName.find_last_of('/');
    const size_t dot = fileName.find_last_of('.');
    if (defaultExtension && *defaultExtension &&
        (dot == std::string::npos || (slash != std::string::npos && dot < slash)))
        fileName += std::string(".") + defaultExtension;
    return true;
}

// The counts that progress() gave for the status text that follows.
bool pendingCounts = false;
long pendingDone = 0;
long pendingTotal = 0;

void progress(long done, long total) {
    pendingCounts = total > 0;
    pendingDone = done;
    pendingTotal = total;
}

void setStatusLine(const char* text) {
    const bool counted = pendingCounts;
    const long done = pendingDone, total = pendingTotal;
    pendingCounts = false;
    if (!progressToTerminal || !text) return;
    const auto now = std::chrono::steady_clock::now();
    if (!counted || (counting && done < firstDone)) counting = false;
    if (counted && !counting) {
        counting = true;
        firstDone = done;
        firstCounted = now;
    }
    // Counted texts not more than ten a second, except the last of a
    // transfer; texts without counts (idle, busy, file names) always.
    const bool fixed = !counted || done >= total;
    if (!fixed && progressShowing && now - lastProgress < std::chrono::milliseconds(100)) return;
    lastProgress = now;
    std::string line = text;
    if (counted) {
        // Trailing blanks of the status text are not needed beside the bar.
        while (!line.empty() && line.back() == ' ') line.pop_back();
        const double seconds = std::chrono::duration<double>(now - firstCounted).count();
        line += progressBar(done, total, done - firstDone, seconds);
    }
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    progressShowing = true;
}

void nothing() {}
void waitCursor(bool) {}

void pause(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool initialsDialog(const InitialsDialog& dialog, std::string& entry) {
    if (!answers.hasInitials) {
        note("Anfangszeichen automatischer Punktnamen: %s (Voreinstellung, ohne --initials)%s", entry);
        return true;
    }
    std::string value = answers.initials;
    for (char& c : value)
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    if (dialog.check) {
        const char* error = dialog.check(value);
        if (error) {
            // The dialog cannot be left without valid initials: the preset stays.
            messageBox("FEHLER", error, BoxIcon::Warning);
            note("Anfangszeichen automatischer Punktnamen: %s (Voreinstellung)%s", entry);
            return true;
        }
    }
    entry = value;
    note("Anfangszeichen automatischer Punktnamen: %s (--initials)%s", entry);
    return true;
}

bool routeTrackIdDialog(const RouteTrackIdDialog& dialog, std::string& entry) {
    if (!answers.hasId) {
        note("%s: abgebrochen (ohne --id, Voreinstellung '%s')", oneLine(dialog.title), entry);
        return false;
    }
    entry = answers.id;
    if (dialog.maxLength > 0 && (int)entry.size() > dialog.maxLength) entry.resize((size_t)dialog.maxLength);
    note("%s: '%s' (--id)", oneLine(dialog.title), entry);
    return true;
}

bool trackSelectDialog(const TrackSelectDialog& dialog, int& selected) {
    endProgressLine();
    std::fprintf(stderr, "%s\n", dialog.prompt ? dialog.prompt : "");
    for (size_t i = 0; i < dialog.names.size(); i++)
        std::fprintf(stderr, "  %3zu  %s\n", i + 1, dialog.names[i].c_str());
    if (answers.track <= 0) {
        note("%s: abgebrochen (ohne --track)%s", oneLine(dialog.title));
        return false;
    }
    if (answers.track > (int)dialog.names.size()) {
        std::fprintf(stderr, "FEHLER: Track-Aufzeichnung %d ist nicht in der Liste.\n", answers.track);
        errorShown = true;
        return false;
    }
    selected = answers.track - 1;
    return true;
}

void deviceInfoDialog(const char* title, const char* text) {
    endProgressLine();
    std::string body = text ? text : "";
    std::string out;
    for (size_t i = 0; i < body.size(); i++)
        if (body[i] != '\r') out += body[i];
    std::printf("%s\n%s\n", title ? title : "", out.c_str());
    std::fflush(stdout);
}

const Platform cliPlatform = {
    .messageBox = messageBox,
    .askYesNo = askYesNo,
    .askOkCancel = askOkCancel,
    .chooseFileToOpen = chooseFileToOpen,
    .chooseFileToSave = chooseFileToSave,
    .setStatusLine = setStatusLine,
    .progress = progress,
    .pumpEvents = nothing,
    .repaintMainWindow = nothing,
    .setWaitCursor = waitCursor,
    .beep = nothing,
    .pause = pause,
    .initialsDialog = initialsDialog,
    .routeTrackIdDialog = routeTrackIdDialog,
    .trackSelectDialog = trackSelectDialog,
    .deviceInfoDialog = deviceInfoDialog,
};

}  // namespace

void installCliPlatform(const CliAnswers& given) {
    answers = given;
    errorShown = false;
    warningShown = false;
    progressToTerminal = isatty(2) != 0;
    installPlatform(&cliPlatform);
}

bool cliErrorShown() { return errorShown; }
bool cliWarningShown() { return warningShown; }

void cliFinishProgress() {
    if (progressShowing) {
        std::fputc('\n', stderr);
        progressShowing = false;
    }
}
