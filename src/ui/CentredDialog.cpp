// The base of the modal dialogs: centred over their parent at every showing.
#include "ui/CentredDialog.h"

#include <QPushButton>

namespace vantle {

TCentredDialog::TCentredDialog(QWidget* parent) : QDialog(parent) {}

void TCentredDialog::setVisible(bool visible) {
    // Centred over the main window at every showing, even after the user moved it.
    if (visible && !isVisible()) {
        setAttribute(Qt::WA_Moved, false);
    }
    QDialog::setVisible(visible);
}

std::pair<QPushButton*, QPushButton*> TCentredDialog::NewOkCancel(QWidget* parent) {
    auto* ok = new QPushButton(QStringLiteral("&Ok"), parent);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), parent);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    return {ok, cancel};
}

} // namespace vantle
