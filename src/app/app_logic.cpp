#include "app/app_logic.h"

#include "analysis/analysis_state.h"
#include "analysis/photometry.h"
#include "devices/camera_models.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "platform/messages.h"
#include "processing/stacking.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "star/centroid.h"
#include "star/star_state.h"

#include <cstdio>

void startup_pattern() {
    for (int y = 0; y < disp.height1; ++y) {
        const auto v = static_cast<unsigned short>(y * 225);
        unsigned short* row = image_int + static_cast<long>(y) * disp.width1;
        for (int x = 0; x < disp.width1; ++x) {
            const long i = static_cast<long>(y) * disp.width1 + x;
            row[x] = v;
            trial[i] = v;
            undo[i] = v;
            dark[i] = v;
            save[i] = 0;
        }
    }
    for (int r = 0; r < 290; ++r)
        for (int c = 0; c < 500; ++c) {
            guider_image[r * 500 + c] = static_cast<unsigned short>(r * 200);
            guider_darkframe[r * 500 + c] = 0;
        }
}

void cm_pick_star(int fit) {
    if (fit) messages(35);
    guide.pick_star = !guide.pick_star;
    if (guide.pick_star) {
        guide.centre_it = 1;
        guide.cur_rad = cfg.star_mask;
        platform::ui().set_cursor(platform::CursorShape::Cross);
    }
}

void cm_focus_frame() {
    guide.focus_frame = 1;
    guide.centre_it = 0;
    platform::ui().set_cursor(platform::CursorShape::Cross);
}

namespace {

void show_position(int x, int y) {
    char text[64];
    std::snprintf(text, sizeof text, "x position = %5d\ny position = %5d", x, y);
    messages(50, text);
}

void place_focus_frame(int x, int y) {
    const int s = disp.binned ? 2 : 1;
    const int X = s * x;
    const int Y = s * y / 2;
    guide.focus_x = X < 67 ? 3 : (X > 686 ? 686 : X - 64);
    guide.focus_y = Y < 65 ? 1 : (Y > 226 ? 226 : Y - 64);
    guide.focus_frame = 0;
    show_position(guide.focus_x + 64, (guide.focus_y + 64) * 2);
}

} // namespace

ClickResult left_button_up(platform::Point& point) {
    if (!ana.photometry && !ana.row_plot && !stacking.merging && !guide.pick_star &&
        !guide.focus_frame)
        return ClickResult::Ignored;
    const unsigned short* img = image;
    image = image_int;

    const int m = guide.pick_star ? 3 : 0;
    const int r = guide.cur_rad;
    if (!guide.focus_frame && (point.x < r + m || point.x > disp.width2 - r - m ||
                               point.y < r + m || point.y > disp.height2 - r - m)) {
        report_outside(point.x, point.y);
        return ClickResult::Refused;
    }
    if (ana.row_plot) {
        ana.obj_y = point.y;
        return ClickResult::RowPlot;
    }
    if ((ana.photometry || guide.pick_star || guide.focus_frame) && guide.centre_it) {
        if (!snap_to_star(point, img)) return ClickResult::Done;
    }
    if (guide.focus_frame) {
        place_focus_frame(point.x, point.y);
        return ClickResult::Done;
    }
    guide.centre_it = 0;
    if (guide.pick_star) {
        guide.pick_star = 0;
        if (disp.binned) {
            guide.pick_small = guide.pick_star_small = 1;
            guide.xcent *= 2;
            guide.ycent *= 2;
        } else {
            guide.pick_small = guide.pick_star_small = 0;
        }
        guide.pick_xcent = guide.xcent;
        guide.pick_ycent = guide.ycent;
        guide.focus_frame = 0;
        show_position(guide.xcent, guide.ycent);
        return ClickResult::RepaintImage;
    }
    if (ana.photometry) {
        // A snapped point may have moved the aperture across the edge.
        if (!photometry_record(point, img)) return ClickResult::Refused;
        return ClickResult::Photometry;
    }
    merge_mark(point, img, r);
    return ClickResult::Merge;
}

ClickResult right_button_up(platform::Point& point) {
    if (!ana.photometry) return ClickResult::Ignored;
    guide.centre_it = 1;
    return left_button_up(point);
}

bool mouse_move(platform::Point point) {
    if (!ana.photometry) return false;
    if (point.x <= 1 || point.x >= disp.width2 || point.y <= 1 || point.y >= disp.height2)
        return false;
    ana.mast_x = point.x;
    ana.mast_y = point.y;
    ana.mast_val = image_int[static_cast<long>(point.y) * disp.width1 + point.x];
    return true;
}
