#include "ui/ProgramEnd.h"

#include "ui/Application.h"
#include "ui/SchedMain.h"

#include <QMessageBox>

#include <ostream>

namespace vantle {

void EndProgram(TfmSchedMain& window, bool stopped, std::ostream& err) {
    RunHandler([&window] { window.FormDestroy(); });
    QMessageBox* box = TApplication::ErrorBox();
    if (box == nullptr)
        return;
    if (!stopped) {
        box->exec(); // the last error is not lost when the program ends
        return;
    }
    // Nobody may be there to close it: the box's errors go where a service's output goes.
    for (const QString& text : {box->text(), box->informativeText(), box->detailedText()})
        if (!text.isEmpty())
            err << "vantle-scheduler: " << text.toLocal8Bit().constData() << '\n';
    err << std::flush;
    delete box;
}

} // namespace vantle
