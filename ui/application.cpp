#include "ui/application.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QEventLoop>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "commands/command.h"
#include "platform/settings.h"
#include "link/trace.h"
#include "ui/boxes.h"
#include "ui/main_window.h"
#include "ui/qt_platform.h"
#include "ui/single_instance.h"

namespace ui {

bool installGermanTranslations() {
    static QTranslator* translator = nullptr;
    static bool loaded = false;
    if (translator) return loaded;
    translator = new QTranslator(qApp);
    loaded = translator->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (loaded) QCoreApplication::installTranslator(translator);
    return loaded;
}

int runProgram(const StartOptions& options) {
    transferBusy = false;
    const std::string parameterFile = parameterFilePath(options.programDirectory);

    SingleInstance instance(options.instanceName.isEmpty()
                                ? SingleInstance::defaultName(QString::fromStdString(parameterFile))
                                : options.instanceName);
    if (!instance.claim()) {
        beep();
        return 0;
    }

    // WEGMATE_TRACE names a file for the link trace (every packet to and
    // from the receiver); without it nothing is written.
    if (const char* trace = getenv("WEGMATE_TRACE"); trace && *trace && !setLinkTrace(trace))
        fprintf(stderr, "wegmate: WEGMATE_TRACE '%s' cannot be written\n", trace);

    loadAndValidateSettings(parameterFile.c_str());
    installGermanTranslations();
    installQtPlatform();

    int result = 0;
    {
        MainWindow window;
        QEventLoop loop;
        QObject::connect(
            &window, &MainWindow::closed, &loop, [&loop] { loop.exit(0); }, Qt::QueuedConnection);
        QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                         [&window] { window.bringToFront(); });
        window.show();
        window.repaint();
        result = loop.exec();
    }
    installPlatform(nullptr);
    settings.save(parameterFile.c_str());
    setLinkTrace(nullptr);
    return result;
}

}  // namespace ui
