#include "settings/settings.h"

#include "platform/host_path.h"

#include <cctype>

Settings cfg;

void reset_settings() {
    cfg = Settings{};
}

std::tm fits_ut_time(std::time_t t) {
    std::tm local{};
    ::localtime_r(&t, &local);
    local.tm_hour += cfg.FITS_Diff;
    local.tm_isdst = 0;
    // timegm normalises the shifted fields without any time-zone rule.
    std::time_t shifted = ::timegm(&local);
    std::tm ut{};
    ::gmtime_r(&shifted, &ut);
    return ut;
}

std::string autosave_host_folder(const std::string& name) {
    if (name.empty()) return platform::host_path("c:\\AUTOSAVE");
    if (name.size() >= 2 && name[1] == ':') {
        // A drive: only C: has a host folder.
        if (std::tolower(static_cast<unsigned char>(name[0])) != 'c') return {};
        return platform::host_path(name);
    }
    if (name[0] == '/') return name;
    return platform::host_path("c:" + std::string(name[0] == '\\' ? "" : "\\") + name);
}
