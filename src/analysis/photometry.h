#pragma once
#include "platform/ui.h"

#include <string>

// Photometry: square apertures placed on an object star, a comparison star
// and a background patch, their mean levels, the magnitude difference, and
// the object's signal-to-noise ratio from the CCD equation. The dialog and
// nocteris-cli both show what these compute.

// Control ids of the photometry window.
namespace ph_id {
constexpr int Finished = 2;
constexpr int Help = 9;
constexpr int Object = 101;
constexpr int Comparison = 102;
constexpr int Background = 103;
constexpr int ObjectX = 104, ObjectY = 105;
constexpr int ComparisonX = 106, ComparisonY = 107;
constexpr int BackgroundX = 108, BackgroundY = 109;
constexpr int ObjectValue = 110, ComparisonValue = 111, BackgroundValue = 112;
constexpr int MagnitudeDifference = 113;
constexpr int Pixels5 = 114, Pixels7 = 115, Pixels9 = 116;
constexpr int SinglePixel = 117, Pixels13 = 118, Pixels17 = 119;
constexpr int CursorX = 1018, CursorY = 1019, CursorValue = 1020;
} // namespace ph_id

// Sum of the 16-bit pixels of the square of half-size r around (x, y); the
// part of the square outside the image counts nothing.
long aperture_sum(const unsigned short* img, int x, int y, int r);

// Whether the square of half-size r around (x, y) lies inside the image.
bool aperture_inside(int x, int y, int r);

// The refusal of a click outside the image (message 50 with the position).
void report_outside(int x, int y);

// Command 14: refused with message 37 while merging or the row plot runs,
// 38 when the image is fitted to the window, 39 when photometry is on.
// Otherwise clears the measurements, sets the 9-pixel aperture, turns the
// mode on with the cross cursor and returns true.
bool start_photometry(int merging, int fit);
// "Finished": the mode ends and the cursor is the arrow again.
void end_photometry();

// "Object", "Comparison", "Background": what the next click records ('o',
// 'c', 'b'); the background also counts as chosen from then on.
void photometry_target(char which);

// The aperture half-size of an aperture button (0, 2, 3, 4, 6, 8), or -1.
int aperture_radius(int button_id);
// An aperture button: the new size, with the sums and positions cleared.
void photometry_aperture(int button_id);
// The aperture and target buttons the state selects.
int aperture_button();
int target_button();

// Records the aperture at `point` of `img` into the slot `ph_object` names.
// False, with the outside-image refusal, when the aperture leaves the image.
bool photometry_record(platform::Point point, const unsigned short* img);

// The text the window shows in field `id` (104-113, 1018-1020).
std::string photometry_field(int id);

// The CCD equation for an aperture of n pixels summing to `sum` counts on a
// background of `background` counts a pixel, estimated from
// `background_pixels` pixels (0: from so many that its own error does not
// count): signal S = g (sum - n B) electrons, noise^2 = S + n (1 + n / nB)
// (g B + R^2). Dark current is taken as subtracted.
struct SnrEstimate {
    bool valid = false; // a positive signal and sound camera values
    double signal = 0;  // electrons
    double noise = 0;   // electrons
    double snr = 0;
    double mag_error = 0; // 2.5 / ln 10 / snr
};
SnrEstimate ccd_snr(double sum, int n, double background, int background_pixels, double gain,
                    double read_noise);

// The object's estimate with the chosen background aperture, or with the
// image's background level `most_pop` when none is chosen, and the camera
// values `cfg.ccd_gain`, `cfg.ccd_read_noise`.
SnrEstimate photometry_snr();
// The estimate as the window shows it ("%.1f" and "%.3f"); empty when there
// is no valid estimate.
std::string snr_text(const SnrEstimate& e);
std::string mag_error_text(const SnrEstimate& e);

// A typed camera value: a finite number, above 0 for the gain, 0 or more for
// the read noise. False for anything else.
bool parse_ccd_value(const char* text, bool gain, double& out);
