// A label of whole lines that never wraps.
#include "ui/LinesLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace vantle {

TLinesLabel::TLinesLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void TLinesLabel::SetLines(const QStringList& lines, int maxLines) {
    FLines = lines;
    FCut = lines.size() > maxLines;
    QStringList shown = lines.mid(0, std::max(maxLines, 0));
    if (FCut)
        shown << QStringLiteral("and %1 more").arg(lines.size() - shown.size());
    setText(shown.join(QLatin1Char('\n')));
    UpdateToolTip();
}

void TLinesLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = contentsRect();
    const QFontMetrics metrics = fontMetrics();
    int top = area.top();
    for (const QString& line : text().split(QLatin1Char('\n'))) {
        style()->drawItemText(&painter, QRect(area.left(), top, area.width(), metrics.height()),
                              Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(),
                              metrics.elidedText(line, Qt::ElideRight, area.width()),
                              foregroundRole());
        top += metrics.lineSpacing();
    }
}

void TLinesLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    UpdateToolTip(); // a line may be cut short now, or whole again
}

void TLinesLabel::UpdateToolTip() {
    const QFontMetrics metrics = fontMetrics();
    const int width = contentsRect().width();
    const bool elided = std::any_of(FLines.begin(), FLines.end(), [&](const QString& line) {
        return metrics.horizontalAdvance(line) > width;
    });
    setToolTip(FCut || elided ? FLines.join(QLatin1Char('\n')) : QString());
}

} // namespace vantle
