// Writes the settings target's starting corpus into the folder given: the
// settings file as the program writes it, with defaults and with every text
// field full, and cut short.
#include "fuzz_setup.h"

#include "settings/ini_file.h"
#include "settings/settings.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string saved(const std::string& path) {
    SaveINIFile(path.c_str());
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

void put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string dir = argv[1];
    fuzz_camera();
    reset_settings();
    const std::string plain = saved(dir + "/plain.tmp");
    std::remove((dir + "/plain.tmp").c_str());
    put(dir + "/defaults.ini", plain);
    put(dir + "/short.ini", plain.substr(0, plain.size() / 2));
    std::memset(cfg.FITS_Obj, 'O', sizeof cfg.FITS_Obj - 1);
    std::memset(cfg.FITS_His, 'H', sizeof cfg.FITS_His - 1);
    std::memset(cfg.auto_save_dir, 'D', sizeof cfg.auto_save_dir - 1);
    const std::string full = saved(dir + "/full.tmp");
    std::remove((dir + "/full.tmp").c_str());
    put(dir + "/full.ini", full);
    return 0;
}
