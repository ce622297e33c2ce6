// The base of the modal dialogs: centred over their parent at every showing.
#include "ui/CentredDialog.h"

namespace vantle {

TCentredDialog::TCentredDialog(QWidget* parent) : QDialog(parent) {}

void TCentredDialog::setVisible(bool visible) {
    // Centred over the main window at every showing, even after the user moved it.
    if (visible && !isVisible()) {
        setAttribute(Qt::WA_Moved, false);
    }
    QDialog::setVisible(visible);
}

} // namespace vantle
