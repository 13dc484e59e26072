#include "ui/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <unistd.h>

namespace ui {

namespace {
const QByteArray kRaise = "raise\n";
}

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent), name_(name) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

QString SingleInstance::defaultName(const QString& parameterFile) {
    const QByteArray hash = QCryptographicHash::hash(parameterFile.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    const QString name = QStringLiteral("wegmate-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash));
    // In the user's own runtime directory when there is one, where nobody
    // else can take the name; otherwise in the temporary directory.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable())
        return QDir(runtime).filePath(name);
    return name;
}

bool SingleInstance::notifyRunning(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kRaise);
    socket.waitForBytesWritten(timeoutMs);
    // Wait until the first instance has read the request and hung up.
    socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::claim() {
    if (notifyRunning(1000)) return false;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // A socket left behind by a program that was killed.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) {
            // Lost a race against a start at the same moment?
            if (notifyRunning(1000)) return false;
        }
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (client->readAll().contains("raise")) emit activationRequested();
                client->disconnectFromServer();
            });
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        }
    });
    return true;
}

}  // namespace ui
