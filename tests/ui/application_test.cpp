// Start-up and end of the program: the parameter file read at start and
// written at the normal end, and the hand-over of a second start.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "platform/settings.h"
#include "modal_script.h"
#include "ui/application.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"

namespace {

QByteArray parameterBytes(std::initializer_list<int32_t> fields) {
    QByteArray bytes;
    for (int32_t field : fields)
        for (int shift = 0; shift < 32; shift += 8) bytes.append(char((uint32_t(field) >> shift) & 0xFF));
    return bytes;
}

}  // namespace

class ApplicationTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void parameterFileRoundTrip();
    void defaultsWithoutParameterFile();
    void longFileRewrittenWithTwentyBytes();
    void secondStartRaisesTheFirst();

  private:
    QString parameterFile() const { return config_->path() + QStringLiteral("/wegmate/Wegmate.par"); }
    void writeParameterFile(const QByteArray& bytes) {
        QDir().mkpath(config_->path() + QStringLiteral("/wegmate"));
        QFile file(parameterFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readParameterFile() const {
        QFile file(parameterFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    int runWith(const std::function<void(ui::MainWindow*)>& whileRunning) {
        QTimer::singleShot(50, [whileRunning] {
            ui::MainWindow* window = ui::MainWindow::instance();
            QVERIFY(window);
            whileRunning(window);
        });
        ui::StartOptions options;
        options.programDirectory = programDir_->path().toStdString() + "/";
        options.instanceName = QStringLiteral("wegmate-test-%1").arg(QCoreApplication::applicationPid());
        return ui::runProgram(options);
    }

    std::unique_ptr<QTemporaryDir> config_;
    std::unique_ptr<QTemporaryDir> programDir_;
};

void ApplicationTest::init() {
    config_ = std::make_unique<QTemporaryDir>();
    programDir_ = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", config_->path().toUtf8());
    settings = Settings{};
}

void ApplicationTest::parameterFileRoundTrip() {
    writeParameterFile(parameterBytes({3, 0, 1, 111, 2222}));
    ModalScript script;
    QStringList shown;
    const int result = runWith([&](ui::MainWindow* window) {
        shown << window->portChoice()->currentText() << window->fileTypeChoice()->currentText()
              << window->objectTypeChoice()->currentText();
        window->portChoice()->setCurrentIndex(5);
        script.on(QStringLiteral(" Wegmate -- Einstellungen"), [](QWidget* widget) {
            auto* dialog = qobject_cast<ui::SettingsDialog*>(widget);
            QCOMPARE(dialog->routeField()->text(), QStringLiteral("111"));
            dialog->routeField()->setText(QStringLiteral("300"));
            dialog->okButton()->click();
        });
        window->command(55);
        // The file is written at the end only.
        QCOMPARE(readParameterFile(), parameterBytes({3, 0, 1, 111, 2222}));
        window->command(49);
    });
    QCOMPARE(result, 0);
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    QCOMPARE(shown,
             QStringList({QStringLiteral("COM 3"), QStringLiteral("MapInfo MIF"), QStringLiteral("Punkt / Symbol")}));
    QCOMPARE(readParameterFile(), parameterBytes({5, 0, 1, 300, 2222}));
}

void ApplicationTest::defaultsWithoutParameterFile() {
    QStringList shown;
    const int result = runWith([&shown](ui::MainWindow* window) {
        shown << window->portChoice()->currentText() << window->fileTypeChoice()->currentText()
              << window->objectTypeChoice()->currentText() << window->windowTitle();
        window->close();
    });
    QCOMPARE(result, 0);
    QCOMPARE(shown, QStringList({QStringLiteral("USB"), QString::fromUtf8("TOP50-OVL-Binär (Alt)"),
                                 QStringLiteral("Linie / Polylinie"), QStringLiteral("Wegmate")}));
    QCOMPARE(readParameterFile(), parameterBytes({0, 2, 0, 250, 20000}));
}

void ApplicationTest::longFileRewrittenWithTwentyBytes() {
    // 24 bytes, a port index out of range: only the port falls back.
    writeParameterFile(parameterBytes({9, 1, 1, 40, 50, 77}));
    QString port;
    runWith([&port](ui::MainWindow* window) {
        port = window->portChoice()->currentText();
        window->close();
    });
    QCOMPARE(port, QStringLiteral("USB"));
    QCOMPARE(readParameterFile(), parameterBytes({0, 1, 1, 40, 50}));
}

void ApplicationTest::secondStartRaisesTheFirst() {
    ui::StartOptions options;
    options.programDirectory = programDir_->path().toStdString() + "/";  // default channel name
    int secondExit = -1;
    QProcess::ExitStatus secondStatus = QProcess::CrashExit;
    bool restored = false;
    bool parameterFileMeanwhile = true;
    QTimer::singleShot(50, [&] {
        ui::MainWindow* window = ui::MainWindow::instance();
        QVERIFY(window);
        window->showMinimized();
        QVERIFY(waitFor([window] { return window->isMinimized(); }, 3000));
        QProcess second;
        second.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        second.start(QStringLiteral(WEGMATE_PROGRAM), {});
        QVERIFY(waitFor([&second] { return second.state() == QProcess::NotRunning; }, 20000));
        secondExit = second.exitCode();
        secondStatus = second.exitStatus();
        restored = waitFor([window] { return !window->isMinimized(); }, 3000);
        parameterFileMeanwhile = QFile::exists(parameterFile());
        window->close();
    });
    QCOMPARE(ui::runProgram(options), 0);
    QCOMPARE(secondStatus, QProcess::NormalExit);
    QCOMPARE(secondExit, 0);
    QVERIFY(restored);
    // The second start ended early without writing the parameter file.
    QVERIFY(!parameterFileMeanwhile);
    QVERIFY(QFile::exists(parameterFile()));

    // Once the first one has ended, a start runs normally again: it only
    // ends when its window is closed (here: killed after a while).
    QProcess third;
    third.start(QStringLiteral(WEGMATE_PROGRAM), {});
    QVERIFY(third.waitForStarted());
    QVERIFY(!third.waitForFinished(1500));
    third.kill();
    third.waitForFinished();
}

QTEST_MAIN(ApplicationTest)
#include "application_test.moc"
