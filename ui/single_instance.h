#pragma once
// One running program per user and parameter file: a second start hands
// over to the first one, which comes to the front.

#include <QObject>
#include <QString>

class QLocalServer;

namespace ui {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The name for the given parameter file path, unique per user.
    static QString defaultName(const QString& parameterFile);

    // true: this is the first instance and now listens for later starts.
    // false: another instance runs; it has been asked to come to the front.
    bool claim();

  signals:
    // A later start asked this instance to come to the front.
    void activationRequested();

  private:
    bool notifyRunning(int timeoutMs);

    QString name_;
    QLocalServer* server_ = nullptr;
};

}  // namespace ui
