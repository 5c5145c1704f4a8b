#include "display/geometry.h"

#include "display/image_store.h"
#include "display/sensor_state.h"

#include <cstring>

namespace {

int pad_to_record(int bytes) {
    return (2880 - bytes % 2880) % 2880;
}

void copy_name(char (&dst)[40], const char* src) {
    std::strncpy(dst, src, sizeof dst - 1);
    dst[sizeof dst - 1] = '\0';
}

} // namespace

void set_image_size(int w, int h) {
    disp.width1 = w;
    disp.height1 = h;
    disp.width2 = w - 1;
    disp.height2 = h - 1;
    disp.width3 = 2 * w;
    disp.width1_10 = 10 * w;
    disp.intlength = w * h;
    disp.width1f = w;
    disp.height1f = h;
    disp.height2f = h - 1;
    disp.intlength_f = static_cast<double>(w) * h;
    disp.process1 = (disp.intlength - disp.width1_10) / 16;
    disp.width4 = w;
    disp.height4 = h;
    disp.intlength4 = w * h * 2;
    disp.writefile16 = disp.divisor > 0 ? disp.intlength / disp.divisor : disp.intlength;
}

void derive_geometry(const SensorGeometry& s) {
    disp.divisor = static_cast<short>(s.divisor);
    disp.divisorx2 = 2 * s.divisor;
    set_image_size(s.width, s.height);
    disp.Pixwidth = s.pixwidth;
    disp.Pixheight = s.pixheight;
    disp.FITS_Pixwidth = s.pixwidth;
    disp.FITS_Pixheight = s.pixheight;
    copy_name(disp.BMPname_main, s.bmp_main);
    copy_name(disp.BMPname_focus, s.bmp_focus);
    copy_name(disp.BMPname_guide, s.bmp_guide);

    const int n = s.width * s.height;
    disp.filelen = 2 * n;
    disp.filelenbin = n / 2;
    disp.fullpadding = pad_to_record(2 * n);
    disp.binpadding = pad_to_record(n / 2);
    disp.filelenfit = 2 * n + 5760;
    disp.filelenfitbin = n / 2 + 5760;
    disp.filelenfitpad = disp.filelenfit + disp.fullpadding;
    disp.filelenfitbinpad = disp.filelenfitbin + disp.binpadding;
    disp.binned = 0;
}

void zq_geometry() {
    set_image_size(752, 580);
    // The older line's whole-image loops run four pixels past 752 x 580.
    disp.intlength = 436164;
    disp.intlength_f = 436164.0;
    disp.process1 = (disp.intlength - disp.width1_10) / 16;
    disp.writefile16 = 27260;
}

void nocteris_binned() {
    derive_geometry(camera_sensor());
    disp.focus_width1 = 64;
    disp.focus_height1 = 64;
}
