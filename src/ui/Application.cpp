#include "ui/Application.h"

#include "engine/Scheduler.h"
#include "platform/Clock.h"
#include "platform/SysErrors.h"
#include "platform/TextUtils.h"
#include "ui/MomentText.h"
#include "ui/TextBytes.h"

#include <QMessageBox>

#include <exception>

namespace vantle {

QPointer<QMessageBox> TApplication::FErrorBox;
QStringList TApplication::FLaterMessages;
int TApplication::FDroppedMessages = 0;

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException();
        return false;
    }
}

void TApplication::HandleException() noexcept {
    try {
        try {
            throw;
        } catch (const std::exception& e) {
            // The error's own text is the message; the file a later error concerns goes
            // into its line of the details, the first one's below the message.
            const auto* io = dynamic_cast<const vantle::EInOutError*>(&e);
            const bool later = FErrorBox && FErrorBox->isVisible();
            ShowError(QString::fromStdString(later ? vantle::DescribeError(e) : e.what()));
            if (!later && FErrorBox && io != nullptr && !io->FileName().empty())
                FErrorBox->setInformativeText(QString::fromStdString(io->FileName()));
        } catch (...) {
            ShowError(QStringLiteral("Unknown error"));
        }
    } catch (...) {
        // Nothing is left to show it with; the program still goes on.
    }
}

void TApplication::ShowError(const QString& message) {
    if (FErrorBox && FErrorBox->isVisible()) {
        // To the second, as the log stamps them: several errors may come within a minute.
        FLaterMessages.append(TextOfBytes(MomentText(SystemClock().Now(), SystemFormatSettings(),
                                                     TMomentDetail::Second)) +
                              u' ' + message);
        while (FLaterMessages.size() > MaxLaterMessages) {
            FLaterMessages.removeFirst();
            ++FDroppedMessages;
        }
        QString details = FLaterMessages.join(u'\n');
        if (FDroppedMessages > 0)
            details.prepend(QStringLiteral("(%1 dropped)\n")
                                .arg(QString::fromStdString(vantle::CountOf(
                                    FDroppedMessages, "earlier message", "earlier messages"))));
        FErrorBox->setInformativeText(
            QStringLiteral("%1 since; see the details.")
                .arg(QString::fromStdString(vantle::CountOf(
                    FLaterMessages.size() + FDroppedMessages, "more error", "more errors"))));
        FErrorBox->setDetailedText(details);
        return;
    }
    FLaterMessages.clear();
    FDroppedMessages = 0;
    // Shown without a nested event loop: the handler that failed returns at once, so
    // the timer that raised the error keeps firing while the box waits for the user.
    auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Vantle Scheduler"), message,
                                QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    FErrorBox = box;
    // Closed but not yet deleted, it takes no more messages.
    QObject::connect(box, &QDialog::finished, box, [] { FErrorBox = nullptr; });
    box->show();
}

QMessageBox* TApplication::ErrorBox() {
    return FErrorBox.data();
}

} // namespace vantle
