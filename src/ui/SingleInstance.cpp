#include "ui/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace vantle {

namespace {

const QByteArray Request = "activate\n";
const QByteArray Answer = "ok\n";

} // namespace

TSingleInstance::TSingleInstance(QString serverPath, QObject* parent)
    : QObject(parent), FServerPath(std::move(serverPath)) {}

bool TSingleInstance::Listen() {
    FServer = new QLocalServer(this);
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    // The lock says no live program serves this socket; a file left there is stale.
    QLocalServer::removeServer(FServerPath);
    if (!FServer->listen(FServerPath))
        return false;
    connect(FServer, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = FServer->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() == Request) {
                    emit ActivationRequested();
                    socket->write(Answer);
                    socket->flush();
                }
                socket->disconnectFromServer();
            });
        }
    });
    return true;
}

bool TSingleInstance::ActivateRunning(const QString& serverPath, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(serverPath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(Request);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    return socket.readLine() == Answer;
}

} // namespace vantle
