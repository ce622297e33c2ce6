// Editing the schedule's entries through the entry dialog: add, modify (also over a
// reload that happened while the dialog was open), delete after asking, duplicate.
#pragma once

#include "ui/MainServices.h"

#include <cstdint>
#include <optional>

namespace vantle {

class TSchedList;
class TfmEntry;

class TEntryEditor {
public:
    /// Questions and dialogs open over `parent`.
    TEntryEditor(TfmEntry& dialog, const TSchedMainServices& services, QWidget* parent)
        : FDialog(dialog), FServices(services), FParent(parent) {}

    /// A new entry from the dialog, at the bottom of the list; its serial, none when the
    /// user cancelled.
    std::optional<std::uint64_t> Add(TSchedList& list);
    /// Edits the entry `serial`. True when the edit became a new entry because another
    /// program changed or removed the entry while the dialog was open (nothing is lost):
    /// the rows are then best shown anew.
    bool Modify(TSchedList& list, std::uint64_t serial);
    /// Deletes the entry `serial` when the user agrees; true when it did.
    bool Delete(TSchedList& list, std::uint64_t serial);
    /// An inactive copy of the entry `serial`, right after it.
    void Duplicate(TSchedList& list, std::uint64_t serial);

private:
    /// The dialog's values into the entry of `serial`.
    void CopyDialogToEntry(TSchedList& list, std::uint64_t serial);

    TfmEntry& FDialog;
    const TSchedMainServices& FServices;
    QWidget* FParent;
};

} // namespace vantle
