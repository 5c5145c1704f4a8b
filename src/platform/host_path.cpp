#include "platform/host_path.h"

#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

std::string home_dir() {
    const char* h = std::getenv("HOME");
    if (h && *h) return h;
    if (passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

namespace {

bool exists(const std::string& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0;
}

// Finds the entry of dir whose name equals comp ignoring case; an exact match
// wins. Returns comp itself when nothing matches (a file about to be created).
std::string match_component(const std::string& dir, const std::string& comp) {
    if (comp == "." || comp == "..") return comp;
    const std::string base = dir.empty() ? "/" : dir;
    if (exists(base + "/" + comp)) return comp;
    DIR* d = ::opendir(base.c_str());
    if (!d) return comp;
    std::string found = comp;
    while (dirent* e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, comp.c_str()) == 0) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found;
}

std::vector<std::string> split(const std::string& s) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == '/' || c == '\\') {
            if (!cur.empty()) out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

} // namespace

std::string host_path(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    std::string root;
    std::string rest = name;
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) {
        if (std::tolower(static_cast<unsigned char>(name[0])) != 'c') return {};
        root = home_dir();
        rest = name.substr(2);
        while (root.size() > 1 && root.back() == '/') root.pop_back();
    } else {
        char buf[4096];
        root = ::getcwd(buf, sizeof buf) ? buf : ".";
    }
    std::string path = root == "/" ? "" : root;
    for (const auto& comp : split(rest)) {
        const std::string matched = match_component(path, comp);
        path += '/';
        path += matched;
    }
    return path.empty() ? "/" : path;
}

std::string working_folder() {
    return host_path("c:\\autosave");
}

} // namespace platform
