// What every test of the main window starts from: a folder of its own beside a program
// that is never there, and the machine's services faked.
#pragma once

#include "support/FakeServices.h"
#include "support/TestFiles.h"
#include "ui/Application.h"
#include "ui/FindChild.h"
#include "ui/SchedMain.h"

#include <QStringList>

#include <memory>
#include <string>

namespace vantle::test {

class TWindowFixture {
protected:
    std::unique_ptr<TTempDir> FDir;
    std::unique_ptr<TFakeServices> FFake;

    /// Anew for each test; the clock at Monday 4 March 2024, 12:05:30.
    void StartFixture() {
        FDir = std::make_unique<TTempDir>();
        FFake = std::make_unique<TFakeServices>();
        FFake->Clock.Set(EncodeDate(2024, 3, 4) + EncodeTime(12, 5, 30, 0));
        FFake->ExecutablePath = FDir->File("vantle-scheduler");
    }

    /// An error box a test left open would take the next test's first message.
    void EndFixture() {
        delete TApplication::ErrorBox();
        FFake.reset();
        FDir.reset();
    }

    /// The files the window names after the program.
    std::string IniPath() const { return FDir->File("vantle-scheduler.INI"); }
    std::string LogPath() const { return FDir->File("vantle-scheduler.LOG"); }

    TSchedMainServices Services() const {
        TSchedMainServices services;
        services.Scheduler = FFake->Services();
        return services;
    }

    /// Switched on by any argument, as the program is.
    std::unique_ptr<TfmSchedMain> MakeWindow(int argumentCount = 0) const {
        return std::make_unique<TfmSchedMain>(argumentCount, Services());
    }

    static TScheduleGrid* Grid(TfmSchedMain& fm) {
        return Child<TScheduleGrid>(fm, "sgScheduleList");
    }

    /// The model's texts of a column, in the order the grid shows its rows.
    static QStringList Column(TfmSchedMain& fm, int col) {
        QStringList texts;
        TScheduleSort* model = Grid(fm)->Model();
        for (int row = 0; row < model->rowCount(); ++row)
            texts << QString::fromStdString(model->Text(row, col));
        return texts;
    }
};

} // namespace vantle::test
