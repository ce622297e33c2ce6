#include "ui/MainMenu.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace vantle {

namespace {

QMenu* Menu(QMenuBar* bar, const char* name, const char* caption) {
    QMenu* menu = bar->addMenu(QString::fromUtf8(caption));
    menu->setObjectName(QString::fromUtf8(name));
    return menu;
}

QAction* Item(QMenu* menu, const char* name, const char* caption,
              const QKeySequence& shortcut = {}) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromUtf8(name));
    action->setShortcut(shortcut);
    return action;
}

QAction* Separator(QMenu* menu, const char* name) {
    QAction* action = menu->addSeparator();
    action->setObjectName(QString::fromUtf8(name));
    return action;
}

} // namespace

TMainMenu BuildMainMenu(QMainWindow& window) {
    TMainMenu m;
    m.MainMenu1 = window.menuBar();
    m.File1 = Menu(m.MainMenu1, "File1", "&File");
    m.Run1 = Item(m.File1, "Run1", "&Run");
    m.Run1->setCheckable(true);
    m.Save1 = Item(m.File1, "Save1", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S));
    m.Save1->setEnabled(false); // nothing to save until the list says otherwise
    m.Refresh1 = Item(m.File1, "Refresh1", "Re&fresh");
    m.ImportCrontab1 = Item(m.File1, "ImportCrontab1", "&Import Crontab...");
    m.N2 = Separator(m.File1, "N2");
    m.ResetLog1 = Item(m.File1, "ResetLog1", "Reset &Log");
    m.N4 = Separator(m.File1, "N4");
    m.Exit1 = Item(m.File1, "Exit1", "E&xit");

    m.Edit1 = Menu(m.MainMenu1, "Edit1", "&Edit");
    m.mnAdd = Item(m.Edit1, "mnAdd", "&Add...", QKeySequence(Qt::Key_Insert));
    m.Modify1 = Item(m.Edit1, "Modify1", "&Modify...", QKeySequence(Qt::CTRL | Qt::Key_M));
    m.Delete1 = Item(m.Edit1, "Delete1", "&Delete", QKeySequence(Qt::Key_Delete));
    m.N1 = Separator(m.Edit1, "N1");
    m.ExecuteNow1 =
        Item(m.Edit1, "ExecuteNow1", "&Execute Now", QKeySequence(Qt::CTRL | Qt::Key_E));
    m.N3 = Separator(m.Edit1, "N3");
    m.Duplicate1 = Item(m.Edit1, "Duplicate1", "Dup&licate", QKeySequence(Qt::CTRL | Qt::Key_D));
    m.Cut1 = Item(m.Edit1, "Cut1", "C&ut", QKeySequence(Qt::CTRL | Qt::Key_X));
    m.Copy1 = Item(m.Edit1, "Copy1", "&Copy", QKeySequence(Qt::CTRL | Qt::Key_C));
    m.Paste1 = Item(m.Edit1, "Paste1", "&Paste", QKeySequence(Qt::CTRL | Qt::Key_V));
    for (QAction* action : {m.Cut1, m.Copy1, m.Paste1})
        action->setEnabled(false);

    m.View1 = Menu(m.MainMenu1, "View1", "&View");
    m.LogFile1 = Item(m.View1, "LogFile1", "&Log File");
    m.UpcomingRuns1 =
        Item(m.View1, "UpcomingRuns1", "&Upcoming Runs", QKeySequence(Qt::CTRL | Qt::Key_U));
    m.RunHistory1 =
        Item(m.View1, "RunHistory1", "&Run History", QKeySequence(Qt::CTRL | Qt::Key_H));

    m.Help1 = Menu(m.MainMenu1, "Help1", "&Help");
    m.About1 = Item(m.Help1, "About1", "&About...");
    return m;
}

} // namespace vantle
