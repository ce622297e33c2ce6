// How the windows beside the main one show their lists: rows of one line, no grid, whole
// rows selected, nothing edited in place, the last column taking what is left.
#pragma once

class QTableView;

namespace vantle {

void ShowAsList(QTableView& view);

} // namespace vantle
