// Wegmate: waypoints, routes and track logs between a Garmin receiver and
// MapInfo / TOP50 overlay files.

#include <QApplication>
#include <QIcon>

#include "platform/settings.h"
#include "ui/application.h"

int main(int argc, char** argv) {
    // Qt takes its own options (-platform, -display ...); the program itself
    // reads no arguments.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wegmate"));
    QApplication::setDesktopFileName(QStringLiteral("wegmate"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/wegmate/wegmate.png")));
    QApplication::setQuitOnLastWindowClosed(false);

    ui::StartOptions options;
    options.programDirectory = programDirectory();
    return ui::runProgram(options);
}
