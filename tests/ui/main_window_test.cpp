// The main window: menu and buttons reach their actions with the current
// choices, refusals while a transfer runs, the layout, the status
// line and the info box.

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTemporaryDir>
#include <QtTest>
#include <vector>

#include "commands/command.h"
#include "platform/settings.h"
#include "modal_script.h"
#include "ui/boxes.h"
#include "ui/content_view.h"
#include "ui/dialogs.h"
#include "ui/help_window.h"
#include "ui/info_box.h"
#include "ui/main_window.h"
#include "ui/read_only_text.h"
#include "ui/qt_platform.h"

namespace {

struct Call {
    int command, port, fileKind, objectKind;
    bool operator==(const Call& other) const {
        return command == other.command && port == other.port && fileKind == other.fileKind &&
               objectKind == other.objectKind;
    }
};

std::vector<Call> calls;
int conversions = 0;
// Run inside the recorded command, as if the transfer pumped events.
std::function<void()> duringCommand;

// The command, port, file and object kinds by their numbers.
int recordCommand(TransferCommand command, const Port& port, FileKind fileKind, ObjectKind objectKind) {
    calls.push_back(
        {static_cast<int>(command), portIndex(port), static_cast<int>(fileKind), static_cast<int>(objectKind)});
    if (duringCommand) {
        transferBusy = true;
        duringCommand();
        transferBusy = false;
    }
    return 0;
}

void recordConversion() { ++conversions; }

const ui::MainWindowActions kRecorder = {&recordCommand, &recordConversion};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menuTextsAndIds();
    void buttonsRunTheirCommandsWithTheChoices();
    void deviceInfoAndConversionFromTheMenu();
    void refusedWhileBusyWithABeep();
    void settingsStayAvailableWhileBusy();
    void clicksAndCloseDuringATransferOnlyBeep();
    void closeStoresTheChoices();
    void choicesFollowTheSettings();
    void geometryFollowsTheBaseUnits();
    void statusLineThroughThePlatform();
    void infoBoxFromTheMenu();
    void infoBoxGrowsWithALongerLine();
    void shortHelpOpensOnce();

  private:
    QTemporaryDir config_;
    std::unique_ptr<ui::MainWindow> window_;
};

void MainWindowTest::initTestCase() {
    qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
    ui::installQtPlatform();
}

void MainWindowTest::init() {
    calls.clear();
    conversions = 0;
    duringCommand = nullptr;
    transferBusy = false;
    settings = Settings{};
    window_ = std::make_unique<ui::MainWindow>(kRecorder);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void MainWindowTest::cleanup() {
    transferBusy = false;
    window_.reset();
}

void MainWindowTest::menuTextsAndIds() {
    const QList<QAction*> top = window_->menuBar()->actions();
    QCOMPARE(top.size(), 5);
    QCOMPARE(top[0]->text(), QStringLiteral("&Beenden     "));
    QCOMPARE(top[0]->data().toInt(), 49);
    QCOMPARE(top[1]->text(), QStringLiteral("&Einstellungen   "));
    QCOMPARE(top[1]->data().toInt(), 55);
    QCOMPARE(top[2]->text(), QString::fromUtf8("&Geräte-Info   "));
    QCOMPARE(top[2]->data().toInt(), 50);
    QCOMPARE(top[3]->text(), QStringLiteral("&OVL-Umwandlung  "));
    QCOMPARE(top[3]->data().toInt(), 56);
    QCOMPARE(top[4]->text(), QStringLiteral("&Hilfe       "));
    QVERIFY(top[4]->menu() != nullptr);
    const QList<QAction*> help = top[4]->menu()->actions();
    QCOMPARE(help.size(), 3);
    QCOMPARE(help[0]->text(), QStringLiteral("&Kurzanleitung"));
    QCOMPARE(help[0]->data().toInt(), 54);
    QVERIFY(help[1]->isSeparator());
    QCOMPARE(help[2]->text(), QStringLiteral("&Info"));
    QCOMPARE(help[2]->data().toInt(), 48);
    // All five items are visible in one row of the menu bar.
    for (QAction* action : top) QVERIFY(window_->menuBar()->actionGeometry(action).right() <= window_->width());

    QCOMPARE(window_->portChoice()->count(), 10);
    QCOMPARE(window_->portChoice()->itemText(9), QStringLiteral("Simulator (eTrex)"));
    QCOMPARE(window_->portChoice()->itemText(0), QStringLiteral("USB"));
    QCOMPARE(window_->portChoice()->itemText(8), QStringLiteral("COM 8"));
    QCOMPARE(window_->fileTypeChoice()->count(), 4);
    QCOMPARE(window_->fileTypeChoice()->itemText(2), QString::fromUtf8("TOP50-OVL-Binär (Alt)"));
    QCOMPARE(window_->fileTypeChoice()->itemText(3), QStringLiteral("GPX"));
    QCOMPARE(window_->objectTypeChoice()->itemText(1), QStringLiteral("Punkt / Symbol"));
    QCOMPARE(window_->button(104)->text(), QStringLiteral("&Wegpunkte / Route(n) holen"));
    QCOMPARE(window_->button(105)->text(), QStringLiteral("Wegpunkte / Route(n) &senden"));
    QCOMPARE(window_->button(106)->text(), QStringLiteral("&Track-Aufzeichnung(en) holen"));
    QCOMPARE(window_->button(107)->text(), QStringLiteral("Track-Aufzeichnung(en) se&nden"));
    // The choices have real labels whose mnemonics reach them.
    const struct {
        const char* name;
        const char* text;
        QComboBox* buddy;
    } labels[] = {{"label101", "&Anschluss:", window_->portChoice()},
                  {"label102", "&Dateiart:", window_->fileTypeChoice()},
                  {"label103", "Ob&jektart:", window_->objectTypeChoice()}};
    for (const auto& label : labels) {
        auto* widget = window_->findChild<QLabel*>(QString::fromUtf8(label.name));
        QVERIFY(widget);
        QCOMPARE(widget->text(), QString::fromUtf8(label.text));
        QCOMPARE(widget->buddy(), label.buddy);
    }
    window_->button(104)->setFocus();
    QTest::keyClick(window_.get(), Qt::Key_J, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), window_->objectTypeChoice());
}

void MainWindowTest::buttonsRunTheirCommandsWithTheChoices() {
    window_->portChoice()->setCurrentIndex(3);
    window_->fileTypeChoice()->setCurrentIndex(1);
    window_->objectTypeChoice()->setCurrentIndex(1);
    for (int id = 104; id <= 107; ++id) QTest::mouseClick(window_->button(id), Qt::LeftButton);
    const std::vector<Call> expected = {{1, 3, 2, 2}, {2, 3, 2, 2}, {3, 3, 2, 2}, {4, 3, 2, 2}};
    QVERIFY(calls == expected);

    calls.clear();
    window_->portChoice()->setCurrentIndex(0);
    window_->fileTypeChoice()->setCurrentIndex(0);
    window_->objectTypeChoice()->setCurrentIndex(0);
    QTest::mouseClick(window_->button(106), Qt::LeftButton);
    QVERIFY((calls == std::vector<Call>{{3, 0, 1, 1}}));

    // From the keyboard: Tab to a button, Enter presses it.
    calls.clear();
    window_->button(105)->setFocus();
    QTest::keyClick(window_->button(105), Qt::Key_Return);
    QVERIFY((calls == std::vector<Call>{{2, 0, 1, 1}}));

    // The fourth file type is GPX.
    calls.clear();
    window_->fileTypeChoice()->setCurrentIndex(3);
    QTest::mouseClick(window_->button(104), Qt::LeftButton);
    QVERIFY((calls == std::vector<Call>{{1, 0, 4, 1}}));
}

void MainWindowTest::deviceInfoAndConversionFromTheMenu() {
    window_->portChoice()->setCurrentIndex(2);
    window_->fileTypeChoice()->setCurrentIndex(0);
    window_->action(50)->trigger();
    QVERIFY((calls == std::vector<Call>{{5, 2, 1, 1}}));
    window_->action(56)->trigger();
    QCOMPARE(conversions, 1);
}

void MainWindowTest::refusedWhileBusyWithABeep() {
    transferBusy = true;
    const int before = ui::beepCount();
    for (int id = 104; id <= 107; ++id) window_->button(id)->click();
    window_->action(50)->trigger();
    window_->action(54)->trigger();
    window_->action(48)->trigger();
    window_->action(49)->trigger();
    window_->action(56)->trigger();  // the conversion would replace the table being transferred
    QCOMPARE(ui::beepCount() - before, 9);
    QVERIFY(calls.empty());
    QCOMPARE(conversions, 0);
    QVERIFY(window_->helpWindow() == nullptr);
    QVERIFY(window_->isVisible());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void MainWindowTest::settingsStayAvailableWhileBusy() {
    transferBusy = true;
    const int before = ui::beepCount();
    ModalScript script;
    script.on(QStringLiteral(" Wegmate -- Einstellungen"),
              [](QWidget* dialog) { QVERIFY(ModalScript::clickButton(dialog, QStringLiteral("Abbrechen"))); });
    window_->action(55)->trigger();
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    QCOMPARE(ui::beepCount(), before);
}

void MainWindowTest::clicksAndCloseDuringATransferOnlyBeep() {
    int closedSignals = 0;
    connect(window_.get(), &ui::MainWindow::closed, this, [&closedSignals] { ++closedSignals; });
    const int before = ui::beepCount();
    bool busyShown = false;
    duringCommand = [this, &busyShown] {
        // The busy state is shown: transfer buttons and the refused menu
        // items are disabled, the settings stay.
        busyShown = true;
        for (int id = 104; id <= 107; ++id) busyShown = busyShown && !window_->button(id)->isEnabled();
        for (int id : {48, 49, 50, 54, 56}) busyShown = busyShown && !window_->action(id)->isEnabled();
        busyShown = busyShown && window_->action(55)->isEnabled();
        // A user clicking around while the transfer pumps events.
        QTest::mouseClick(window_->button(106), Qt::LeftButton);
        window_->close();
        QCoreApplication::processEvents();
    };
    QTest::mouseClick(window_->button(104), Qt::LeftButton);
    QVERIFY(busyShown);
    QCOMPARE(calls.size(), size_t(1));
    QCOMPARE(ui::beepCount() - before, 1);  // the close; the disabled button takes no click
    for (int id = 104; id <= 107; ++id) QVERIFY(window_->button(id)->isEnabled());
    QVERIFY(window_->action(56)->isEnabled());
    QCOMPARE(closedSignals, 0);
    QVERIFY(window_->isVisible());

    // Idle again: closing works.
    duringCommand = nullptr;
    QVERIFY(window_->close());
    QCOMPARE(closedSignals, 1);
}

void MainWindowTest::closeStoresTheChoices() {
    window_->portChoice()->setCurrentIndex(7);
    window_->fileTypeChoice()->setCurrentIndex(0);
    window_->objectTypeChoice()->setCurrentIndex(1);
    window_->action(49)->trigger();
    QVERIFY(!window_->isVisible());
    QCOMPARE(settings.portIndex, 7);
    QCOMPARE(settings.fileTypeIndex, 0);
    QCOMPARE(settings.objectTypeIndex, 1);
}

void MainWindowTest::choicesFollowTheSettings() {
    settings.portIndex = 3;
    settings.fileTypeIndex = 3;
    settings.objectTypeIndex = 1;
    ui::MainWindow other(kRecorder);
    QCOMPARE(other.portChoice()->currentText(), QStringLiteral("COM 3"));
    QCOMPARE(other.fileTypeChoice()->currentText(), QStringLiteral("GPX"));
    QCOMPARE(other.objectTypeChoice()->currentText(), QStringLiteral("Punkt / Symbol"));
}

void MainWindowTest::geometryFollowsTheBaseUnits() {
    const ui::DialogUnits units = window_->units();
    QVERIFY(units.baseX > 0 && units.baseY > 0);
    ModalScript::screenshot(QStringLiteral("Hauptfenster"));
    // The window can grow; the content view takes the room, the choices and
    // buttons keep their order and do not overlap.
    QVERIFY(window_->maximumSize().width() > window_->minimumSize().width());
    const QSize before = window_->content()->size();
    window_->resize(window_->width() + 100, window_->height() + 50);
    QVERIFY(waitFor([&] { return window_->content()->width() > before.width(); }));
    QVERIFY(window_->content()->height() > before.height());

    QComboBox* choices[] = {window_->portChoice(), window_->fileTypeChoice(), window_->objectTypeChoice()};
    for (int i = 0; i < 2; ++i) QVERIFY(choices[i]->geometry().bottom() < choices[i + 1]->y());
    for (int id = 104; id < 107; ++id) QVERIFY(window_->button(id)->geometry().bottom() < window_->button(id + 1)->y());
    QVERIFY(window_->portChoice()->geometry().right() < window_->button(104)->x());
    QVERIFY(window_->button(107)->geometry().bottom() < window_->content()->y());
    // Button texts and the longest choice fit their controls.
    for (int id = 104; id <= 107; ++id) {
        QPushButton* button = window_->button(id);
        QVERIFY(button->fontMetrics().horizontalAdvance(button->text()) < button->width());
        QVERIFY(button->height() >= 2 * units.baseY);
    }
    for (QComboBox* choice : choices) QVERIFY(choice->width() >= choice->sizeHint().width());

    // The status line runs along the bottom of the client area.
    QLabel* status = window_->statusLine();
    QVERIFY(status->height() >= int(1.2 * units.baseY));
    QCOMPARE(status->geometry().bottom(), window_->client()->height() - 1);
    QCOMPARE(status->width(), window_->client()->width());
    QCOMPARE(window_->client()->palette().color(QPalette::Window), QColor(220, 220, 220));
}

void MainWindowTest::statusLineThroughThePlatform() {
    QCOMPARE(window_->statusLine()->text(), QStringLiteral("  Status:   Bereit."));
    setStatusLine("  Status:   00003  von  00010  Wegpunkten empfangen.");
    QCOMPARE(window_->statusLine()->text(), QStringLiteral("  Status:   00003  von  00010  Wegpunkten empfangen."));
    setStatusLine(kStatusReady);
    QCOMPARE(window_->statusLine()->text(), QStringLiteral("  Status:   Bereit."));
}

void MainWindowTest::infoBoxFromTheMenu() {
    ModalScript script;
    QString shownText;
    QSize shownSize;
    script.on(QStringLiteral(" Wegmate-Info"), [&shownText, &shownSize](QWidget* window) {
        auto* box = qobject_cast<ui::InfoBox*>(window);
        QVERIFY(box);
        shownText = box->text();
        shownSize = box->size();
        QTest::keyClick(box, Qt::Key_Return);
    });
    window_->action(48)->trigger();
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    QCOMPARE(shownText, QString::fromUtf8("W e g m a t e\nVersion 1.5.2\n\nKommentare und Anregungen\n"
                                          "sind willkommen.\n"));
    QVERIFY(shownSize.width() > 0);
}

void MainWindowTest::infoBoxGrowsWithALongerLine() {
    const QString text = QString::fromUtf8(ui::kInfoText);
    ui::InfoBox plain(nullptr, text, QStringLiteral("x"), 0x40);
    ui::InfoBox longer(nullptr, text + QStringLiteral("Eine deutlich längere Zeile als alle anderen\n"),
                       QStringLiteral("x"), 0x40);
    ui::InfoBox withoutIcon(nullptr, text, QStringLiteral("x"), 0);
    QVERIFY(longer.width() > plain.width());
    QVERIFY(longer.height() > plain.height());
    QVERIFY(withoutIcon.width() < plain.width());

    // Just large enough: the text, right of the icon, ends inside the box,
    // and the OK button sits centred below the text.
    const ui::DialogUnits units = ui::systemDialogUnits();
    const int margin = int((units.baseX + units.baseY) * 0.8);
    const QFontMetrics metrics(ui::semiBoldTextFont());
    const int textWidth = metrics.boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::AlignTop, text).width();
    const int textHeight =
        metrics.boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::AlignTop, text).height();
    QCOMPARE(withoutIcon.width(), textWidth + int(margin * 2.4));
    // With the icon, the longest line still ends inside the box with room
    // to spare on the right.
    const int iconWidth = plain.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &plain);
    const int textRight = margin + int(iconWidth * 1.5) + textWidth;
    QVERIFY2(plain.width() - textRight >= margin, qPrintable(QString::number(plain.width() - textRight)));
    QCOMPARE(withoutIcon.height(), textHeight + int(margin * 3.9));
    QPushButton* ok = plain.okButton();
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QCOMPARE(ok->width(), 6 * units.baseX);
    QCOMPARE(ok->x(), plain.width() / 2 - 3 * units.baseX);
    QVERIFY(ok->y() > margin + textHeight);
    QVERIFY(ok->geometry().bottom() < plain.height());

    // Esc gives 0, OK gives 1.
    ModalScript script;
    script.on(QStringLiteral("t"), [](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
    script.on(QStringLiteral("t"), [](QWidget* box) { ModalScript::clickButton(box, QStringLiteral("OK")); });
    QCOMPARE(ui::showInfoBox(nullptr, text, QStringLiteral("t"), 0x40), 0);
    QCOMPARE(ui::showInfoBox(nullptr, text, QStringLiteral("t"), 0x40), 1);
    QVERIFY2(script.finished(), qPrintable(script.describe()));
}

void MainWindowTest::shortHelpOpensOnce() {
    window_->action(54)->trigger();
    QPointer<ui::HelpWindow> first = window_->helpWindow();
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QVERIFY(!first->isModal());
    QCOMPARE(first->windowTitle(), QStringLiteral(" Wegmate -- Kurzanleitung"));
    ModalScript::screenshot(QStringLiteral("Kurzanleitung"));
    window_->action(54)->trigger();
    QCOMPARE(window_->helpWindow(), first.data());
    // Moved off the screen, it comes back onto it.
    const QRect area = first->screen()->availableGeometry();
    first->move(area.right() + 500, area.bottom() + 500);
    window_->action(54)->trigger();
    QVERIFY2(area.contains(first->frameGeometry()),
             qPrintable(QStringLiteral("help window at %1,%2").arg(first->x()).arg(first->y())));
    int helpWindows = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<ui::HelpWindow*>(widget)) ++helpWindows;
    QCOMPARE(helpWindows, 1);

    // Esc closes it for good; the menu item then opens a new one.
    QTest::keyClick(first->textView(), Qt::Key_Escape);
    QVERIFY(waitFor([&first] { return first.isNull(); }));
    QVERIFY(window_->helpWindow() == nullptr);
    window_->action(54)->trigger();
    QVERIFY(window_->helpWindow() != nullptr);
    QTest::mouseClick(window_->helpWindow()->okButton(), Qt::LeftButton);
    QVERIFY(waitFor([this] { return window_->helpWindow() == nullptr; }));

    // A help window still open goes with the main window.
    window_->action(54)->trigger();
    QPointer<ui::HelpWindow> open = window_->helpWindow();
    QVERIFY(open && open->isVisible());
    QVERIFY(window_->close());
    QVERIFY(open.isNull() || !open->isVisible());
    window_.reset();
    QVERIFY(open.isNull());
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
