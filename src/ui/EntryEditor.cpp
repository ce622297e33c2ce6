#include "ui/EntryEditor.h"

#include "sched/SchedList.h"
#include "ui/Entry.h"
#include "ui/TextBytes.h"

namespace vantle {

std::optional<std::uint64_t> TEntryEditor::Add(TSchedList& list) {
    FDialog.SetNewEntry();
    if (FServices.ShowModal(FDialog) != QDialog::Accepted)
        return std::nullopt;
    // At the bottom, even when the grid is sorted.
    std::uint64_t serial = list.SerialOf(list.Add(std::make_unique<TSchedule>()));
    CopyDialogToEntry(list, serial);
    return serial;
}

bool TEntryEditor::Modify(TSchedList& list, std::uint64_t serial) {
    const std::string name = list.Items(list.IndexOfSerial(serial)).Name;
    FDialog.SetEntry(list.Items(list.IndexOfSerial(serial)));
    if (FServices.ShowModal(FDialog) != QDialog::Accepted)
        return false;
    // A tick may have reloaded the list meanwhile. An entry that came back unchanged
    // kept its serial; one that another program changed or removed did not, and the
    // edit then becomes a new entry rather than being lost.
    if (list.IndexOfSerial(serial) >= 0) {
        CopyDialogToEntry(list, serial);
        return false;
    }
    FServices.Ask(FParent, QStringLiteral("Vantle Scheduler"),
                  QStringLiteral("Another program changed or removed the entry \"%1\" while you "
                                 "edited it.\r\nYour edit is added as a new entry.")
                      .arg(TextOfBytes(name)),
                  QMessageBox::Ok, QMessageBox::Ok);
    CopyDialogToEntry(list, list.SerialOf(list.Add(std::make_unique<TSchedule>())));
    return true;
}

bool TEntryEditor::Delete(TSchedList& list, std::uint64_t serial) {
    std::string name = list.Items(list.IndexOfSerial(serial)).Name;
    if (FServices.Ask(FParent, QStringLiteral("Confirm Delete"),
                      QStringLiteral("Delete schedule for %1?").arg(TextOfBytes(name)),
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return false;
    // A reload while the question was open may have taken it away: the list says so.
    list.Delete(list.IndexOfSerial(serial));
    return true;
}

void TEntryEditor::Duplicate(TSchedList& list, std::uint64_t serial) {
    std::int32_t index = list.IndexOfSerial(serial);
    auto copy = std::make_unique<TSchedule>();
    CopyEntry(*copy, list.Items(index));
    copy->Active = false;
    if (index == list.Count() - 1)
        list.Add(std::move(copy));
    else
        list.Insert(index + 1, std::move(copy));
}

void TEntryEditor::CopyDialogToEntry(TSchedList& list, std::uint64_t serial) {
    TSchedule values = FDialog.GetEntry();
    list.Update(list.IndexOfSerial(serial), values);
}

} // namespace vantle
