// One window per schedule file: the running program serves a local socket beside its
// instance lock, and a second program started for the same file asks it to come to the
// front instead of scheduling the same entries again.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace vantle {

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit TSingleInstance(QString serverPath, QObject* parent = nullptr);

    /// Serves the socket, removing one a dead holder left; call it holding the lock.
    bool Listen();
    /// Asks the program serving `serverPath` to bring its window to the front; true
    /// when it answered within `timeoutMs`.
    static bool ActivateRunning(const QString& serverPath, int timeoutMs = 3000);

signals:
    /// A second program asked for the window.
    void ActivationRequested();

private:
    QString FServerPath;
    QLocalServer* FServer = nullptr;
};

} // namespace vantle
