#pragma once
#include <string>

namespace platform {

// Translates the program's DOS-style names ("c:\autosave\Nocteris.INI") into
// host paths. Drive C: is the user's home directory; each component matches an
// existing entry whatever its case, as on the original file system. A path
// that starts with "/" is already a host path and is returned unchanged.
// A drive other than C: has no host equivalent: the result is empty.
// A name without a drive is taken relative to the current directory.
std::string host_path(const std::string& name);

// The user's home directory ($HOME, else the password entry, else "/tmp").
std::string home_dir();

// host_path("c:\autosave"): where the program keeps everything it writes.
std::string working_folder();

} // namespace platform
