#include "engine/TildeWarnings.h"

#include "platform/ProgramStarterPosix.h"
#include "platform/TextUtils.h"

namespace vantle {

namespace {

// "~" and "~/rest" are the user's own home; "~name/rest" someone else's, which only a
// full path names here.
std::string ReplacementOf(std::string_view text, std::string_view home) {
    if (text.size() == 1 || text[1] == '/')
        return std::string(home) + std::string(text.substr(1));
    return {};
}

std::string Sentence(std::string_view what, std::string_view text, std::string_view home,
                     bool parameter) {
    std::string said = std::string(what) + " " + Quoted(VisibleText(text, TVisibleFor::Log)) +
                       " starts with '~', which no shell expands here: ";
    std::string instead = ReplacementOf(text, parameter ? "$V[HOME]" : home);
    if (instead.empty() || (!parameter && home.empty()))
        return said + "write the full path";
    return said + "write " + Quoted(VisibleText(instead, TVisibleFor::Log)) +
           (parameter ? "" : " (the full path)");
}

} // namespace

std::vector<std::string> TildeWarningsOf(TSchedLineKind kind, std::string_view value,
                                         const std::string& home) {
    std::vector<std::string> warnings;
    switch (kind) {
    case TSchedLineKind::Command:
        if (value.starts_with('~'))
            warnings.push_back(Sentence("the command", value, home, false));
        break;
    case TSchedLineKind::WorkDir:
        if (value.starts_with('~'))
            warnings.push_back(Sentence("the working folder", value, home, false));
        break;
    case TSchedLineKind::Parms:
        for (const std::string& word : SplitShellWords(std::string(value)))
            if (word.starts_with('~'))
                warnings.push_back(Sentence("the parameter", word, home, true));
        break;
    default:
        break;
    }
    return warnings;
}

std::vector<std::string> TildeWarnings(const TSchedule& entry, const std::string& home) {
    std::vector<std::string> warnings;
    if (entry.CommandType == ctBuiltinResetTime)
        return warnings;
    for (auto [kind, text] : {std::pair{TSchedLineKind::Command, &entry.Command},
                              std::pair{TSchedLineKind::Parms, &entry.Parms},
                              std::pair{TSchedLineKind::WorkDir, &entry.WorkDir}})
        for (std::string& warning : TildeWarningsOf(kind, *text, home))
            warnings.push_back(std::move(warning));
    return warnings;
}

} // namespace vantle
