#include "cli/ScheduleChange.h"

#include "cli/Arguments.h"
#include "platform/InstanceLock.h"
#include "platform/TextUtils.h"

#include <cerrno>
#include <ostream>
#include <sys/stat.h>

namespace vantle::cli {

bool LoadForChange(TSchedList& list, const std::string& path) {
    list.SetFileName(path);
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT)
            throw EFailure(path + ": " + EInOutError::TextOf(InOutCodeFromErrno(errno)));
        return false;
    }
    if (!S_ISREG(st.st_mode))
        throw EFailure(path + ": not a regular file");
    try {
        list.Load();
    } catch (const ENotSchedule& error) {
        throw EFailure(error.Message()); // it names the file itself
    } catch (const Exception& error) {
        throw EFailure(path + ": " + error.Message());
    }
    return true;
}

void SaveChange(TSchedList& list, std::ostream& err, const std::string& what) {
    const std::string& path = list.FileName();
    try {
        list.Save();
    } catch (const Exception& error) {
        throw EFailure(path + ": " + error.Message());
    }
    for (const std::string& warning : list.SaveWarnings())
        err << "warning: " << warning << '\n';
    // A scheduler without a window rereads the file at its next cycle; a window with
    // unsaved edits keeps them and would write them over this change.
    const TLockHolder holder = TInstanceLock(path).Holder();
    if (holder.Held && holder.Lines.size() >= 4 && holder.Lines[3] == "unsaved")
        err << "warning: the window that holds " << VisibleText(path, TVisibleFor::Terminal)
            << " has unsaved changes; saving them there would overwrite " << what << '\n';
}

} // namespace vantle::cli
