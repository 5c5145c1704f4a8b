#include "files/auto_save.h"

#include "display/image_store.h"
#include "files/file_state.h"
#include "files/fits.h"
#include "files/fits_time.h"
#include "platform/messages.h"
#include "settings/ini_file.h"
#include "settings/settings.h"

#include <filesystem>

int next_auto_save_number(int n) {
    return n >= 65530 ? 1 : n + 1;
}

std::string auto_save_file_name(int number) {
    return std::string(files.auto_save_name) + std::to_string(number) + ".FIT";
}

int auto_save(const unsigned short* image) {
    files.start_exp = fits_time_stamps(files.start_exp, files.end_exp);

    const std::string folder = autosave_host_folder(cfg.auto_save_dir);
    std::error_code ec;
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);

    cfg.auto_save_num = next_auto_save_number(cfg.auto_save_num);
    // A folder that has no host equivalent, or cannot be made, shows as a
    // failed write.
    if (folder.empty()) return 1;
    const std::string path = folder + "/" + auto_save_file_name(cfg.auto_save_num);
    if (SaveFITSFile(path.c_str(), image, cfg.FITS_Obj, cfg.FITS_Obs, fits.FITS_Date, cfg.FITS_Tel,
                     cfg.FITS_Ins, cfg.FITS_Com, cfg.FITS_His, 0) != 0)
        return 1;
    return SaveINIFile(cfg.ini_file);
}

int quick_save_fits() {
    const int r = auto_save(image);
    if (r == 1) messages(49);
    return r;
}
