#include "ui/LenientFieldNote.h"

#include "sched/LenientFields.h"
#include "sched/TimeFieldInput.h"
#include "ui/Colours.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <optional>
#include <string>

TLenientFieldNote::TLenientFieldNote(QLineEdit* edit, vantle::TTimeFieldKind kind, QWidget* parent)
    : QWidget(parent), FEdit(edit), FKind(kind), FText(new QLabel(this)),
      FConvert(new QPushButton(QStringLiteral("Convert"), this)) {
    const QString field = QString::fromUtf8(vantle::TimeFieldOf(kind).Name);
    FText->setObjectName(QStringLiteral("lbReadsAs") + field);
    FConvert->setObjectName(QStringLiteral("btnConvert") + field);
    FConvert->setToolTip(QStringLiteral("Write the field in the stored form"));
    FConvert->setAutoDefault(false);
    QPalette palette = FText->palette();
    palette.setColor(QPalette::WindowText, vantle::ErrorColour());
    FText->setPalette(palette);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FText, 1);
    layout->addWidget(FConvert);
    connect(edit, &QLineEdit::textChanged, this, &TLenientFieldNote::Update);
    connect(FConvert, &QPushButton::clicked, this, &TLenientFieldNote::Convert);
    Update();
}

void TLenientFieldNote::Update() {
    const std::string text = FEdit->text().toStdString();
    const std::optional<std::string> readsAs = vantle::LenientReading(FKind, text);
    setVisible(readsAs.has_value());
    if (!readsAs)
        return;
    FText->setText(QStringLiteral("Reads as '%1'").arg(QString::fromStdString(*readsAs)));
    // What has no stored form ("0-90/15") is only told.
    FConvert->setVisible(vantle::ToStoredTimeField(FKind, text) != text);
}

void TLenientFieldNote::Convert() {
    FEdit->setText(
        QString::fromStdString(vantle::ToStoredTimeField(FKind, FEdit->text().toStdString())));
    FEdit->setModified(true);
}

std::string TimeFieldToSave(const QLineEdit* edit, vantle::TTimeFieldKind kind) {
    const std::string text = edit->text().toStdString();
    return edit->isModified() ? vantle::ToStoredTimeField(kind, text) : text;
}

QWidget* WithLenientFieldNote(QLineEdit* edit, vantle::TTimeFieldKind kind) {
    auto* box = new QWidget(edit->parentWidget());
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    edit->setParent(box);
    layout->addWidget(edit);
    layout->addWidget(new TLenientFieldNote(edit, kind, box));
    return box;
}
