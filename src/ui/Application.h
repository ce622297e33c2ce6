// The application object: the last line of defence that shows an error escaping a
// command or a timer tick and lets the program go on.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QStringList>

class QMessageBox;

namespace vantle {

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    /// Dispatches the event; an exception its handler raises is shown, not passed on.
    bool notify(QObject* receiver, QEvent* event) override;

    /// Shows the message of the exception being handled. Call it from a catch block only.
    static void HandleException() noexcept;
    /// Shows `message` in the error box. While that box is open, later messages are
    /// added to it with their time instead of opening a box each: ticks go on while a
    /// box waits for the user, and an unattended scheduler must not pile up boxes.
    static void ShowError(const QString& message);
    /// The error box on screen, or null.
    static QMessageBox* ErrorBox();

    /// Later messages kept in the box; older ones are dropped beyond this.
    static constexpr int MaxLaterMessages = 500;

private:
    static QPointer<QMessageBox> FErrorBox;
    static QStringList FLaterMessages;
    static int FDroppedMessages;
};

/// Runs a command or tick; what it raises is shown as an error, so no exception ever
/// unwinds through the toolkit's own frames.
template <class THandler> void RunHandler(THandler&& handler) noexcept {
    try {
        handler();
    } catch (...) {
        TApplication::HandleException();
    }
}

} // namespace vantle
