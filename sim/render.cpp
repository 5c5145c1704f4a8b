#include "sim/render.h"

#include "platform/usb_ids.h"
#include "sim/psf.h"
#include "sim/random.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace sim {

namespace {

constexpr double DEG = M_PI / 180.0;

// Model 1's even and odd columns sit at levels that change from row to row;
// its reference columns carry the same levels so the host can take them off.
double pair_level(int row, int parity, double amplitude) {
    if (amplitude == 0) return 0;
    return parity ? -amplitude * std::cos(row / 53.0) : amplitude * std::sin(row / 37.0);
}

} // namespace

Renderer::Renderer(const SensorModel& s) : s_(s) {
    cos_a_ = std::cos(s_.angle_deg * DEG);
    sin_a_ = std::sin(s_.angle_deg * DEG);
    Rng rng(hash_combine(s_.seed, 0x5EB5));
    const long n = std::lround(s_.hot_fraction * s_.width * s_.height);
    for (long i = 0; i < n; ++i) {
        Hot h;
        h.x = static_cast<int>(rng.uniform() * s_.width);
        h.y = static_cast<int>(rng.uniform() * s_.height);
        // Hot pixels run from warm to glaring: 50 to 5000 times the dark current.
        h.rate = static_cast<float>(std::max(s_.dark_rate, 0.01) * 50.0 *
                                    std::pow(100.0, rng.uniform()));
        hot_.push_back(h);
    }
    column_bias_.resize(s_.width);
    for (auto& c : column_bias_)
        c = static_cast<float>(s_.bias + rng.normal() * (s_.eight_bit ? 0.3 : 2.0));
}

void Renderer::project(const View& v, double x, double y, double* px, double* py) const {
    // East is to the left and north up when the camera angle is 0.
    const double u0 = -(x - v.xi), v0 = -(y - v.eta);
    const double u = u0 * cos_a_ - v0 * sin_a_ + v.ao_x;
    const double w = u0 * sin_a_ + v0 * cos_a_ + v.ao_y;
    *px = (u - s_.centre_x) / s_.scale + s_.width / 2.0;
    *py = (w - s_.centre_y) / s_.scale + s_.height / 2.0;
}

void Renderer::unproject(const View& v, double px, double py, double* x, double* y) const {
    const double u = (px - s_.width / 2.0) * s_.scale + s_.centre_x - v.ao_x;
    const double w = (py - s_.height / 2.0) * s_.scale + s_.centre_y - v.ao_y;
    const double u0 = u * cos_a_ + w * sin_a_;
    const double v0 = -u * sin_a_ + w * cos_a_;
    *x = v.xi - u0;
    *y = v.eta - v0;
}

void Renderer::render(const World& world, StarField& sky, const SkyConfig& sky_cfg,
                      const Window& win, const Exposure& exp, std::vector<std::uint8_t>& out) {
    const int ow = std::max(win.out_w(), 0), oh = std::max(win.out_h(), 0);
    const int bx = std::max(win.bx, 1), by = std::max(win.by, 1);
    const std::size_t npix = static_cast<std::size_t>(ow) * oh;
    out.resize(npix * (s_.eight_bit ? 1 : 2));
    acc_.assign(npix, 0.0f);
    if (npix == 0) return;

    Rng rng(exp.noise_seed);
    double light_s = 0;
    for (const auto& [a, b] : exp.light) light_s += std::max(0.0, b - a);

    // Star light: sample the pointing across the exposure; a still pointing
    // needs one sample, a moving one enough samples to draw the trail.
    if (light_s > 0 && sky_cfg.density > 0) {
        auto time_at = [&](double frac) { // frac of the light time -> clock time
            double left = frac * light_s;
            for (const auto& [a, b] : exp.light) {
                const double len = std::max(0.0, b - a);
                if (left <= len) return a + left;
                left -= len;
            }
            return exp.light.back().second;
        };
        constexpr int PROBES = 64;
        double minx = 1e300, maxx = -1e300, miny = 1e300, maxy = -1e300;
        int slewing = 0;
        double defocus = 0;
        for (int i = 0; i < PROBES; ++i) {
            const View v = world.view(time_at((i + 0.5) / PROBES));
            if (v.slewing) ++slewing;
            defocus += std::abs(v.defocus) / PROBES;
            double px, py;
            project(v, 0, 0, &px, &py);
            minx = std::min(minx, px), maxx = std::max(maxx, px);
            miny = std::min(miny, py), maxy = std::max(maxy, py);
        }
        const double spread = std::max(maxx - minx, maxy - miny);
        const int samples =
            slewing == PROBES ? 0 : std::clamp(static_cast<int>(spread / 0.5) + 1, 1, 64);
        // Seeing moves short exposures about; long ones average it out.
        const double jitter = 0.12 * sky_cfg.seeing / std::sqrt(1.0 + light_s / 0.5);
        const double jx = rng.normal() * jitter / s_.scale, jy = rng.normal() * jitter / s_.scale;
        const double blur = world.mount().defocus_blur * defocus;
        const double fwhm = std::sqrt(sky_cfg.seeing * sky_cfg.seeing + blur * blur) / s_.scale;
        const double alpha = moffat_alpha(std::max(fwhm, 0.3));
        for (int k = 0; k < samples; ++k) {
            const View v = world.view(time_at((k + 0.5) / samples));
            if (v.slewing) continue;
            // The part of the sky that can reach the window.
            const double margin = 80.0 + 2;
            double xs[4], ys[4];
            const double cx[4] = {win.x - margin, win.x + win.w + margin, win.x - margin,
                                  win.x + win.w + margin};
            const double cy[4] = {win.y - margin, win.y - margin, win.y + win.h + margin,
                                  win.y + win.h + margin};
            for (int c = 0; c < 4; ++c) unproject(v, cx[c], cy[c], &xs[c], &ys[c]);
            stars_.clear();
            sky.stars_in(world.field(v.field).seed, *std::min_element(xs, xs + 4),
                         *std::min_element(ys, ys + 4), *std::max_element(xs, xs + 4),
                         *std::max_element(ys, ys + 4), stars_);
            const double seconds = light_s / samples * exp.transmission;
            for (const Star& st : stars_) {
                double px, py;
                project(v, st.x, st.y, &px, &py);
                px += jx, py += jy;
                add_star(acc_.data(), ow, oh, (px - win.x) / bx, (py - win.y) / by,
                         st.flux * seconds, alpha, bx, by);
            }
        }
    }

    // Reference columns are masked from the light.
    for (int ox = 0; ox < ow; ++ox) {
        if (win.x + ox * bx >= s_.reference_columns) break;
        for (int oy = 0; oy < oh; ++oy) acc_[static_cast<std::size_t>(oy) * ow + ox] = 0;
    }

    // Hot pixels.
    for (const Hot& h : hot_) {
        if (h.x < win.x || h.y < win.y) continue;
        const int ox = (h.x - win.x) / bx, oy = (h.y - win.y) / by;
        if (ox >= ow || oy >= oh) continue;
        acc_[static_cast<std::size_t>(oy) * ow + ox] +=
            static_cast<float>(h.rate * exp.dark_seconds);
    }

    // Background, dark current, noise and the conversion to counts.
    const double area = static_cast<double>(bx) * by;
    const double sky_e =
        sky_cfg.background * s_.scale * s_.scale * light_s * exp.transmission * area;
    const double dark_e = s_.dark_rate * exp.dark_seconds * area;
    const double rn2 = s_.read_noise * s_.read_noise;
    const double well = s_.full_well * area;
    const double inv_gain = 1.0 / s_.gain;
    const double maxv = s_.eight_bit ? 255.0 : 65535.0;
    FastNormal noise(hash_combine(exp.noise_seed, 0x4015E));
    // Most pixels get sky and dark current only: their noise is worked out once.
    const double plain = std::min(sky_e + dark_e, well), masked_e = std::min(dark_e, well);
    const float plain_sd = static_cast<float>(std::sqrt(plain + rn2));
    const float masked_sd = static_cast<float>(std::sqrt(masked_e + rn2));
    const float fmax = static_cast<float>(maxv), fgain = static_cast<float>(inv_gain);
    for (int oy = 0; oy < oh; ++oy) {
        const int sy = win.y + oy * by;
        const bool row_on = sy >= 0 && sy < s_.height;
        const float even = static_cast<float>(pair_level(sy, 0, s_.column_pair_level));
        const float odd = static_cast<float>(pair_level(sy, 1, s_.column_pair_level));
        const float* a = acc_.data() + static_cast<std::size_t>(oy) * ow;
        std::uint8_t* o = out.data() + static_cast<std::size_t>(oy) * ow * (s_.eight_bit ? 1 : 2);
        for (int ox = 0; ox < ow; ++ox) {
            const int sx = win.x + ox * bx;
            float v = 0;
            if (row_on && sx >= 0 && sx < s_.width) {
                const bool masked = sx < s_.reference_columns;
                float e, sd;
                if (a[ox] == 0.0f) {
                    e = static_cast<float>(masked ? masked_e : plain);
                    sd = masked ? masked_sd : plain_sd;
                } else {
                    e = static_cast<float>(
                        std::min((masked ? dark_e : sky_e + dark_e) + a[ox], well));
                    sd = std::sqrt(e + static_cast<float>(rn2));
                }
                const float level = bx == 1 ? ((sx & 1) ? odd : even) : (even + odd) * 0.5f;
                v = column_bias_[sx] + level + (e + sd * noise.next()) * fgain + 0.5f;
                v = v < 0 ? 0 : (v > fmax ? fmax : v);
            }
            const auto iv = static_cast<unsigned>(v);
            if (s_.eight_bit) {
                o[ox] = static_cast<std::uint8_t>(iv);
            } else {
                o[2 * ox] = static_cast<std::uint8_t>(iv & 0xFF);
                o[2 * ox + 1] = static_cast<std::uint8_t>(iv >> 8);
            }
        }
    }
}

ModelSpec model_for_pid(const std::string& pid) {
    int code = 7; // an unlisted camera looks like the fallback model
    for (const auto& row : usb_ids::MODEL_TABLE)
        if (pid == row.pid) code = row.cam_type;
    ModelSpec m;
    m.code = code;
    switch (code) {
    case 1:
        m.width = 1312, m.height = 1024, m.pixel_um = 6.45, m.reference_columns = 16;
        break;
    case 8:
        m.width = 2456, m.height = 2064, m.pixel_um = 3.45, m.gain = 0.35, m.full_well = 20000;
        break;
    case 3:
    case 4:
    case 5:
    case 6:
        m.width = 1312, m.height = 1024, m.pixel_um = 10.4, m.gain = 2.0, m.full_well = 120000;
        m.shutter = code == 4;
        break;
    default:
        m.width = 1392, m.height = 1040, m.pixel_um = 6.45;
        break;
    }
    return m;
}

std::string pid_for_model(int code) {
    for (const auto& row : usb_ids::MODEL_TABLE)
        if (row.cam_type == code) return row.pid;
    return usb_ids::DEFAULT_CAMERA_PID;
}

} // namespace sim
