#include "ui/StatusPanels.h"

#include <QLabel>
#include <QStatusBar>

#include <algorithm>

namespace vantle {

namespace {

const std::array<int, 2> PanelWidths{110, 50};

} // namespace

TStatusPanels::TStatusPanels(QStatusBar& bar) {
    bar.setObjectName(QStringLiteral("StatusBar1"));
    for (std::size_t i = 0; i < Panels.size(); ++i) {
        Panels[i] = new QLabel(&bar);
        Panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
        Panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        Panels[i]->setFixedWidth(PanelWidths[i]);
        bar.addWidget(Panels[i]);
    }
    Panels[0]->setAlignment(Qt::AlignCenter);
}

void TStatusPanels::Show(const QString& refreshed, const QString& state) {
    Panels[0]->setText(refreshed);
    Panels[1]->setText(QStringLiteral(" ") + state);
    // Wider than planned only when the user's font or date format needs it.
    for (std::size_t i = 0; i < Panels.size(); ++i)
        Panels[i]->setFixedWidth(std::max(PanelWidths[i], Panels[i]->sizeHint().width()));
}

} // namespace vantle
