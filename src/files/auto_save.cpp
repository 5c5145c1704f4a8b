#include "files/auto_save.h"

#include "display/image_store.h"
#include "files/file_state.h"
#include "files/fits.h"
#include "files/fits_time.h"
#include "platform/messages.h"
#include "settings/ini_file.h"
#include "settings/settings.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

int next_auto_save_number(int n) {
    return n >= 65530 ? 1 : n + 1;
}

std::string auto_save_file_name(int number) {
    return std::string(files.auto_save_name) + std::to_string(number) + ".FIT";
}

namespace {

// Claims the first free name after `cfg.auto_save_num` by creating it
// exclusively: a file another program, another window or an earlier run left
// there is never replaced. Returns the number claimed, or -1 (with the
// number moved on by one) when nothing could be created.
int claim_auto_save_name(const std::string& folder, std::string& path) {
    int n = cfg.auto_save_num;
    for (int tries = 0; tries < AUTO_SAVE_NUMBERS; ++tries) {
        n = next_auto_save_number(n);
        path = folder + "/" + auto_save_file_name(n);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return n;
        }
        if (errno != EEXIST) break;
    }
    cfg.auto_save_num = next_auto_save_number(cfg.auto_save_num);
    return -1;
}

} // namespace

int auto_save(const unsigned short* image) {
    files.start_exp = fits_time_stamps(files.start_exp, files.end_exp);

    const std::string folder = autosave_host_folder(cfg.auto_save_dir);
    std::error_code ec;
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);

    // A folder that has no host equivalent, or cannot be made, shows as a
    // failed write.
    if (folder.empty()) {
        cfg.auto_save_num = next_auto_save_number(cfg.auto_save_num);
        return 1;
    }
    std::string path;
    const int number = claim_auto_save_name(folder, path);
    if (number < 0) return 1;
    cfg.auto_save_num = number;
    if (SaveFITSFile(path.c_str(), image, cfg.FITS_Obj, cfg.FITS_Obs, fits.FITS_Date, cfg.FITS_Tel,
                     cfg.FITS_Ins, cfg.FITS_Com, cfg.FITS_His, 0) != 0) {
        // The claimed name is still the empty file made above: give it back.
        ::unlink(path.c_str());
        return 1;
    }
    return SaveINIFile(cfg.ini_file);
}

int quick_save_fits() {
    const int r = auto_save(image);
    if (r == 1) messages(49);
    return r;
}
