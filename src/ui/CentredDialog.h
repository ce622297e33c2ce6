// The base of the modal dialogs: centred over their parent at every showing.
#pragma once

#include <QDialog>

namespace vantle {

class TCentredDialog : public QDialog {
    Q_OBJECT
public:
    explicit TCentredDialog(QWidget* parent = nullptr);

    void setVisible(bool visible) override;
};

} // namespace vantle
