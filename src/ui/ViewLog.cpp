// The log viewer: the end of the log in a read-only box, opened at its end.
#include "ui/ViewLog.h"

#include "engine/Log.h"

#include "ui/Icon.h"
#include "ui/TextBytes.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QSizePolicy>
#include <QStringList>
#include <QStyle>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <malloc.h>

namespace vantle {

const int TfmViewLog::LogLineChars = 100;

TfmViewLog::TfmViewLog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("fmViewLog"));
    setWindowTitle(QStringLiteral("View Log"));
    setWindowIcon(VantleIcon());
    resize(397, 412);

    auto* topStrip = new QFrame(this);
    topStrip->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    topStrip->setFixedHeight(41);
    lbLogFileName = new QLabel(topStrip);
    lbLogFileName->setObjectName(QStringLiteral("lbLogFileName"));
    // A long path must not widen the window; the label follows the window instead.
    lbLogFileName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    lbLogFileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* topLayout = new QHBoxLayout(topStrip);
    topLayout->setContentsMargins(8, 0, 8, 0);
    topLayout->addWidget(lbLogFileName);

    memLog = new QPlainTextEdit(this);
    memLog->setObjectName(QStringLiteral("memLog"));
    memLog->setReadOnly(true);
    memLog->setUndoRedoEnabled(false); // a read-only box has nothing to undo
    memLog->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    memLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    memLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Wide enough for a log line (its stamp and a message of 80 characters), as far as
    // the screen allows: a narrower window cut every line.
    {
        const int line =
            QFontMetrics(memLog->font()).horizontalAdvance(QString(LogLineChars, u'x'));
        const int wanted =
            line + 2 * memLog->frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 16;
        const QScreen* screen = this->screen();
        const int room = screen != nullptr ? screen->availableGeometry().width() * 9 / 10 : wanted;
        resize(std::max(width(), std::min(wanted, room)), height());
    }

    auto* bottomStrip = new QWidget(this);
    bottomStrip->setFixedHeight(49);
    btnOk = new QPushButton(QStringLiteral("&Ok"), bottomStrip);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setFixedSize(75, 25);
    btnOk->setDefault(true);
    auto* bottomLayout = new QHBoxLayout(bottomStrip);
    bottomLayout->addStretch(1);
    bottomLayout->addWidget(btnOk);
    bottomLayout->addStretch(1);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);
    mainLayout->addWidget(topStrip);
    mainLayout->addWidget(memLog, 1);
    mainLayout->addWidget(bottomStrip);
}

void TfmViewLog::SetLines(const std::vector<std::string>& lines, std::uint64_t leftOut) {
    QStringList text;
    text.reserve(qsizetype(lines.size()) + 1);
    if (leftOut > 0) {
        text.append(
            QStringLiteral("(%1 MB at the start of the log are not shown; this is its end.)")
                .arg(double(leftOut) / (1024 * 1024), 0, 'f', 1));
    }
    for (const auto& line : lines) {
        text.append(TextOfBytes(line));
    }
    memLog->setPlainText(text.join(QLatin1Char('\n')));
}

void TfmViewLog::SetFileName(const QString& fileName) {
    lbLogFileName->setText(fileName);
}

void TfmViewLog::ClearLines() {
    memLog->clear();
    // A freed text of megabytes stays with the process unless handed back.
    malloc_trim(0);
}

void TfmViewLog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        MoveToEnd();
        // The text box settles its scroll bars only after the first layout pass; look
        // again then, or a scroll bar that appears late leaves the last line hidden.
        QTimer::singleShot(0, this, [this] { ScrollToEnd(); });
    }
}

void TfmViewLog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        MoveToEnd();
    }
}

void TfmViewLog::keyPressEvent(QKeyEvent* event) {
    // The one button is the cancel button too: Esc closes with OK.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        btnOk->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfmViewLog::MoveToEnd() {
    // Selects the fourth character of the last line, so the view opens at the end of the
    // log with the last line in sight; a shorter last line puts the caret at the very end.
    QStringList lines = memLog->toPlainText().split(QLatin1Char('\n'));
    if (lines.back().isEmpty()) {
        lines.removeLast(); // the empty piece after a final line break is no line
    }
    const auto count = lines.size();
    qsizetype start = 0;
    if (count > 0) {
        for (qsizetype i = 0; i + 1 < count; ++i) {
            start += lines[i].size() + 1;
        }
        start += 3;
    }
    QTextCursor cursor = memLog->textCursor();
    const int end = cursor.document()->characterCount() - 1;
    const int anchor = int(std::min<qsizetype>(start, end));
    cursor.setPosition(anchor);
    cursor.setPosition(std::min(anchor + 1, end), QTextCursor::KeepAnchor);
    memLog->setTextCursor(cursor);
    ScrollToEnd();
}

void TfmViewLog::ScrollToEnd() {
    // The selection lies on the last line, so the bottom of the log is where it shows.
    memLog->ensureCursorVisible();
    memLog->verticalScrollBar()->setValue(memLog->verticalScrollBar()->maximum());
}

void TfmViewLog::ReadLog(TLog& log) {
    constexpr std::uint64_t MaxBytes = 4 * 1024 * 1024;
    std::vector<std::string> lines;
    std::uint64_t leftOut = log.AssignTailTo(lines, MaxBytes);
    SetFileName(TextOfBytes(log.FileName()));
    SetLines(lines, leftOut);
    // Shown already: read again while open, the view goes to the new end at once.
    if (isVisible())
        MoveToEnd();
}

void TfmViewLog::done(int result) {
    QDialog::done(result);
    // Megabytes of text are not kept for a window that may not be opened again.
    ClearLines();
}

} // namespace vantle
