#include "modal_script.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include "ui/main_window.h"

namespace {
const char* const kHandled = "modalScriptHandled";
const char* const kHandledAt = "modalScriptHandledAt";
const char* const kStuck = "modalScriptStuck";
}  // namespace

ModalScript::ModalScript() : timer_(new QTimer(this)) {
    connect(timer_, &QTimer::timeout, this, &ModalScript::poll);
    timer_->start(15);
}

ModalScript::~ModalScript() { timer_->stop(); }

void ModalScript::on(const QString& title, Handler handler) { handlers_[title].push_back(std::move(handler)); }

void ModalScript::onBox(const QString& title, const QString& buttonText) {
    on(title, [buttonText](QWidget* window) {
        if (!clickButton(window, buttonText)) qWarning("no button %s", qPrintable(buttonText));
    });
}

void ModalScript::onFile(const QString& title, const QString& path) {
    on(title, [path](QWidget* window) {
        auto* dialog = qobject_cast<QFileDialog*>(window);
        if (!dialog) return;
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        enterFileName(dialog, path);
    });
}

void ModalScript::enterFileName(QFileDialog* dialog, const QString& path) {
    // Typed into the name field, as a user does; the dialog then checks it.
    if (auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        field->setText(path);
    else
        dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();
}

QStringList ModalScript::boxTexts() const {
    QStringList texts;
    for (const QString& entry : log_) {
        const int bar = entry.indexOf(QLatin1Char('|'));
        if (bar >= 0 && bar + 1 < entry.size()) texts << entry.mid(bar + 1);
    }
    return texts;
}

bool ModalScript::finished() const {
    if (!unexpected_.isEmpty()) return false;
    for (const auto& entry : handlers_)
        if (!entry.second.empty()) return false;
    return true;
}

QString ModalScript::describe() const {
    QStringList open;
    for (const auto& entry : handlers_)
        if (!entry.second.empty()) open << entry.first;
    return QStringLiteral("seen: [%1] unexpected: [%2] unanswered: [%3]")
        .arg(log_.join(QStringLiteral("; ")), unexpected_.join(QStringLiteral("; ")), open.join(QStringLiteral("; ")));
}

bool ModalScript::clickButton(QWidget* window, const QString& text) {
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        QString label = button->text();
        label.remove(QLatin1Char('&'));
        QString wanted = text;
        wanted.remove(QLatin1Char('&'));
        if (label == wanted && button->isVisible()) {
            button->click();
            return true;
        }
    }
    return false;
}

void ModalScript::screenshot(const QString& name) {
    const QString directory = qEnvironmentVariable("WEGMATE_SHOT_DIR");
    if (directory.isEmpty()) return;
    QString file = name.trimmed();
    file.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("_"));
    // Let the window be painted first.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 20);
    QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                 QDir(directory).filePath(file + QStringLiteral(".png"))});
}

void ModalScript::poll() {
    if (ui::MainWindow* window = ui::MainWindow::instance()) {
        if (auto* status = window->statusLine()) {
            const QString text = status->text();
            if (statusTexts_.isEmpty() || statusTexts_.last() != text) statusTexts_ << text;
        }
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    if (modal->property(kHandled).toBool()) {
        // An answer that failed half-way leaves its window open: close it
        // after a while so that the test reports instead of hanging.
        const qint64 since = modal->property(kHandledAt).toLongLong();
        if (QDateTime::currentMSecsSinceEpoch() - since > 8000 && !modal->property(kStuck).toBool()) {
            modal->setProperty(kStuck, true);
            unexpected_ << QStringLiteral("still open: ") + modal->windowTitle();
            QPointer<QWidget> target(modal);
            QTimer::singleShot(0, this, [target] {
                if (auto* dialog = qobject_cast<QDialog*>(target.data())) dialog->done(QDialog::Rejected);
            });
        }
        return;
    }
    modal->setProperty(kHandled, true);
    modal->setProperty(kHandledAt, QDateTime::currentMSecsSinceEpoch());

    const QString title = modal->windowTitle();
    QString entry = title;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) entry += QLatin1Char('|') + box->text();
    log_ << entry;
    screenshot(title);

    auto found = handlers_.find(title);
    if (found == handlers_.end() || found->second.empty()) {
        unexpected_ << entry;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (box->escapeButton()) {
                box->escapeButton()->click();
                return;
            }
        }
        QPointer<QWidget> target(modal);
        QTimer::singleShot(0, this, [target] {
            if (auto* dialog = qobject_cast<QDialog*>(target.data())) dialog->done(QDialog::Rejected);
        });
        return;
    }
    Handler handler = std::move(found->second.front());
    found->second.pop_front();
    // Run outside this timer: an answer may open a nested box, and the
    // timer does not fire again while its own slot runs.
    QPointer<QWidget> target(modal);
    QTimer::singleShot(0, this, [target, handler] {
        if (target) handler(target);
    });
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}
