#include "ui/Settings.h"

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
const char* const OnFailureKey = "Commands/OnFailure";
const char* const OnRecoveryKey = "Commands/OnRecovery";

std::string TextSetting(const QSettings& settings, const char* key) {
    return settings.value(key).toString().toStdString();
}

void SetTextSetting(QSettings& settings, const char* key, const std::string& text) {
    if (text.empty())
        settings.remove(key);
    else
        settings.setValue(key, QString::fromStdString(text));
}

std::optional<std::uint64_t> CountSetting(const QSettings& settings, const char* key) {
    bool ok = false;
    qulonglong value = settings.value(key).toULongLong(&ok);
    if (!ok || value == 0)
        return std::nullopt;
    return value;
}

} // namespace

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

TDefaultCommands DefaultCommands(const QSettings& settings) {
    return {TextSetting(settings, OnFailureKey), TextSetting(settings, OnRecoveryKey)};
}

void SetDefaultCommands(QSettings& settings, const TDefaultCommands& commands) {
    SetTextSetting(settings, OnFailureKey, commands.OnFailure);
    SetTextSetting(settings, OnRecoveryKey, commands.OnRecovery);
}

} // namespace vantle
