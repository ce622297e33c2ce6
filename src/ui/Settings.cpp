#include "ui/Settings.h"

#include "ui/SchedMain.h"

#include <QSettings>

namespace vantle {

const char* const SettingsOrganization = "Vantle";
const char* const SettingsApplication = "vantle-scheduler";

namespace {

const char* const NotificationsKey = "options/notifications";
const char* const LogMaxSizeKey = "Log/MaxSize";
const char* const SchedulerOnKey = "Scheduler/On";
const char* const KeptRunsKey = "History/MaxRuns";
const char* const KeptMegabytesKey = "History/MaxMegabytes";

std::optional<std::uint64_t> CountSetting(const QSettings& settings, const char* key) {
    bool ok = false;
    qulonglong value = settings.value(key).toULongLong(&ok);
    if (!ok || value == 0)
        return std::nullopt;
    return value;
}
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

bool StartsSwitchedOn(int argumentCount, const QSettings& settings) {
    return argumentCount >= 1 || settings.value(QString::fromUtf8(SchedulerOnKey), false).toBool();
}

void RememberSchedulerOn(QSettings& settings, bool on) {
    settings.setValue(QString::fromUtf8(SchedulerOnKey), on);
}

TNotifyMode NotifyMode(const QSettings& settings) {
    const QString value = settings.value(NotificationsKey, QStringLiteral("failures")).toString();
    if (value == QLatin1String("every run"))
        return TNotifyMode::EveryRun;
    if (value == QLatin1String("none") || value == QLatin1String("false"))
        return TNotifyMode::None;
    return TNotifyMode::Failures; // also "true", the switch turned on
}

void SetNotifyMode(QSettings& settings, TNotifyMode mode) {
    settings.setValue(NotificationsKey, mode == TNotifyMode::EveryRun ? QStringLiteral("every run")
                                        : mode == TNotifyMode::None   ? QStringLiteral("none")
                                                                      : QStringLiteral("failures"));
}

std::optional<std::uint64_t> LogMaxSize(const QSettings& settings) {
    if (!settings.contains(LogMaxSizeKey))
        return std::nullopt;
    bool ok = false;
    qulonglong maxSize = settings.value(LogMaxSizeKey).toULongLong(&ok);
    if (!ok)
        return std::nullopt;
    return maxSize;
}

std::optional<std::uint64_t> KeptRuns(const QSettings& settings) {
    return CountSetting(settings, KeptRunsKey);
}

std::optional<std::uint64_t> KeptMegabytes(const QSettings& settings) {
    return CountSetting(settings, KeptMegabytesKey);
}

} // namespace vantle
