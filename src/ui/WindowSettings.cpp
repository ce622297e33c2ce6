#include "ui/WindowSettings.h"

#include "ui/SchedMain.h"

#include <QSettings>

namespace vantle {

namespace {

const char* const GeometryKey = "window/geometry";
const char* const ColumnWidthsKey = "grid/columnWidths";
const char* const SortedKey = "grid/sorted";
const char* const SortColumnKey = "grid/sortColumn";
const char* const SortAscendingKey = "grid/sortAscending";

// A refill shows list order again, and drops the sort.
bool GridIsSorted(const TfmSchedMain& window) {
    return window.Grid().Model()->Sorted();
}

} // namespace

void RestoreWindowSettings(TfmSchedMain& window, const QSettings& settings) {
    window.restoreGeometry(settings.value(GeometryKey).toByteArray());
    const QList<QVariant> widths = settings.value(ColumnWidthsKey).toList();
    for (int col = 0; col < widths.size() && col < TScheduleModel::ColCount; ++col) {
        bool ok = false;
        int width = widths[col].toInt(&ok);
        // A width the user could not have dragged is a damaged file; keep the default.
        if (ok && width >= 8 && width <= 4000)
            window.Grid().setColumnWidth(col, width);
    }
    // Saved by a version whose moments were shorter, a date column would cut them.
    window.Grid().FitMoments(window.FormatSettings());
}

void RestoreGridSort(TfmSchedMain& window, const QSettings& settings) {
    if (!settings.value(SortedKey, false).toBool())
        return;
    int col = settings.value(SortColumnKey, -1).toInt();
    if (col < 0 || col >= TScheduleModel::ColCount)
        return;
    window.Grid().RestoreSort(col, settings.value(SortAscendingKey, true).toBool());
}

void SaveWindowSettings(const TfmSchedMain& window, QSettings& settings) {
    settings.setValue(GeometryKey, window.saveGeometry());
    QList<QVariant> widths;
    for (int col = 0; col < TScheduleModel::ColCount; ++col)
        widths << window.Grid().columnWidth(col);
    settings.setValue(ColumnWidthsKey, widths);
    bool sorted = GridIsSorted(window);
    settings.setValue(SortedKey, sorted);
    if (sorted) {
        settings.setValue(SortColumnKey, window.Grid().SortCol());
        settings.setValue(SortAscendingKey, window.Grid().SortAscending());
    }
}

} // namespace vantle
