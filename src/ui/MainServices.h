// What the main window reaches outside itself: the scheduler's services, the question
// boxes, modal dialogs, the child watch and the stop signals. Tests replace any piece.
#pragma once

#include "engine/Scheduler.h"
#include "platform/ChildWatch.h"
#include "ui/FileQuestions.h"

#include <QMessageBox>

#include <functional>
#include <string>

class QDialog;

namespace vantle {

/// Shows a secondary window modally; 1 (QDialog::Accepted) means OK.
using TShowModalFunction = std::function<int(QDialog& dialog)>;

/// Everything the window reaches outside itself; tests replace any piece.
struct TSchedMainServices {
    /// Also the window's clock and regional settings, and the executable path that names
    /// the schedule file and the log.
    vantle::TSchedulerServices Scheduler;
    TAskFunction Ask;
    TShowModalFunction ShowModal;
    /// Reaps the programs the scheduler started and tells how they ended; none in tests
    /// that start no real programs.
    vantle::TChildWatch* ChildWatch = nullptr;
    /// The user's crontab for File > Import Crontab, raising with a user's words; empty:
    /// `crontab -l`.
    std::function<std::string()> ReadCrontab;
    /// The schedule file; empty: beside the executable, named after it.
    std::string ScheduleFile;
    /// Where the window serves `vantle-schedctl start` (its control socket, beside the
    /// instance lock); empty: nowhere, as in most tests.
    std::string ControlPath;
    /// Readable when a stop signal came (-1: none watched, as in most tests); TakeStop
    /// empties it and returns the signal.
    int StopFd = -1;
    std::function<int()> TakeStop;
    /// Told whether the list holds unsaved changes, each time the window shows it; may be
    /// empty. The editing commands of vantle-schedctl warn while it does.
    std::function<void(bool unsaved)> OnUnsaved;
};

struct TFileLocations;

/// The real machine: system services, question boxes, QDialog::exec, and `files`, the
/// program's files as LocateFiles puts them (their folders made).
TSchedMainServices SystemSchedMainServices(const vantle::TFileLocations& files);
/// `services` with every piece left empty made the real one (questions, dialogs, the
/// executable's path, the clock and regional settings), the log's size limit, what the
/// run records keep and the default failure and recovery commands (where `services`
/// names none) from the program's settings.
TSchedMainServices CompleteServices(TSchedMainServices services);
/// The question box with the question icon.
QMessageBox::StandardButton AskQuestion(QWidget* parent, const QString& caption,
                                        const QString& text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton);

} // namespace vantle
