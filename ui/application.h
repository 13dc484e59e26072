#pragma once
// Start-up, message loop and end of the program.

#include <QString>
#include <string>

namespace ui {

struct StartOptions {
    // Where the program file lives (a "Wegmate.par" there is used first).
    std::string programDirectory;
    // Name of the single-instance channel; empty: the default per user and
    // parameter file.
    QString instanceName;
};

// Runs the program in the existing QApplication: hands over to a running
// instance (beep, end with 0), loads the settings, shows the main window,
// runs until the window closes, saves the settings. Returns the exit code.
int runProgram(const StartOptions& options);

// Loads the German translations of Qt's own dialogs (the file dialogs and
// their questions); false when they are not installed.
bool installGermanTranslations();

}  // namespace ui
