// Feeds arbitrary bytes to the settings reader as the settings file. Besides
// the sanitizers' checks: every text it reads stays terminated inside its
// array.
#include "fuzz_setup.h"

#include "settings/ini_file.h"
#include "settings/settings.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

int file_fd = -1;
std::string file_path;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_camera();
    file_fd = ::memfd_create("Nocteris.INI", 0);
    check(file_fd >= 0);
    file_path = "/proc/self/fd/" + std::to_string(file_fd);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check(::ftruncate(file_fd, 0) == 0);
    check(::pwrite(file_fd, data, size, 0) == static_cast<ssize_t>(size));
    reset_settings();
    LoadINIFile(file_path.c_str());
    check_text(cfg.FITS_Obj);
    check_text(cfg.FITS_Tel);
    check_text(cfg.FITS_Ins);
    check_text(cfg.FITS_Obs);
    check_text(cfg.FITS_Src);
    check_text(cfg.FITS_His);
    check_text(cfg.FITS_Com);
    check_text(cfg.FITS_Filter);
    check_text(cfg.auto_save_dir);
    check_text(cfg.auto_save_subdir);
    for (const auto& name : cfg.Filterbox_Filter_Name) check_text(name);
    return 0;
}
