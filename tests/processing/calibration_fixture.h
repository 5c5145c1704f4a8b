#pragma once
#include "display/geometry.h"
#include "display/image_store.h"
#include "display/sensor_state.h"
#include "platform/messages.h"
#include "processing/calibration.h"
#include "processing/stacking.h"
#include "support/test_env.h"

#include <algorithm>
#include <string>
#include <vector>

// Calibration and stacking tests: fresh caches and merge state, a geometry of
// the test's choosing, and operand files written in the native format.
class CalibrationFixture : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        reset_calibration_state();
        reset_stack_state();
    }

    // A camera of w x h: the geometry and the recognised file lengths.
    void use_camera(int w, int h) {
        sensor.cam_width1 = w;
        sensor.cam_height1 = h;
        nocteris_binned();
    }
    // Only the image size (for routines that never read files).
    void use_size(int w, int h) {
        set_image_size(w, h);
        disp.binned = 0;
    }
    int pixels() const { return disp.width1 * disp.height1; }
    unsigned short& at(unsigned short* buf, int x, int y) { return buf[y * disp.width1 + x]; }

    // Writes a native file (least significant byte first) into the home
    // folder; returns its host path.
    std::string native_file(const std::string& name, const std::vector<unsigned short>& px) {
        std::string bytes;
        for (unsigned short v : px) {
            bytes += static_cast<char>(v & 0xFF);
            bytes += static_cast<char>(v >> 8);
        }
        const std::string path = home + "/" + name;
        write_file(path, bytes);
        return path;
    }
    // The next file dialog picks `path`.
    void pick(const std::string& path) {
        platform::FileDialogResult r;
        r.accepted = true;
        r.path = path;
        ui.file_answers.push_back(r);
    }
    std::vector<unsigned short> current(const unsigned short* buf) const {
        return {buf, buf + pixels()};
    }
    std::vector<std::string> shown() const {
        std::vector<std::string> out;
        for (const auto& b : ui.boxes) out.push_back(b.text);
        return out;
    }
    static std::vector<std::string> said(short code) { return {message_text(code)}; }
};

// Pixel values that differ from pixel to pixel and stay away from 0 and 65535.
inline std::vector<unsigned short> pattern(int n, int seed, int lo = 100, int span = 20000) {
    std::vector<unsigned short> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = static_cast<unsigned short>(lo + (i * 7919LL + seed * 104729LL) % span);
    return v;
}
