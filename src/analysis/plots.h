#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The drawings of the histogram, the 3-D plot and the row plot, as lines at
// the windows' own fixed coordinates. The windows only draw what these give,
// so the drawings are tested without a display.

// The fixed colours the plots use.
enum class PlotColour { Black, White, Red, Blue, Grey, LightGrey };

struct PlotLine {
    int x1, y1, x2, y2;
    PlotColour colour;
};

struct PlotPoint {
    int x, y;
};

struct PlotRect {
    int left, top, right, bottom;
};

// ---------------------------------------------------------------- histogram

constexpr int HIST_BAR_BASE = 210;   // bars rise from this line
constexpr int HIST_BAR_MAX = 210;    // taller bars are cut here and drawn red
constexpr int HIST_COUNT_STEP = 5;   // pixels of one value per bar pixel
constexpr int HIST_OVER_LISTED = 15; // overflowing values listed beside it
constexpr PlotRect HIST_LIST_RECT{270, 2, 350, 270};
constexpr int HIST_PLOT_WIDTH = 352;
constexpr int HIST_PLOT_HEIGHT = 272;

// The axes and ticks in blue, then a bar for each display value 0..255 of
// `table`: grey, or red and cut when it is too tall. Empty bars draw nothing.
// The list of the first overflowing values goes to `list` (always ended).
std::vector<PlotLine> histogram_lines(const std::uint32_t* table, char* list,
                                      std::size_t list_size);

// Command 6's guard: true when the window may open (and is now marked open).
bool start_histogram();

// ---------------------------------------------------------------- 3-D plot

constexpr int RELIEF_WIDTH = 644;
constexpr int RELIEF_HEIGHT = 384;
constexpr int RELIEF_FIRST_ROW = 6;
constexpr int RELIEF_LAST_ROW = 127;
constexpr int RELIEF_COLUMNS = 376;
constexpr int RELIEF_START_X = 130; // the first row's left end; one less a row
constexpr int RELIEF_BASE_Y = 186;  // row k stands on y = k + 186
constexpr int RELIEF_LEVEL = 384;   // counts per pixel of height

// Row k of the relief of `img`: a line from the row's foot through the
// height of each column, light grey where it climbs above the height before
// it, else grey. `prev_b` carries that height from column to column and from
// row to row (0 at the start). The patch is addressed with the image's own
// row length; only pixels inside the image are read.
void relief_row(const unsigned short* img, int k, int& prev_b, std::vector<PlotLine>& out);

// Command 15's guard: the 3-D plot opens only when neither plot is open.
bool start_intensity_plot();

// ---------------------------------------------------------------- row plot

constexpr int ROW_PLOT_BASE = 198;
constexpr int ROW_PLOT_EXTRA = 150; // the frame reaches width1 + 150
constexpr int ROW_PLOT_HEIGHT = 201;

// The white frame of the row plot, (2, 2) to (width1 + 150, 200).
PlotRect row_plot_frame();

// The profile of `row` of `img`: from (4, 198) through (j + 5, 198 - pixel /
// 384) for every column j. A row outside the image gives no points.
void row_profile(const unsigned short* img, int row, std::vector<PlotPoint>& points);

// Command 16's rules: refused with message 47 while merging or photometry
// runs, silently while a plot is open, with message 48 when the image is
// fitted to the window. On success the row plot mode is on at row 127, with
// the up-arrow cursor.
bool start_row_plot(int merging, int fit);
// Finished: the mode ends and the cursor is the arrow again.
void end_row_plot();
