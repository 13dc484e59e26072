#pragma once
// Answers the modal boxes and dialogs that the program opens while a test
// drives it, as a user would: by window title, in the order queued.
//
//   ModalScript script;
//   script.onBox("FEHLER", "OK");
//   script.on(" Wegmate -- Einstellungen", [](QWidget* w) { ... });
//   window.command(55);
//   QVERIFY(script.finished());
//
// Every modal window that shows up is logged ("title|text"). One without a
// queued answer is closed and logged as unexpected, so a test never hangs.

#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>

class QFileDialog;
class QWidget;
class QTimer;

class ModalScript : public QObject {
    Q_OBJECT
  public:
    using Handler = std::function<void(QWidget*)>;

    ModalScript();
    ~ModalScript() override;

    // Queues an answer for the next modal window with this exact title.
    void on(const QString& title, Handler handler);
    // A message box with this title: press the button with this text.
    void onBox(const QString& title, const QString& buttonText);
    // A file dialog with this title: choose the path (empty: cancel).
    void onFile(const QString& title, const QString& path);

    // Every modal window seen, "title|text" (the text of boxes only).
    const QStringList& log() const { return log_; }
    // Modal windows without an answer, closed by the script.
    const QStringList& unexpected() const { return unexpected_; }
    // Texts of the message boxes seen, in order.
    QStringList boxTexts() const;
    // The distinct texts the main window's status line showed meanwhile.
    const QStringList& statusTexts() const { return statusTexts_; }
    // All queued answers used and nothing unexpected.
    bool finished() const;
    QString describe() const;

    // Type a path into a file dialog's name field and confirm it.
    static void enterFileName(QFileDialog* dialog, const QString& path);
    // Press a push button of a widget by its text (mnemonic '&' ignored).
    static bool clickButton(QWidget* window, const QString& text);
    // A file name for a screenshot, when WEGMATE_SHOT_DIR is set.
    static void screenshot(const QString& name);

  private:
    void poll();

    QTimer* timer_;
    std::map<QString, std::deque<Handler>> handlers_;
    QStringList log_;
    QStringList unexpected_;
    QStringList statusTexts_;
};

// Processes events until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000);
