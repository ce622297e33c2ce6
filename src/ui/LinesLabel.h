// A label of whole lines that never wraps: a line wider than the label ends in "…", lines
// past a limit give way to "and N more", and the tooltip then holds every line.
#pragma once

#include <QLabel>
#include <QStringList>

namespace vantle {

class TLinesLabel : public QLabel {
public:
    /// Takes the width its layout gives and the height of its lines, no more, no less.
    explicit TLinesLabel(QWidget* parent = nullptr);

    /// Shows the first `maxLines` of `lines`, then "and N more" for the rest.
    void SetLines(const QStringList& lines, int maxLines);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateToolTip();

    QStringList FLines; // every line, shown or not
    bool FCut = false;  // some lines are behind "and N more"
};

} // namespace vantle
