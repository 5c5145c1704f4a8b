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

    const FileLengths len = file_lengths(s.width, s.height);
    disp.filelen = len.native;
    disp.filelenbin = len.native_binned;
    disp.fullpadding = len.fits_padded - len.fits;
    disp.binpadding = len.fits_binned_padded - len.fits_binned;
    disp.filelenfit = len.fits;
    disp.filelenfitbin = len.fits_binned;
    disp.filelenfitpad = len.fits_padded;
    disp.filelenfitbinpad = len.fits_binned_padded;
    disp.binned = 0;
}

FileLengths file_lengths(int width, int height) {
    const int n = width * height;
    FileLengths len;
    len.native = 2 * n;
    len.native_binned = n / 2;
    len.fits = 2 * n + 5760;
    len.fits_binned = n / 2 + 5760;
    len.fits_padded = len.fits + pad_to_record(2 * n);
    len.fits_binned_padded = len.fits_binned + pad_to_record(n / 2);
    return len;
}

void zq_geometry() {
    set_image_size(ZQ_WIDTH, ZQ_HEIGHT);
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

void image_geometry(int w, int h) {
    nocteris_binned();
    if (w != disp.width1 || h != disp.height1) set_image_size(w, h);
}
