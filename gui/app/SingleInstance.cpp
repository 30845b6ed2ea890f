#include "app/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

namespace vantrel::gui {
namespace {

constexpr char kShow[] = "show\n";

/// The folder for the lock and the socket: the user's runtime folder, or
/// the temporary folder when there is none.
QString runtimeFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder;
}

} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent) {
    const QString base =
        runtimeFolder() + QLatin1Char('/') + name + QLatin1Char('-') + QString::number(::getuid());
    socketPath_ = base + QStringLiteral(".socket");
    lock_ = std::make_unique<QLockFile>(base + QStringLiteral(".lock"));
    lock_->setStaleLockTime(0); // stale only when its process is gone
}

SingleInstance::~SingleInstance() {
    if (server_ != nullptr)
        server_->close();
}

void SingleInstance::listen() {
    // We are first; a socket left by a copy that crashed goes.
    QLocalServer::removeServer(socketPath_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
    (void)server_->listen(socketPath_);
}

bool SingleInstance::claim() {
    if (lock_->tryLock(0)) {
        listen();
        return true;
    }
    // Another copy runs (it may still be starting): ask it to show itself.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000) {
        QLocalSocket socket;
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(500)) {
            socket.write(kShow);
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return false;
        }
        if (lock_->tryLock(0)) { // it ended meanwhile
            listen();
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains("show"))
                emit activationRequested();
            socket->disconnectFromServer();
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
}

} // namespace vantrel::gui
