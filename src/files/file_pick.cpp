#include "files/file_pick.h"

#include "files/file_io.h"
#include "files/file_state.h"
#include "platform/host_path.h"

#include <cctype>
#include <cstring>
#include <unistd.h>

namespace {

constexpr std::size_t LASTDIR_USED = 50;

std::string folder_of(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    if (slash == std::string::npos) {
        char buf[4096];
        return ::getcwd(buf, sizeof buf) ? buf : "";
    }
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

void store_path(char (&dst)[256], const std::string& path) {
    fileio::copy_text(dst, sizeof dst, path.c_str());
}

} // namespace

std::string file_title(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int filter_index_after(const char* title, bool fits_mode) {
    if (fits_mode) return 2;
    return title && std::strchr(title, '~') ? 1 : 3;
}

void remember_lastfile(const char* title) {
    fileio::copy_text(files.lastfile, sizeof files.lastfile, title);
    for (char* p = files.lastfile; *p; ++p)
        *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
}

void remember_lastdir(const char* dir) {
    fileio::copy_text(files.lastdir, LASTDIR_USED + 1, dir);
}

void note_open_choice(const std::string& path) {
    const std::string title = file_title(path);
    files.Filter_Index = filter_index_after(title.c_str(), false);
    remember_lastfile(title.c_str());
    remember_lastdir(folder_of(path).c_str());
}

void note_save_choice(const std::string& path, bool fits_mode) {
    files.Filter_Index = filter_index_after(file_title(path).c_str(), fits_mode);
    remember_lastdir(folder_of(path).c_str());
}

int note_pick_choice(const std::string& path) {
    files.Filter_Index = filter_index_after(file_title(path).c_str(), false);
    remember_lastdir(folder_of(path).c_str());
    if (files.load_darkframe) store_path(files.DarkFileName, path);
    if (files.load_comparison) store_path(files.ComparisonFileName, path);
    if (files.load_flatfield) store_path(files.FlatFileName, path);
    if (files.delete_file) store_path(files.file_name, path);
    return files.load_darkframe || files.load_comparison || files.load_flatfield ||
                   files.delete_file
               ? 1
               : 0;
}

bool delete_chosen_file() {
    const std::string host = platform::host_path(files.file_name);
    return !host.empty() && files.file_name[0] && ::unlink(host.c_str()) == 0;
}

std::vector<std::pair<std::string, std::string>> parse_filter_list(const char* list) {
    std::vector<std::string> parts;
    std::string cur;
    for (const char* p = list ? list : ""; *p; ++p) {
        if (*p == '|') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += *p;
        }
    }
    std::vector<std::pair<std::string, std::string>> out;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) out.emplace_back(parts[i], parts[i + 1]);
    return out;
}

namespace {

// What each filter shows. Linux names keep their case and the desktop's
// dialogs take patterns as they stand, so extensions are spelt in either case
// letter by letter. The program's own spelling comes first: a save dialog
// gives a typed name the first pattern's extension when that filter is picked.
const std::string NATIVE = "~*"; // "~m13" as well as "~m13.raw"
const std::string FITS = "*.FIT;*.[fF][iI][tT];*.[fF][iI][tT][sS];*.[fF][tT][sS]";
const std::string TIFF = "*.TIF;*.[tT][iI][fF];*.[tT][iI][fF][fF]";
const std::string ALL = "*";

platform::FileDialogRequest request(bool save, const char* title, const std::string& filters,
                                    const char* initial_name, const char* extension = "") {
    platform::FileDialogRequest r;
    r.save = save;
    r.title = title;
    r.filters = parse_filter_list(filters.c_str());
    r.filter_index = files.Filter_Index;
    r.initial_dir = files.lastdir;
    r.initial_name = initial_name;
    r.default_extension = extension;
    return r;
}

} // namespace

platform::FileDialogRequest open_dialog_request() {
    return request(false, "Open",
                   "Veltrane (~*.)|" + NATIVE + "|FITS files|" + FITS + "|All Files|" + ALL + "|",
                   files.lastfile);
}

platform::FileDialogRequest save_dialog_request(bool tif, bool fits_mode) {
    if (tif)
        return request(true, "Save As",
                       "Tiff file (*.TIF)|" + TIFF + "|All Files(*.*)|" + ALL + "|", "*.TIF",
                       "TIF");
    if (fits_mode)
        return request(true, "Save As",
                       "FITS file (*.FIT)|" + FITS + "|All Files(*.*)|" + ALL + "|", "*.FIT",
                       "FIT");
    return request(
        true, "Save As",
        "Veltrane (~*.)|" + NATIVE + "|FITs files|" + FITS + "|All Files(*.*)|" + ALL + "|", "");
}

platform::FileDialogRequest pick_dialog_request() {
    return request(
        false, "Open",
        "Veltrane (~*.)|" + NATIVE + "|FITS files|" + FITS + "|All Files(*.*)|" + ALL + "|", "");
}

std::string with_default_extension(const std::string& path, const std::string& extension) {
    const std::string title = file_title(path);
    if (extension.empty() || title.empty() || title.find('.') != std::string::npos) return path;
    return path + "." + extension;
}
