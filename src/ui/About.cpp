// The About box.
#include "ui/About.h"

#include "ui/Icon.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace vantle {

namespace {

constexpr int PathsHeight = 44;

// A path may be longer than the box: shown elided in the middle, whole in its tooltip,
// and selectable so it can be copied.
QLabel* PathLabel(QWidget* parent, const char* name, int y) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromUtf8(name));
    label->setGeometry(8, y, 281, 18);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

void ShowPath(QLabel* label, const QString& caption, const QString& path) {
    QString text = caption + path;
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->width()));
    label->setToolTip(path);
    label->setProperty("path", path);
}

} // namespace

TfmAbout::TfmAbout(QWidget* parent) : TCentredDialog(parent) {
    setObjectName(QStringLiteral("fmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setWindowIcon(VantleIcon());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    // Taller than the classic box by the two lines of paths.
    setFixedSize(298, 213 + PathsHeight);

    auto* panel = new QFrame(this);
    panel->setGeometry(8, 8, 281, 161);
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    // The icon keeps its proportions inside its box; a stretched clock face looks wrong.
    auto* picture = new QLabel(panel);
    picture->setGeometry(8, 8, 73, 65);
    picture->setAlignment(Qt::AlignCenter);
    picture->setPixmap(VantleIcon().pixmap(QSize(65, 65)));

    auto* product = new QLabel(QStringLiteral("Vantle Program Scheduler"), panel);
    QFont productFont = product->font();
    productFont.setBold(true);
    product->setFont(productFont);
    product->move(88, 16);
    product->adjustSize();

    auto* version = new QLabel(QStringLiteral("Version 1.0.0.12"), panel);
    version->move(88, 40);
    version->adjustSize();

    auto* notice = new QLabel(
        QStringLiteral("Copyright (c) 2026 Vantle. Runs programs on a schedule."), panel);
    notice->setGeometry(8, 80, 265, 73);
    notice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    notice->setWordWrap(true);

    lbSchedulePath = PathLabel(this, "lbSchedulePath", 174);
    lbLogPath = PathLabel(this, "lbLogPath", 194);

    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(111, 180 + PathsHeight, 75, 25);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

void TfmAbout::SetPaths(const QString& scheduleFile, const QString& logFile) {
    ShowPath(lbSchedulePath, QStringLiteral("Schedule: "), scheduleFile);
    ShowPath(lbLogPath, QStringLiteral("Log: "), logFile);
}

} // namespace vantle
