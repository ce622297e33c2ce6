// Where the running program lives; every path of the system derives from it.
#pragma once

#include <string>

namespace vantle {

/// The full path of the running executable (/proc/self/exe).
std::string ExecutablePath();
/// `path` with its extension (from the last "." of the file name on) replaced by
/// `extension`, or with `extension` appended when the file name has none.
std::string ChangeFileExt(const std::string& path, const std::string& extension);
/// The folder part of `path`, without the trailing "/".
std::string ExtractFileDir(const std::string& path);
/// The folder a file lies in, as a path to open: "." for a bare name.
std::string FolderOfFile(const std::string& path);

} // namespace vantle
