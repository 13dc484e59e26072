// The installed front end and the silent default that stands in before one
// is installed.

#include "platform/platform.h"

namespace {

void silentMessageBox(const char*, const char*, BoxIcon) {}
bool silentYesNo(QuestionId, const char*, const char*, int) { return false; }
bool silentOkCancel(QuestionId, const char*, const char*) { return false; }
bool silentOpen(const char*, FileFilter, std::string&) { return false; }
bool silentSave(const char*, FileFilter, const char*, std::string&) { return false; }
void silentText(const char*) {}
void silentProgress(long, long) {}
void silentNothing() {}
void silentCursor(bool) {}
void silentPause(int) {}
bool silentInitials(const InitialsDialog&, std::string&) { return false; }
bool silentRouteTrackId(const RouteTrackIdDialog&, std::string&) { return false; }
bool silentTrackSelect(const TrackSelectDialog&, int&) { return false; }
void silentDeviceInfo(const char*, const char*) {}

const Platform silentPlatform = {
    .messageBox = silentMessageBox,
    .askYesNo = silentYesNo,
    .askOkCancel = silentOkCancel,
    .chooseFileToOpen = silentOpen,
    .chooseFileToSave = silentSave,
    .setStatusLine = silentText,
    .progress = silentProgress,
    .pumpEvents = silentNothing,
    .repaintMainWindow = silentNothing,
    .setWaitCursor = silentCursor,
    .beep = silentNothing,
    .pause = silentPause,
    .initialsDialog = silentInitials,
    .routeTrackIdDialog = silentRouteTrackId,
    .trackSelectDialog = silentTrackSelect,
    .deviceInfoDialog = silentDeviceInfo,
};

const Platform* installed = &silentPlatform;

}  // namespace

void installPlatform(const Platform* table) { installed = table ? table : &silentPlatform; }

const Platform& platform() { return *installed; }

void showError(const char* text) { installed->messageBox("FEHLER", text, BoxIcon::Warning); }
void showInfo(const char* text) { installed->messageBox("Wegmate-INFO", text, BoxIcon::Information); }
void showWarning(const char* text) { installed->messageBox("Wegmate-WARNUNG", text, BoxIcon::Warning); }
void showBox(const char* title, const char* text, BoxIcon icon) { installed->messageBox(title, text, icon); }
bool askYesNo(QuestionId id, const char* title, const char* text, int number) {
    return installed->askYesNo(id, title, text, number);
}
bool askOkCancel(QuestionId id, const char* title, const char* text) { return installed->askOkCancel(id, title, text); }
void setStatusLine(const char* text) { installed->setStatusLine(text); }
void setProgressStatus(const char* text, long done, long total) {
    installed->progress(done, total);
    installed->setStatusLine(text);
}
void pumpEvents() { installed->pumpEvents(); }
void pauseMs(int milliseconds) { installed->pause(milliseconds); }
