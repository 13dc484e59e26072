// The dialogs behind the platform table and the menu: settings, initials,
// route/track id, track choice, device info, short help, boxes and the
// file dialogs.

#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/platform.h"
#include "platform/settings.h"
#include "modal_script.h"
#include "ui/application.h"
#include "ui/dialogs.h"
#include "ui/help_window.h"
#include "ui/qt_platform.h"
#include "ui/read_only_text.h"

namespace {

const QString kErrorTitle = QStringLiteral("FEHLER");
const QString kSettingsError =
    QString::fromUtf8("Die Anzahl von Punkten in einer Route oder in \neiner Track-Aufz. muss größer als '0' sein. \n");

const char* initialsCheck(const std::string& entry) {
    auto ok = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
    if (entry.size() == 2 && ok(entry[0]) && ok(entry[1])) return nullptr;
    return "Als Eingabe werden hier genau zwei Zeichen \naus den Bereichen 'A' - 'Z' oder '0' - '9' \nerwartet!";
}

const std::vector<const char*> kInitialsLines = {"Falls in der einzulesenden Datei die Wegpunkte nicht mit Namen",
                                                 "versehen wurden oder werden können (insbes. ASCII-OVL-Dateien),",
                                                 "so werden eindeutige Bezeichnungen automatisch vom Programm ",
                                                 "erzeugt. Um dabei eventuell bereits im GPS-Gerät gespeicherte",
                                                 "Wegpunkte mit gleichem Namen nicht zu überschreiben, können ",
                                                 "Sie hier die ersten beiden Zeichen dieser automatischen     ",
                                                 "Punktbezeichnungen definieren.                              ",
                                                 "Verwenden Sie dazu Zeichen zwischen '0' und '9' oder 'A' und 'Z'."};

const InitialsDialog kInitials = {" Wegmate -- Wegpunktbezeichnungen", &kInitialsLines,
                                  "Anfangszeichen automatischer Punktnamen ", 2, &initialsCheck};

void typeInto(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

// No label may be cut off: each text fits its label, and labels do not
// overlap each other.
void checkLabelsFit(QWidget* dialog) {
    const QList<QLabel*> labels = dialog->findChildren<QLabel*>();
    for (QLabel* label : labels) {
        if (label->wordWrap()) continue;
        const int needed = label->fontMetrics().horizontalAdvance(label->text().trimmed());
        QVERIFY2(needed <= label->width(), qPrintable(label->text()));
        QVERIFY2(label->geometry().right() < dialog->width(), qPrintable(label->text()));
    }
    for (int i = 0; i < labels.size(); ++i)
        for (int j = i + 1; j < labels.size(); ++j)
            QVERIFY2(!labels[i]->geometry().intersects(labels[j]->geometry()),
                     qPrintable(labels[i]->text() + " / " + labels[j]->text()));
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init() { settings = Settings{}; }

    void settingsDialogShowsTheLimits();
    void settingsDialogRefusesZeroAndEmpty();
    void settingsDialogStoresOnOk();
    void settingsDialogCancelKeepsTheLimits();
    void settingsDialogLayout();

    void initialsDialogChecksAndCapitalises();
    void initialsDialogCannotBeCancelled();

    void routeTrackIdNumberAndNameMode();
    void routeTrackIdCancelEmptiesTheEntry();

    void trackSelectNeedsASelection();
    void trackSelectCancel();

    void deviceInfoIsReadOnlyAndCopyable();
    void helpTextIsReadOnlyAndCopyable();
    void helpTextHeadingsInOrder();

    void boxesHaveTheirTitlesIconsAndButtons();
    void fileDialogsFiltersAndSuffix();
    void fileDialogsStartInTheLastDirectoryOfTheirType();
    void saveDialogAsksBeforeOverwriting();
    void saveDialogExtensionFollowsTheCaseOfTheName();

  private:
    QTemporaryDir config_;
};

void DialogsTest::initTestCase() {
    qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
    ui::installGermanTranslations();
    ui::installQtPlatform();
}

void DialogsTest::settingsDialogShowsTheLimits() {
    ui::SettingsDialog dialog(nullptr);
    QCOMPARE(dialog.windowTitle(), QStringLiteral(" Wegmate -- Einstellungen"));
    QCOMPARE(dialog.routeField()->text(), QStringLiteral("250"));
    QCOMPARE(dialog.trackField()->text(), QStringLiteral("20000"));
    QCOMPARE(dialog.routeField()->maxLength(), 4);
    QCOMPARE(dialog.trackField()->maxLength(), 5);
    QCOMPARE(dialog.cancelButton()->text(), QStringLiteral("Abbrechen"));
    QCOMPARE(dialog.okButton()->text(), QStringLiteral("OK"));
    QVERIFY(dialog.okButton()->isDefault());
    QVERIFY(dialog.routeField()->alignment() & Qt::AlignRight);

    // Digits only; the fields hold 9999 and 99999 at most.
    typeInto(dialog.routeField(), QStringLiteral("12a3456"));
    QCOMPARE(dialog.routeField()->text(), QStringLiteral("1234"));
    typeInto(dialog.trackField(), QStringLiteral("999999"));
    QCOMPARE(dialog.trackField()->text(), QStringLiteral("99999"));
}

void DialogsTest::settingsDialogRefusesZeroAndEmpty() {
    ui::SettingsDialog dialog(nullptr);
    ModalScript script;
    script.onBox(kErrorTitle, QStringLiteral("OK"));
    script.onBox(kErrorTitle, QStringLiteral("OK"));
    script.onBox(kErrorTitle, QStringLiteral("OK"));
    dialog.show();
    typeInto(dialog.routeField(), QString());
    dialog.okButton()->click();
    QVERIFY(dialog.isVisible());
    typeInto(dialog.routeField(), QStringLiteral("300"));
    typeInto(dialog.trackField(), QStringLiteral("0"));
    dialog.okButton()->click();
    QVERIFY(dialog.isVisible());
    typeInto(dialog.routeField(), QStringLiteral("0"));
    typeInto(dialog.trackField(), QStringLiteral("500"));
    QTest::keyClick(dialog.trackField(), Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    QCOMPARE(script.boxTexts(), QStringList({kSettingsError, kSettingsError, kSettingsError}));
    QCOMPARE(settings.maxRoutePoints, 250);
    QCOMPARE(settings.maxTrackPoints, 20000);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void DialogsTest::settingsDialogStoresOnOk() {
    ModalScript script;
    script.on(QStringLiteral(" Wegmate -- Einstellungen"), [](QWidget* window) {
        auto* dialog = qobject_cast<ui::SettingsDialog*>(window);
        typeInto(dialog->routeField(), QStringLiteral("9999"));
        typeInto(dialog->trackField(), QStringLiteral("99999"));
        QTest::keyClick(dialog->trackField(), Qt::Key_Return);
    });
    ui::SettingsDialog dialog(nullptr);
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    QCOMPARE(settings.maxRoutePoints, 9999);
    QCOMPARE(settings.maxTrackPoints, 99999);
}

void DialogsTest::settingsDialogCancelKeepsTheLimits() {
    settings.maxRoutePoints = 120;
    settings.maxTrackPoints = 3000;
    ModalScript script;
    auto typeThen = [](Qt::Key key) {
        return [key](QWidget* window) {
            auto* dialog = qobject_cast<ui::SettingsDialog*>(window);
            typeInto(dialog->routeField(), QStringLiteral("77"));
            typeInto(dialog->trackField(), QStringLiteral("88"));
            if (key == Qt::Key_Escape)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->cancelButton()->click();
        };
    };
    script.on(QStringLiteral(" Wegmate -- Einstellungen"), typeThen(Qt::Key_Escape));
    script.on(QStringLiteral(" Wegmate -- Einstellungen"), typeThen(Qt::Key_unknown));
    for (int i = 0; i < 2; ++i) {
        ui::SettingsDialog dialog(nullptr);
        QCOMPARE(dialog.routeField()->text(), QStringLiteral("120"));
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    }
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    QCOMPARE(settings.maxRoutePoints, 120);
    QCOMPARE(settings.maxTrackPoints, 3000);
}

void DialogsTest::settingsDialogLayout() {
    ui::SettingsDialog dialog(nullptr);
    const ui::DialogUnits units = dialog.units();
    QCOMPARE(dialog.size(), QSize(units.x(186), units.y(140)));
    QCOMPARE(dialog.routeField()->geometry(), units.rect(155, 85, 22, 11));
    QCOMPARE(dialog.trackField()->geometry(), units.rect(150, 102, 27, 11));
    QCOMPARE(dialog.okButton()->geometry(), units.rect(100, 121, 42, 11));
    QCOMPARE(dialog.palette().color(QPalette::Window), QColor(220, 220, 220));
    QStringList texts;
    for (QLabel* label : dialog.findChildren<QLabel*>()) texts << label->text();
    QCOMPARE(texts.size(), 10);
    QCOMPARE(texts[0], QString::fromUtf8("Hier können bzw. sollten Sie die maximale Anzahl der Punkte   "));
    QCOMPARE(texts[7], QStringLiteral("als bei der aktiven Track-Aufzeichnung. (Track-Komprimierung) "));
    QCOMPARE(texts[8], QStringLiteral("Maximale Anzahl von Punkten pro Route   "));
    QCOMPARE(texts[9], QStringLiteral("Maximale Anzahl von Punkten pro Track   "));
    checkLabelsFit(&dialog);
    // The 4- and 5-digit limits are readable in their fields.
    const QFontMetrics fixed(dialog.trackField()->font());
    QVERIFY(fixed.horizontalAdvance(QStringLiteral("99999")) < dialog.trackField()->width());
}

void DialogsTest::initialsDialogChecksAndCapitalises() {
    ModalScript script;
    script.on(QStringLiteral(" Wegmate -- Wegpunktbezeichnungen"), [](QWidget* window) {
        auto* dialog = qobject_cast<ui::InitialsDialogWindow*>(window);
        QCOMPARE(dialog->field()->text(), QStringLiteral("AA"));
        checkLabelsFit(dialog);
        typeInto(dialog->field(), QStringLiteral("k"));
        dialog->okButton()->click();  // one character: refused
        typeInto(dialog->field(), QStringLiteral("a-"));
        dialog->okButton()->click();  // a hyphen: refused
        typeInto(dialog->field(), QStringLiteral("kb7"));
        QCOMPARE(dialog->field()->text(), QStringLiteral("KB"));
        QTest::keyClick(dialog->field(), Qt::Key_Return);
    });
    script.onBox(kErrorTitle, QStringLiteral("OK"));
    script.onBox(kErrorTitle, QStringLiteral("OK"));
    std::string entry = "AA";
    QVERIFY(platform().initialsDialog(kInitials, entry));
    QCOMPARE(entry, std::string("KB"));
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    const QString error = QString::fromUtf8(initialsCheck("K"));
    QCOMPARE(script.boxTexts(), QStringList({error, error}));
}

void DialogsTest::initialsDialogCannotBeCancelled() {
    ModalScript script;
    script.on(QStringLiteral(" Wegmate -- Wegpunktbezeichnungen"), [](QWidget* window) {
        auto* dialog = qobject_cast<ui::InitialsDialogWindow*>(window);
        QVERIFY(dialog->findChildren<QPushButton*>().size() == 1);
        QTest::keyClick(dialog, Qt::Key_Escape);
        dialog->close();
        QVERIFY(dialog->isVisible());
        typeInto(dialog->field(), QStringLiteral("z9"));
        dialog->okButton()->click();
    });
    std::string entry = "AA";
    QVERIFY(platform().initialsDialog(kInitials, entry));
    QCOMPARE(entry, std::string("Z9"));
    QVERIFY2(script.finished(), qPrintable(script.describe()));
}

void DialogsTest::routeTrackIdNumberAndNameMode() {
    const RouteTrackIdDialog numberMode = {" Wegmate -- Routen-/Track-ID", "Sofern Ihr GPS-Gerät ... eine Nummer ...",
                                           3, true, nullptr};
    const RouteTrackIdDialog nameMode = {" Wegmate -- Routen-/Track-ID", "Sofern Ihr GPS-Gerät ... einen Namen ...", 50,
                                         false, nullptr};
    ModalScript script;
    int narrowWidth = 0;
    script.on(QStringLiteral(" Wegmate -- Routen-/Track-ID"), [&narrowWidth](QWidget* window) {
        auto* dialog = qobject_cast<ui::RouteTrackIdDialogWindow*>(window);
        QCOMPARE(dialog->field()->text(), QStringLiteral("01"));
        QCOMPARE(dialog->field()->maxLength(), 3);
        QCOMPARE(dialog->cancelButton()->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("explanation"))->text(),
                 QString::fromUtf8("Sofern Ihr GPS-Gerät ... eine Nummer ..."));
        // A fifth of the full width, centred.
        const QRect full = dialog->units().rect(7, 82, 172, 13);
        narrowWidth = dialog->field()->width();
        QCOMPARE(narrowWidth, full.width() / 5);
        QCOMPARE(dialog->field()->x(), full.x() + 2 * (full.width() / 5));
        typeInto(dialog->field(), QStringLiteral("1a2-b34"));  // letters refused
        dialog->okButton()->click();
    });
    script.on(QStringLiteral(" Wegmate -- Routen-/Track-ID"), [](QWidget* window) {
        auto* dialog = qobject_cast<ui::RouteTrackIdDialogWindow*>(window);
        QCOMPARE(dialog->field()->text(), QStringLiteral("ROUTE"));
        QCOMPARE(dialog->field()->maxLength(), 50);
        QCOMPARE(dialog->field()->geometry(), dialog->units().rect(7, 82, 172, 13));
        typeInto(dialog->field(), QString(60, QLatin1Char('x')));
        QTest::keyClick(dialog->field(), Qt::Key_Return);
    });
    std::string entry = "01";
    QVERIFY(platform().routeTrackIdDialog(numberMode, entry));
    QCOMPARE(QString::fromStdString(entry), QStringLiteral("123"));
    entry = "ROUTE";
    QVERIFY(platform().routeTrackIdDialog(nameMode, entry));
    QCOMPARE(entry, std::string(50, 'x'));
    QVERIFY2(script.finished(), qPrintable(script.describe()));
}

void DialogsTest::routeTrackIdCancelEmptiesTheEntry() {
    const RouteTrackIdDialog nameMode = {" Wegmate -- Routen-/Track-ID", "Text", 50, false, nullptr};
    ModalScript script;
    script.on(QStringLiteral(" Wegmate -- Routen-/Track-ID"),
              [](QWidget* window) { qobject_cast<ui::RouteTrackIdDialogWindow*>(window)->cancelButton()->click(); });
    script.on(QStringLiteral(" Wegmate -- Routen-/Track-ID"), [](QWidget* window) { window->close(); });
    std::string entry = "ACTIVE LOG";
    QVERIFY(!platform().routeTrackIdDialog(nameMode, entry));
    QVERIFY(entry.empty());
    entry = "ACTIVE LOG";
    QVERIFY(!platform().routeTrackIdDialog(nameMode, entry));
    QVERIFY(entry.empty());
    QVERIFY2(script.finished(), qPrintable(script.describe()));
}

void DialogsTest::trackSelectNeedsASelection() {
    TrackSelectDialog dialog = {" Wegmate -- Auswahl Track-Aufzeichnung",
                                "Wählen Sie die zu übertrag. Track-Aufzeichnung:",
                                "FEHLER: Sie haben keine Track-Aufzeichnung ausgewählt!",
                                "Wegmate -- Auswahl Track-Aufzeichnung",
                                {"ACTIVE LOG", "Über den Berg", "TRK03"}};
    ModalScript script;
    script.on(QStringLiteral(" Wegmate -- Auswahl Track-Aufzeichnung"), [](QWidget* window) {
        auto* dialog = qobject_cast<ui::TrackSelectDialogWindow*>(window);
        QListWidget* list = dialog->list();
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(1)->text(), QString::fromUtf8("Über den Berg"));
        QCOMPARE(dialog->findChild<QLabel*>()->text(),
                 QString::fromUtf8("Wählen Sie die zu übertrag. Track-Aufzeichnung:"));
        QCOMPARE(dialog->cancelButton()->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(list->font().weight(), int(QFont::DemiBold));
        dialog->okButton()->click();  // nothing chosen yet: refused
        QVERIFY(dialog->isVisible());
        list->setCurrentRow(2);
        dialog->okButton()->click();
    });
    script.onBox(QStringLiteral("Wegmate -- Auswahl Track-Aufzeichnung"), QStringLiteral("OK"));
    int selected = -1;
    QVERIFY(platform().trackSelectDialog(dialog, selected));
    QCOMPARE(selected, 2);
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    QCOMPARE(script.boxTexts(),
             QStringList({QStringLiteral("FEHLER: Sie haben keine Track-Aufzeichnung ausgewählt!")}));
}

void DialogsTest::trackSelectCancel() {
    TrackSelectDialog dialog = {" Wegmate -- Auswahl Track-Aufzeichnung", "Prompt", "Fehler", "Titel", {"A", "B"}};
    ModalScript script;
    script.on(QStringLiteral(" Wegmate -- Auswahl Track-Aufzeichnung"), [](QWidget* window) {
        auto* dialog = qobject_cast<ui::TrackSelectDialogWindow*>(window);
        dialog->list()->setCurrentRow(1);
        dialog->cancelButton()->click();
    });
    int selected = -1;
    QVERIFY(!platform().trackSelectDialog(dialog, selected));
    QVERIFY2(script.finished(), qPrintable(script.describe()));
}

namespace {

// Typing, deleting and pasting change nothing; Ctrl+A, Ctrl+C copy it all.
void checkReadOnlyView(ui::ReadOnlyText* view, const QString& expected) {
    QCOMPARE(view->toPlainText(), expected);
    view->setFocus();
    QTest::keyClicks(view, QStringLiteral("abc"));
    QTest::keyClick(view, Qt::Key_Delete);
    QTest::keyClick(view, Qt::Key_Backspace);
    QTest::keyClick(view, Qt::Key_X, Qt::ControlModifier);
    QApplication::clipboard()->setText(QStringLiteral("eingefügt"));
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(view->toPlainText(), expected);

    // The arrow keys move the caret.
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Right);
    QVERIFY(view->textCursor().position() > 0);

    QApplication::clipboard()->clear();
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), expected);
}

}  // namespace

void DialogsTest::deviceInfoIsReadOnlyAndCopyable() {
    const char* text = "eTrex Legend Software Version 3.10\r\n(179 / 3.10)\r\n\r\nProtokolle:\r\nP000\r\nL001\r\nA010";
    const QString expected =
        QStringLiteral("eTrex Legend Software Version 3.10\n(179 / 3.10)\n\nProtokolle:\nP000\nL001\nA010");
    ModalScript script;
    script.on(QString::fromUtf8(" Wegmate -- Angeschlossenes Gerät"), [&expected](QWidget* window) {
        auto* dialog = qobject_cast<ui::DeviceInfoDialogWindow*>(window);
        QVERIFY(dialog);
        QVERIFY(!(dialog->windowFlags() & Qt::WindowSystemMenuHint));
        QCOMPARE(dialog->okButton()->text(), QStringLiteral("&OK"));
        QCOMPARE(dialog->textView()->font().weight(), int(QFont::DemiBold));
        checkReadOnlyView(dialog->textView(), expected);
        // Return stays in the text; Esc ends the dialog.
        QVERIFY(dialog->isVisible());
        QTest::keyClick(dialog->textView(), Qt::Key_Escape);
    });
    platform().deviceInfoDialog(" Wegmate -- Angeschlossenes Gerät", text);
    QVERIFY2(script.finished(), qPrintable(script.describe()));
}

void DialogsTest::helpTextIsReadOnlyAndCopyable() {
    ui::HelpWindow help(nullptr);
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    QVERIFY(!help.isModal());
    checkReadOnlyView(help.textView(), ui::shortHelpText());
    const ui::DialogUnits units = help.units();
    QCOMPARE(help.size(), QSize(units.x(268), units.y(180)));
    QCOMPARE(help.okButton()->geometry(), units.rect(224, 163, 40, 13));
}

void DialogsTest::helpTextHeadingsInOrder() {
    const QStringList lines = ui::shortHelpText().split(QLatin1Char('\n'));
    QVERIFY(lines.size() > 100);
    QCOMPARE(lines[0], QString());
    QCOMPARE(lines[1], QStringLiteral("W E G M A T E   Version 1.5.2"));
    QCOMPARE(lines[2], QString());
    QCOMPARE(lines[3], QString::fromUtf8("(Datenformat in Version 1.3.0 geändert.)"));
    const QStringList headings = {QStringLiteral("VERWENDUNGSZWECK UND EINSATZBEREICH"),
                                  QStringLiteral("ANWENDUNG"),
                                  QString::fromUtf8("GERÄTESPEZIFISCHE BESCHRÄNKUNGEN"),
                                  QStringLiteral("GRAPHISCHE OBJEKTE"),
                                  QStringLiteral("ATTRIBUTDATEN"),
                                  QStringLiteral("TOP50-/TOP200-OVERLAY-DATEIEN"),
                                  QStringLiteral("MAPINFO-MIF-DATEIEN"),
                                  QStringLiteral("PROBLEMBEHANDLUNG")};
    int last = -1;
    for (const QString& heading : headings) {
        const int at = lines.indexOf(heading);
        QVERIFY2(at > last, qPrintable(heading));
        // Each heading stands between empty lines.
        QCOMPARE(lines[at - 1], QString());
        QCOMPARE(lines[at + 1], QString());
        last = at;
    }
    int sub = lines.indexOf(QStringLiteral("TOP50-/TOP200-OVERLAY-DATEIEN"));
    for (const char* line : {"ZEILE 1:", "ZEILE 2:", "ZEILE 3:", "ZEILE 4:"}) {
        const int at = lines.indexOf(QString::fromLatin1(line), sub);
        QVERIFY2(at > sub, line);
        sub = at;
    }
    QVERIFY(sub < lines.indexOf(QStringLiteral("MAPINFO-MIF-DATEIEN")));
    // Nothing is aligned with runs of blanks, which the proportional font
    // would leave ragged (the title is spaced out on purpose).
    for (int i = 2; i < lines.size(); ++i)
        QVERIFY2(!lines[i].trimmed().contains(QStringLiteral("  ")), qPrintable(lines[i]));
    // The Linux device names are explained.
    QVERIFY(ui::shortHelpText().contains(QStringLiteral("/dev/ttyS{n-1}")));
    QVERIFY(ui::shortHelpText().contains(QStringLiteral("~/.config/wegmate/com3")));
    QVERIFY(ui::shortHelpText().contains(QStringLiteral("udev")));
}

void DialogsTest::boxesHaveTheirTitlesIconsAndButtons() {
    ModalScript script;
    QList<QMessageBox::Icon> icons;
    auto record = [&icons](const QString& button) {
        return [&icons, button](QWidget* window) {
            icons << qobject_cast<QMessageBox*>(window)->icon();
            QVERIFY(ModalScript::clickButton(window, button));
        };
    };
    script.on(QStringLiteral("FEHLER"), record(QStringLiteral("OK")));
    script.on(QStringLiteral("Wegmate-INFO"), record(QStringLiteral("OK")));
    script.on(QStringLiteral("Wegmate  --  Wegpunktmodus"), record(QStringLiteral("&Ja")));
    script.on(QStringLiteral("Wegmate  --  Wegpunktmodus"), record(QStringLiteral("&Nein")));
    script.on(QStringLiteral(" Wegmate  --  OVL-3/4-Konvertierung"), record(QStringLiteral("OK")));
    script.on(QStringLiteral(" Wegmate  --  OVL-3/4-Konvertierung"), record(QStringLiteral("Abbrechen")));
    script.on(QStringLiteral("Frage"), [](QWidget* window) { QTest::keyClick(window, Qt::Key_Escape); });
    showError("Fehler beim Initialisieren der USB-Verbindung.");
    showInfo("Übertragung erfolgreich beendet (00005 Punkte).");
    QVERIFY(askYesNo(QuestionId::RouteMode, "Wegmate  --  Wegpunktmodus", "Routen?"));
    QVERIFY(!askYesNo(QuestionId::RouteMode, "Wegmate  --  Wegpunktmodus", "Routen?"));
    QVERIFY(askOkCancel(QuestionId::ConvertOverlay, " Wegmate  --  OVL-3/4-Konvertierung", "Umwandeln?"));
    QVERIFY(!askOkCancel(QuestionId::ConvertOverlay, " Wegmate  --  OVL-3/4-Konvertierung", "Umwandeln?"));
    QVERIFY(!askYesNo(QuestionId::RouteMode, "Frage", "Esc?"));
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    QCOMPARE(icons, (QList<QMessageBox::Icon>{QMessageBox::Warning, QMessageBox::Information, QMessageBox::Question,
                                              QMessageBox::Question, QMessageBox::Question, QMessageBox::Question}));
    QCOMPARE(script.boxTexts().first(), QStringLiteral("Fehler beim Initialisieren der USB-Verbindung."));
}

// Each file type remembers where its last file was chosen; a preset with a
// directory of its own still wins, and other types are not affected.
void DialogsTest::fileDialogsStartInTheLastDirectoryOfTheirType() {
    QTemporaryDir dir;
    const QString gpx = dir.filePath(QStringLiteral("tour.gpx"));
    QFile(gpx).open(QIODevice::WriteOnly);
    const QString here = QDir::currentPath();
    QString seenGpx, seenMif;
    ModalScript script;
    script.onFile(QStringLiteral("GPX lesen"), gpx);
    script.on(QStringLiteral("GPX wieder"), [&seenGpx](QWidget* window) {
        seenGpx = qobject_cast<QFileDialog*>(window)->directory().absolutePath();
        qobject_cast<QDialog*>(window)->reject();
    });
    script.on(QStringLiteral("MIF lesen"), [&seenMif](QWidget* window) {
        seenMif = qobject_cast<QFileDialog*>(window)->directory().absolutePath();
        qobject_cast<QDialog*>(window)->reject();
    });
    std::string name = "*.gpx";
    QVERIFY(platform().chooseFileToOpen("GPX lesen", FileFilter::Gpx, name));
    name = "*.gpx";
    QVERIFY(!platform().chooseFileToOpen("GPX wieder", FileFilter::Gpx, name));
    name = "*.mif";
    QVERIFY(!platform().chooseFileToOpen("MIF lesen", FileFilter::MapInfo, name));
    QVERIFY2(script.finished(), qPrintable(script.describe()));
    QCOMPARE(seenGpx, QDir(dir.path()).absolutePath());
    QCOMPARE(seenMif, QDir(here).absolutePath());
}

void DialogsTest::fileDialogsFiltersAndSuffix() {
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("route.ovl"));
    QFile(existing).open(QIODevice::WriteOnly);

    ModalScript script;
    script.on(QString::fromUtf8("Wegmate  --  OVL-Datei öffnen zum Senden an GPS-Gerät"), [&dir,
                                                                                           &existing](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        QCOMPARE(dialog->nameFilters(),
                 QStringList({QStringLiteral("TOP50-Overlay-Dateien (*.ovl)"), QStringLiteral("Alle Dateien (*)")}));
        QCOMPARE(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
        // What the user sees in the filter list.
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(types);
        QCOMPARE(types->itemText(0), QStringLiteral("TOP50-Overlay-Dateien (*.ovl)"));
        QCOMPARE(types->itemText(1), QStringLiteral("Alle Dateien   (*.*)"));
        // A file that does not exist is not accepted.
        ModalScript::enterFileName(dialog, dir.filePath(QStringLiteral("fehlt.ovl")));
        QVERIFY(dialog->isVisible());
        ModalScript::enterFileName(dialog, existing);
    });
    // The dialog's own note that the file is not there.
    script.onBox(QString::fromUtf8("Wegmate  --  OVL-Datei öffnen zum Senden an GPS-Gerät"), QStringLiteral("OK"));
    script.on(QStringLiteral("Wegmate  --  MIF-Datei schreiben"), [&dir](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        QCOMPARE(dialog->nameFilters().first(), QStringLiteral("MapInfo-MIF-Dateien (*.mif)"));
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QCOMPARE(types->itemText(0), QStringLiteral("MapInfo-MIF-Dateien   (*.mif)"));
        QCOMPARE(dialog->defaultSuffix(), QStringLiteral("mif"));
        ModalScript::enterFileName(dialog, dir.filePath(QStringLiteral("neu")));
    });
    script.onFile(QStringLiteral("Wegmate  --  OVL-Datei schreiben"), QString());
    script.on(QStringLiteral("Wegmate  --  GPX-Datei schreiben"), [](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        QCOMPARE(dialog->nameFilters().first(), QStringLiteral("GPX-Dateien (*.gpx)"));
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QCOMPARE(types->itemText(0), QStringLiteral("GPX-Dateien (*.gpx)"));
        dialog->reject();
    });

    std::string name = (dir.path() + QStringLiteral("/*.ovl")).toStdString();
    QVERIFY2(
        platform().chooseFileToOpen("Wegmate  --  OVL-Datei öffnen zum Senden an GPS-Gerät", FileFilter::Overlay, name),
        qPrintable(script.describe()));
    QCOMPARE(QString::fromStdString(name), existing);
    name = "*.mif";
    QVERIFY(platform().chooseFileToSave("Wegmate  --  MIF-Datei schreiben", FileFilter::MapInfo, "mif", name));
    QCOMPARE(QString::fromStdString(name), dir.filePath(QStringLiteral("neu.mif")));
    QVERIFY(!platform().chooseFileToSave("Wegmate  --  OVL-Datei schreiben", FileFilter::Overlay, "ovl", name));
    name = "*.gpx";
    QVERIFY(!platform().chooseFileToSave("Wegmate  --  GPX-Datei schreiben", FileFilter::Gpx, "gpx", name));
    QVERIFY2(script.unexpected().isEmpty(), qPrintable(script.describe()));
}

void DialogsTest::saveDialogExtensionFollowsTheCaseOfTheName() {
    // A name typed in capitals gets the extension in capitals.
    QTemporaryDir dir;
    std::string name = "*.mif";
    ModalScript capitals;
    capitals.on(QStringLiteral("Wegmate  --  MIF-Datei schreiben"), [&dir](QWidget* window) {
        ModalScript::enterFileName(qobject_cast<QFileDialog*>(window), dir.filePath(QStringLiteral("TOUR")));
    });
    QVERIFY(platform().chooseFileToSave("Wegmate  --  MIF-Datei schreiben", FileFilter::MapInfo, "mif", name));
    QCOMPARE(QString::fromStdString(name), dir.filePath(QStringLiteral("TOUR.MIF")));
    QVERIFY2(capitals.finished(), qPrintable(capitals.describe()));
}

void DialogsTest::saveDialogAsksBeforeOverwriting() {
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("alt.ovl"));
    QFile(existing).open(QIODevice::WriteOnly);
    ModalScript script;
    const QString title = QStringLiteral("Wegmate  --  Umgewandelte OVL-Datei schreiben");
    // First refuse to replace, then agree.
    script.on(title, [existing](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        ModalScript::enterFileName(dialog, existing);
        QVERIFY(dialog->isVisible());
        ModalScript::enterFileName(dialog, existing);
    });
    int questions = 0;
    script.on(title, [&questions](QWidget* window) {
        ++questions;
        QVERIFY(qobject_cast<QMessageBox*>(window));
        QVERIFY(ModalScript::clickButton(window, QStringLiteral("&Nein")) ||
                ModalScript::clickButton(window, QStringLiteral("No")));
    });
    script.on(title, [&questions](QWidget* window) {
        ++questions;
        QVERIFY(ModalScript::clickButton(window, QStringLiteral("&Ja")) ||
                ModalScript::clickButton(window, QStringLiteral("Yes")));
    });
    std::string name = existing.toStdString();  // the input file's name as preset
    QVERIFY(platform().chooseFileToSave(title.toUtf8().constData(), FileFilter::Overlay, "ovl", name));
    QCOMPARE(QString::fromStdString(name), existing);
    QCOMPARE(questions, 2);
    if (ui::installGermanTranslations())
        QCOMPARE(script.boxTexts().first(),
                 QString::fromUtf8("Die Datei alt.ovl existiert bereits.\nSoll sie überschrieben werden?"));
    QVERIFY2(script.finished(), qPrintable(script.describe()));
}

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
