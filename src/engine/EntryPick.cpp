#include "engine/EntryPick.h"

#include "platform/TextUtils.h"

#include <algorithm>
#include <vector>

namespace vantle {

TEntryPick PickEntry(TSchedList& list, const std::string& name, std::optional<std::int32_t> index,
                     bool activeOnly) {
    TSchedListLock lock(list);
    std::vector<std::int32_t> found;
    for (std::int32_t i = 0; i < list.Count(); ++i)
        if (list.Items(i).Name == name)
            found.push_back(i);
    const std::string shown = VisibleText(name, TVisibleFor::Terminal);
    if (index && std::find(found.begin(), found.end(), *index) == found.end())
        return {.Error = "no entry '" + shown + "' at position " + std::to_string(*index)};
    if (found.empty())
        return {.Error = "no entry is named '" + shown + "'"};
    if (!index && found.size() > 1) {
        std::string positions;
        for (std::int32_t i : found)
            positions += (positions.empty() ? "" : ", ") + std::to_string(i);
        return {.Error = std::to_string(found.size()) + " entries are named '" + shown +
                         "': " + shown + " at " + positions + "; --index N picks one"};
    }
    const std::int32_t picked = index.value_or(found.front());
    if (activeOnly && !list.Items(picked).Active)
        return {.Error = shown + " is switched off"};
    return {.Index = picked};
}

} // namespace vantle
