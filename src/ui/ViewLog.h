// The log viewer: the whole log in a read-only box, opened at its end.
#pragma once

#include "ui/CentredDialog.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vantle {

class TLog;

class TfmViewLog : public TCentredDialog {
    Q_OBJECT
public:
    explicit TfmViewLog(QWidget* parent = nullptr);
    /// The characters of a log line the window opens wide enough for.
    static const int LogLineChars;

    /// Replaces the text box's lines; with `leftOut` bytes of the log not among them, a
    /// first line says so.
    void SetLines(const std::vector<std::string>& lines, std::uint64_t leftOut = 0);
    /// Empties the text box and gives the memory it took back to the system.
    void ClearLines();
    /// The log's path, shown above the text.
    void SetFileName(const QString& fileName);
    /// The end of `log` (enough for weeks of a busy schedule, little enough to open at
    /// once), shown modally through `showModal`; the copy is not kept afterwards.
    void ShowLog(vantle::TLog& log, const std::function<int(QDialog&)>& showModal);

protected:
    void showEvent(QShowEvent* event) override; // scrolls to the end
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override; // back to the end on every activation

private:
    // Controls, found by their object names in tests.
    QLabel* lbLogFileName = nullptr;
    QPlainTextEdit* memLog = nullptr;
    QPushButton* btnOk = nullptr;

    void MoveToEnd();
    void ScrollToEnd();
};

} // namespace vantle
