// The base of the modal dialogs: centred over their parent at every showing.
#pragma once

#include <QDialog>

#include <utility>

class QPushButton;

namespace vantle {

class TCentredDialog : public QDialog {
    Q_OBJECT
public:
    explicit TCentredDialog(QWidget* parent = nullptr);

    void setVisible(bool visible) override;

protected:
    // "&Ok" (the default button, accepting) and "&Cancel" (rejecting), children of `parent`.
    std::pair<QPushButton*, QPushButton*> NewOkCancel(QWidget* parent);
};

} // namespace vantle
