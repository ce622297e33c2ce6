// The main window's status bar: the date and time of the last refresh and whether the
// scheduler is enabled, in two sunken panels named for tests.
#pragma once

#include <QString>

#include <array>

class QLabel;
class QStatusBar;

namespace vantle {

class TStatusPanels {
public:
    explicit TStatusPanels(QStatusBar& bar);
    /// `refreshed`: the moment as the user's date format writes it.
    void Show(const QString& refreshed, const QString& state);

private:
    std::array<QLabel*, 2> Panels{}; // owned by the status bar
};

} // namespace vantle
