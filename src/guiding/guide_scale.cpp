#include "guiding/guide_scale.h"

#include "devices/camera_models.h"
#include "platform/host_path.h"
#include "star/star_state.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr double ARCSEC_PER_RADIAN = 206264.806;

double held(double mm) {
    return std::clamp(mm, MIN_FOCAL_LENGTH_MM, MAX_FOCAL_LENGTH_MM);
}

} // namespace

double guide_focal_length_mm() {
    std::FILE* f = std::fopen(platform::host_path(OPTICS_FILE).c_str(), "r");
    if (!f) return DEFAULT_FOCAL_LENGTH_MM;
    double mm = 0;
    const bool ok = std::fscanf(f, "focal_length_mm=%lf", &mm) == 1;
    std::fclose(f);
    return ok && mm > 0 ? held(mm) : DEFAULT_FOCAL_LENGTH_MM;
}

bool set_guide_focal_length_mm(double mm) {
    const std::string path = platform::host_path(OPTICS_FILE);
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    const bool ok = std::fprintf(f, "focal_length_mm=%.1f\n", held(mm)) > 0;
    return std::fclose(f) == 0 && ok;
}

double guide_arcsec_per_pixel() {
    const CameraModel* m = camera_model(cam.cam_type);
    if (!m || m->pixel_mm <= 0) return 0;
    const double bin = guide.bin_focus_frame ? 2 : 1;
    return m->pixel_mm * bin / guide_focal_length_mm() * ARCSEC_PER_RADIAN;
}

double guider_arcsec_per_pixel() {
    return GUIDER_PIXEL_MM / guide_focal_length_mm() * ARCSEC_PER_RADIAN;
}
