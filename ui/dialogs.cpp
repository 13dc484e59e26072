#include "ui/dialogs.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "platform/settings.h"
#include "ui/boxes.h"
#include "ui/read_only_text.h"

namespace ui {

namespace {

const std::vector<int> kLinePositions = {6, 15, 24, 33, 42, 51, 60, 69};

QString utf8(const char* text) { return QString::fromUtf8(text ? text : ""); }

}  // namespace

// ---------------------------------------------------------------- settings

SettingsDialog::SettingsDialog(QWidget* owner) : TemplateDialog(owner, 10, 186, 140, true) {
    setWindowTitle(QStringLiteral(" Wegmate -- Einstellungen"));
    useBackground(this);

    addExplanationLines({QStringLiteral("Hier können bzw. sollten Sie die maximale Anzahl der Punkte   "),
                         QStringLiteral("definieren, die Ihr GPS-Gerät in einer Route oder in einer    "),
                         QStringLiteral("Track-Aufzeichnung speichern kann. Dadurch ist es dem Pro-    "),
                         QStringLiteral("gramm möglich, längere Routen oder Tracks automatisch aufzu-  "),
                         QStringLiteral("teilen, falls Ihr Gerät mehrere Routen / Tracks unterstützt.  "),
                         QStringLiteral("ACHTUNG: Die maximale Zahl speicherbarer Punkte für Track-    "),
                         QStringLiteral("Aufzeichnungen kann für 'Saved Tracks' viel geringer sein     "),
                         QStringLiteral("als bei der aktiven Track-Aufzeichnung. (Track-Komprimierung) ")},
                        kLinePositions);

    auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    route_ = new QLineEdit(QString::number(settings.maxRoutePoints), this);
    route_->setObjectName(QStringLiteral("maxRoutePoints"));
    route_->setFont(fixedPitchFont());
    route_->setMaxLength(4);
    route_->setAlignment(Qt::AlignRight);
    route_->setValidator(digits);
    place(route_, 155, 85, 22, 11);

    track_ = new QLineEdit(QString::number(settings.maxTrackPoints), this);
    track_->setObjectName(QStringLiteral("maxTrackPoints"));
    track_->setFont(fixedPitchFont());
    track_->setMaxLength(5);
    track_->setAlignment(Qt::AlignRight);
    track_->setValidator(digits);
    place(track_, 150, 102, 27, 11);

    addLabelBeside(QStringLiteral("Maximale Anzahl von Punkten pro Route   "), route_);
    addLabelBeside(QStringLiteral("Maximale Anzahl von Punkten pro Track   "), track_);

    cancel_ = addButton(QStringLiteral("Abbrechen"), 45, 121, 42, 11, false);
    ok_ = addButton(QStringLiteral("OK"), 100, 121, 42, 11, true);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok_, &QPushButton::clicked, this, &SettingsDialog::accept);
    centreOnScreen();
}

void SettingsDialog::accept() {
    const QByteArray route = route_->text().left(5).toUtf8();
    const QByteArray track = track_->text().left(5).toUtf8();
    if (const char* error = applySettingsDialog(route.constData(), track.constData())) {
        errorBox(this, utf8(error));
        return;
    }
    QDialog::accept();
}

// ---------------------------------------------------------------- initials

InitialsDialogWindow::InitialsDialogWindow(QWidget* owner, const InitialsDialog& dialog, const std::string& preset)
    : TemplateDialog(owner, 10, 186, 120, true), dialog_(dialog) {
    setWindowTitle(utf8(dialog.title));
    useBackground(this);

    QStringList lines;
    if (dialog.lines)
        for (const char* line : *dialog.lines) lines << utf8(line);
    addExplanationLines(lines, kLinePositions);

    field_ = new QLineEdit(QString::fromUtf8(preset.c_str()), this);
    field_->setObjectName(QStringLiteral("initials"));
    field_->setFont(fixedPitchFont());
    field_->setMaxLength(dialog.maxLength > 0 ? dialog.maxLength : 2);
    field_->setTextMargins(0, 0, 0, 0);
    place(field_, 165, 82, 12, 11);
    // Letters become capitals as they are typed.
    connect(field_, &QLineEdit::textEdited, this, [this](const QString& text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            const int position = field_->cursorPosition();
            field_->setText(upper);
            field_->setCursorPosition(position);
        }
    });
    addLabelBeside(utf8(dialog.label), field_);

    ok_ = addButton(QStringLiteral("OK"), 68, 102, 50, 12, true);
    connect(ok_, &QPushButton::clicked, this, &InitialsDialogWindow::accept);
    centreOnScreen();
}

std::string InitialsDialogWindow::entry() const {
    return field_->text().left(field_->maxLength()).toUpper().toStdString();
}

void InitialsDialogWindow::accept() {
    const std::string text = entry();
    if (dialog_.check) {
        if (const char* error = dialog_.check(text)) {
            errorBox(this, utf8(error));
            return;
        }
    }
    QDialog::accept();
}

void InitialsDialogWindow::closeEvent(QCloseEvent* event) { event->ignore(); }

// ------------------------------------------------------- route / track id

RouteTrackIdDialogWindow::RouteTrackIdDialogWindow(QWidget* owner, const RouteTrackIdDialog& dialog,
                                                   const std::string& preset)
    : TemplateDialog(owner, 8, 186, 132, true), dialog_(dialog) {
    setWindowTitle(utf8(dialog.title));
    useBackground(this);

    auto* explanation = new QLabel(utf8(dialog.explanation), this);
    explanation->setObjectName(QStringLiteral("explanation"));
    explanation->setTextFormat(Qt::PlainText);
    explanation->setWordWrap(true);
    explanation->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(explanation, 7, 7, 172, 68);

    field_ = new QLineEdit(QString::fromUtf8(preset.c_str()), this);
    field_->setObjectName(QStringLiteral("routeTrackId"));
    field_->setFont(fixedPitchFont());
    field_->setMaxLength(dialog.maxLength > 0 ? dialog.maxLength : 50);
    place(field_, 7, 82, 172, 13);
    if (dialog.narrowField) {
        QRect area = field_->geometry();
        const int narrow = area.width() / 5;
        field_->setGeometry(area.left() + 2 * narrow, area.top(), narrow, area.height());
        // Number mode: digits only.
        field_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field_));
    }

    cancel_ = addButton(QStringLiteral("Abbrechen"), 27, 111, 50, 14, false);
    ok_ = addButton(QStringLiteral("OK"), 108, 111, 50, 14, true);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    centreOnScreen();
}

std::string RouteTrackIdDialogWindow::entry() const { return field_->text().left(50).toStdString(); }

void RouteTrackIdDialogWindow::accept() {
    if (dialog_.check) {
        if (const char* error = dialog_.check(entry())) {
            errorBox(this, utf8(error));
            return;
        }
    }
    QDialog::accept();
}

// ------------------------------------------------------------ track choice

TrackSelectDialogWindow::TrackSelectDialogWindow(QWidget* owner, const TrackSelectDialog& dialog)
    : TemplateDialog(owner, 8, 186, 137, true), dialog_(dialog) {
    setWindowTitle(utf8(dialog.title));

    auto* prompt = new QLabel(utf8(dialog.prompt), this);
    prompt->setTextFormat(Qt::PlainText);
    place(prompt, 7, 7, 172, 10);

    list_ = new QListWidget(this);
    list_->setFont(semiBoldTextFont());
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const std::string& name : dialog.names) list_->addItem(QString::fromUtf8(name.c_str()));
    place(list_, 7, 20, 172, 88);

    ok_ = addButton(QStringLiteral("OK"), 111, 116, 50, 14, true);
    cancel_ = addButton(QStringLiteral("Abbrechen"), 23, 116, 50, 14, false);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok_, &QPushButton::clicked, this, &TrackSelectDialogWindow::accept);
    centreOnScreen();
}

int TrackSelectDialogWindow::selected() const {
    const QList<QListWidgetItem*> items = list_->selectedItems();
    return items.isEmpty() ? -1 : list_->row(items.first());
}

void TrackSelectDialogWindow::accept() {
    if (selected() < 0) {
        messageBox(list_, utf8(dialog_.noSelectionTitle), utf8(dialog_.noSelectionText), BoxIcon::Warning);
        return;
    }
    QDialog::accept();
}

// ------------------------------------------------------------- device info

DeviceInfoDialogWindow::DeviceInfoDialogWindow(QWidget* owner, const QString& title, const QString& text)
    : TemplateDialog(owner, 8, 174, 180, false) {
    setWindowTitle(title);
    text_ = new ReadOnlyText(this);
    text_->setKeepsReturn(true);
    text_->setFont(semiBoldTextFont());
    text_->setText(text);
    place(text_, 3, 4, 168, 156);
    ok_ = addButton(QStringLiteral("&OK"), 129, 163, 40, 13, true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    placeRelativeToOwner(20, 20);
    text_->setFocus();
}

}  // namespace ui
