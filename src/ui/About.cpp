// The About box.
#include "ui/About.h"

#include "ui/Icon.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>

namespace vantle {

namespace {

// The classic box, whose paths take a line each; a longer path makes it taller.
constexpr int BoxWidth = 298;
constexpr int PathsTop = 174;
constexpr int PathWidth = 281;
constexpr int PathLineHeight = 18;

// A path is shown whole, wrapped where it is longer than the box (a path breaks after
// its slashes), and selectable so it can be copied.
QLabel* PathLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromUtf8(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

void ShowPath(QLabel* label, const QString& caption, const QString& path) {
    label->setText(caption + path);
    label->setProperty("path", path);
}

} // namespace

TfmAbout::TfmAbout(QWidget* parent) : TCentredDialog(parent) {
    setObjectName(QStringLiteral("fmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setWindowIcon(VantleIcon());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);

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

    lbSchedulePath = PathLabel(this, "lbSchedulePath");
    lbLogPath = PathLabel(this, "lbLogPath");

    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->resize(75, 25);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    LayOutPaths();
}

void TfmAbout::LayOutPaths() {
    int top = PathsTop;
    for (QLabel* label : {lbSchedulePath, lbLogPath}) {
        const int height = std::max(PathLineHeight, label->heightForWidth(PathWidth));
        label->setGeometry(8, top, PathWidth, height);
        top += height + 2;
    }
    btnOk->move(111, top + 10);
    setFixedSize(BoxWidth, btnOk->geometry().bottom() + 1 + 8);
}

void TfmAbout::SetPaths(const QString& scheduleFile, const QString& logFile) {
    ShowPath(lbSchedulePath, QStringLiteral("Schedule: "), scheduleFile);
    ShowPath(lbLogPath, QStringLiteral("Log: "), logFile);
    LayOutPaths();
}

} // namespace vantle
