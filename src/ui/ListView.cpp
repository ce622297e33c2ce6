#include "ui/ListView.h"

#include <QHeaderView>
#include <QTableView>

namespace vantle {

void ShowAsList(QTableView& view) {
    view.verticalHeader()->hide();
    view.verticalHeader()->setDefaultSectionSize(20);
    view.setShowGrid(false);
    view.setWordWrap(false);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view.horizontalHeader()->setStretchLastSection(true);
}

} // namespace vantle
