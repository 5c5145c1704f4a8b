#include "resources/help_location.h"

#include <filesystem>
#include <system_error>

#ifndef NOCTERIS_HELP_INSTALLED
#error "NOCTERIS_HELP_INSTALLED must name the installed help index"
#endif
#ifndef NOCTERIS_HELP_SOURCE
#error "NOCTERIS_HELP_SOURCE must name the help index in the source tree"
#endif

namespace fs = std::filesystem;

std::string first_existing_file(const std::vector<std::string>& candidates) {
    for (const std::string& c : candidates) {
        std::error_code ec;
        if (!c.empty() && fs::is_regular_file(c, ec)) return c;
    }
    return {};
}

std::string help_index_path() {
    std::vector<std::string> candidates{NOCTERIS_HELP_INSTALLED};
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && exe.has_parent_path())
        candidates.push_back(
            (exe.parent_path().parent_path() / "share/nocteris/help/index.html").string());
    candidates.push_back(NOCTERIS_HELP_SOURCE);
    return first_existing_file(candidates);
}
