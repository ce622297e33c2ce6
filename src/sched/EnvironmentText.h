// An entry's environment as the schedule file holds it on one line, and the rules a pair
// must meet to be handed to a program.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vantle {

/// What the reader makes of an Environment= value.
struct TEnvironmentText {
    /// Every pair as text, malformed ones too, so a save writes back what was read.
    std::vector<std::string> Pairs;
    /// What `check` says of them, never telling a value: escapes no writer makes, which
    /// read as written; pairs that cannot be handed to a program (EnvironmentPairFault).
    std::vector<std::string> BadEscapes, Malformed;
};

/// The pairs on one line: parted by ';', with "\\" for a backslash, "\;", "\r", "\n"
/// and "\x1A" (which would end the file), every other byte as it is. No pair may hold a
/// NUL byte.
std::string FormatEnvironment(const std::vector<std::string>& pairs);
/// The reader's side, lenient: a backslash before anything else stays a backslash. An
/// empty text holds no pair.
TEnvironmentText ParseEnvironment(std::string_view text);

/// Letters, digits and '_', not starting with a digit: what a shell would take.
bool IsEnvironmentName(std::string_view name);
/// Why pair `index` (0-based) cannot be handed to a program, told by its name or place
/// and never by its value; empty when it can.
std::string EnvironmentPairFault(std::string_view pair, std::size_t index);
/// The first pair's fault (EnvironmentPairFault); empty when every pair is sound.
std::string EnvironmentFault(const std::vector<std::string>& pairs);
/// The names the sound pairs set, each once in the order first set: "PATH, BACKUP_PASSFILE";
/// what a record or a dry run may say about an environment.
std::string EnvironmentNames(const std::vector<std::string>& pairs);

} // namespace vantle
