// Writes FITS files for the outside readers into the folder given, with the
// pixels as raw little-endian dumps and the header values we passed in
// expected.json:
//   u16.fit / u16.raw  256 x 256, every 16-bit value once, full details
//   zq.fit / zq.raw    752 x 580, data padded to a whole record, a dark frame
//   u8.fit             the 256 x 256 image as 8-bit data
//   plain.fit          empty texts, a manual save's short fields
#include "display/geometry.h"
#include "display/image_store.h"
#include "display/sensor_state.h"
#include "files/fits.h"
#include "settings/settings.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

void use_camera(int w, int h) {
    sensor.cam_width1 = w;
    sensor.cam_height1 = h;
    nocteris_binned();
}

bool write_fits(const std::string& path, int eightbit) {
    return SaveFITSFile(path.c_str(), image, cfg.FITS_Obj, cfg.FITS_Obs, fits.FITS_Date,
                        cfg.FITS_Tel, cfg.FITS_Ins, cfg.FITS_Com, cfg.FITS_His, eightbit) == 0;
}

void dump(const std::string& path) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image), 2L * disp.width1 * disp.height1);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fits_interop_writer FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    bind_buffers();
    sensor.cam_Pixwidth = 0.0068;
    sensor.cam_Pixheight = 0.0072;

    std::strcpy(cfg.FITS_Obj, "M 51 (Whirlpool)");
    std::strcpy(cfg.FITS_Obs, "O'Neil");
    std::strcpy(cfg.FITS_Tel, "C8");
    std::strcpy(cfg.FITS_Src, "Home");
    std::strcpy(cfg.FITS_Filter, "L");
    std::strcpy(fits.FITS_Date, "2024-05-06");
    std::strcpy(fits.FITS_Time, "23:59:01");
    std::strcpy(cfg.FITS_His, "Binned on the fly");
    std::strcpy(cfg.FITS_Com, "Thin cloud after midnight");
    std::strcpy(disp.process_info[0], "Dark frame subtracted");
    std::strcpy(disp.process_info[1], "Flat fielded");
    fits.FITS_Exptime = 240;
    cfg.FITS_Focallen = 80;
    cfg.FITS_Aperture = 50.27;
    cfg.FITS_Diff = 0; // DATE is then the local clock

    use_camera(256, 256);
    for (int i = 0; i < 65536; ++i) image[i] = static_cast<unsigned short>(i * 40503u);
    if (!write_fits(dir + "/u16.fit", 0) || !write_fits(dir + "/u8.fit", 1)) return 1;
    dump(dir + "/u16.raw");

    use_camera(752, 580);
    for (int i = 0; i < 752 * 580; ++i) image[i] = static_cast<unsigned short>(i % 65536);
    fits.image_type = ImageType::Dark;
    if (!write_fits(dir + "/zq.fit", 0)) return 1;
    fits.image_type = ImageType::Light;
    dump(dir + "/zq.raw");

    std::ofstream(dir + "/expected.json")
        << "{\n"
        << "  \"OBJECT\": \"M 51 (Whirlpool)\", \"OBSERVER\": \"O'Neil\", \"TELESCOP\": \"C8\",\n"
        << "  \"INSTRUME\": \"Veltrane CCD\", \"ORIGIN\": \"Home\", \"FILTER\": \"L\",\n"
        << "  \"DATE-OBS\": \"2024-05-06\", \"TIME-OBS\": \"23:59:01\",\n"
        << "  \"PIXWIDTH\": 0.0068, \"PIXHEIGH\": 0.0072, \"EXPTIME\": 240,\n"
        << "  \"FOCALLEN\": 80, \"APERTURE\": 50.27, \"SATURATE\": 32768,\n"
        << "  \"XPIXSZ\": 6.8, \"YPIXSZ\": 7.2, \"XBINNING\": 1, \"YBINNING\": 1,\n"
        << "  \"IMAGETYP\": {\"u16\": \"Light\", \"zq\": \"Dark\"},\n"
        << "  \"HISTORY\": [\"Dark frame subtracted\", \"Flat fielded\", \"Binned on the fly\"],\n"
        << "  \"COMMENT\": [\"Thin cloud after midnight\"]\n"
        << "}\n";

    // Empty texts everywhere but the date, as a first manual save has them.
    std::memset(disp.process_info, 0, sizeof disp.process_info);
    for (char* t : {cfg.FITS_Obj, cfg.FITS_Obs, cfg.FITS_Tel, cfg.FITS_Src, cfg.FITS_His,
                    cfg.FITS_Com, fits.FITS_Time})
        t[0] = '\0';
    return write_fits(dir + "/plain.fit", 0) ? 0 : 1;
}
