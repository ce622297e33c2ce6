// The log viewer: the end of the log in a read-only box, opened at its end; a window one
// keeps open beside the main one, its text let go when it is closed.
#pragma once

#include <QDialog>

#include <cstdint>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vantle {

class TLog;

class TfmViewLog : public QDialog {
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
    /// Reads the end of `log` (enough for weeks of a busy schedule, little enough to open
    /// at once) into the box, at its end; raises as TLog::AssignTailTo does, the box kept.
    void ReadLog(TLog& log);
    /// Closed with OK, Esc or the window's close button: the text is let go.
    void done(int result) override;

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
