// The main window's menu bar: every item with its caption, access key, shortcut and the
// object name tests find it by. The window connects the commands.
#pragma once

class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;

namespace vantle {

struct TMainMenu {
    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QAction* Run1 = nullptr; // checkable: the scheduler's state
    QAction* Save1 = nullptr;
    QAction* Refresh1 = nullptr;
    QAction* ImportCrontab1 = nullptr;
    QAction* N2 = nullptr; // separates Save and Refresh from Reset Log
    QAction* ResetLog1 = nullptr;
    QAction* N4 = nullptr; // separates Reset Log from Exit
    QAction* Exit1 = nullptr;
    QMenu* Edit1 = nullptr;
    QAction* mnAdd = nullptr;
    QAction* Modify1 = nullptr;
    QAction* Delete1 = nullptr;
    QAction* N1 = nullptr; // separates Add, Modify and Delete from Execute Now
    QAction* ExecuteNow1 = nullptr;
    QAction* N3 = nullptr; // separates Execute Now from Duplicate and the clipboard items
    QAction* Duplicate1 = nullptr;
    QAction* Cut1 = nullptr; // the clipboard items are shown, never enabled
    QAction* Copy1 = nullptr;
    QAction* Paste1 = nullptr;
    QMenu* View1 = nullptr;
    QAction* LogFile1 = nullptr;
    QAction* UpcomingRuns1 = nullptr;
    QAction* RunHistory1 = nullptr;
    QMenu* Help1 = nullptr; // other menus go before it
    QAction* About1 = nullptr;
};

/// Builds the menu bar of `window`.
TMainMenu BuildMainMenu(QMainWindow& window);

} // namespace vantle
