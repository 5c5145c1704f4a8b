// Writes the fuzz targets' starting corpus into the folder given: files of
// the fuzz camera as the program saves them, in their variants (a damaged
// frame's among them), and the start of a 752 x 580 file for the comparison
// loader.
#include "fuzz_setup.h"

#include "files/fits.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

void put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void set_card(std::string& f, int n, const std::string& text) {
    std::string c = text;
    c.resize(80, ' ');
    f.replace((n - 1) * 80, 80, c);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    fuzz_camera();
    for (int i = 0; i < FUZZ_WIDTH * FUZZ_HEIGHT; ++i)
        image[i] = static_cast<unsigned short>(i * 977);
    std::snprintf(disp.process_info[0], sizeof disp.process_info[0], "Dark subtracted");
    if (SaveFITSFile((dir + "/saved.fit").c_str(), image, "M1", "Me", "2024-01-01", "C8",
                     "Veltrane CCD", "a comment", "a history", 0) != 0)
        return 1;
    const std::string saved = slurp(dir + "/saved.fit");

    std::string old = saved; // the older layout
    set_card(old, 36, "BZERO   =   +3.2767000000E+04");
    put(dir + "/old.fit", old);
    std::string plain = saved; // unsigned data
    set_card(plain, 36, "BZERO   =   +0.0000000000E+00");
    put(dir + "/unsigned.fit", plain);
    std::string half = saved; // half the width and height
    set_card(half, 4, "NAXIS1  =                   12 /");
    set_card(half, 5, "NAXIS2  =                    8 /");
    put(dir + "/half.fit", half.substr(0, 5760 + 192));

    // A damaged frame: its note stands before END.
    std::snprintf(disp.damage_note, sizeof disp.damage_note, "Incomplete readout: 100 of %d bytes",
                  2 * FUZZ_WIDTH * FUZZ_HEIGHT);
    if (SaveFITSFile((dir + "/damaged.fit").c_str(), image, "M1", "Me", "2024-01-01", "C8",
                     "Veltrane CCD", "", "", 0) != 0)
        return 1;
    disp.damage_note[0] = '\0';

    // 752 x 580 headers for the comparison loader; the length picks the
    // file size, multiples of 4 the full-frame FITS one.
    std::string zq = saved.substr(0, 8000);
    set_card(zq, 4, "NAXIS1  =                  752 /");
    set_card(zq, 5, "NAXIS2  =                  580 /");
    put(dir + "/zq.fit", zq);
    std::string zq_bin = saved.substr(0, 8001);
    set_card(zq_bin, 4, "NAXIS1  =                  376 /");
    set_card(zq_bin, 5, "NAXIS2  =                  290 /");
    put(dir + "/zq_bin.fit", zq_bin);
    return 0;
}
