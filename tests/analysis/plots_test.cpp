// The histogram, 3-D relief and row profile drawings, the plot windows'
// guards and the blink window's steps.
#include "analysis/analysis_state.h"
#include "analysis/blink.h"
#include "analysis/plots.h"
#include "display/geometry.h"
#include "display/image_store.h"
#include "platform/messages.h"
#include "support/test_env.h"

#include <algorithm>
#include <string>

namespace {

// The bar of value i, if one is drawn.
const PlotLine* bar(const std::vector<PlotLine>& lines, int i) {
    for (const PlotLine& l : lines)
        if (l.colour != PlotColour::Blue && l.x1 == i + 8) return &l;
    return nullptr;
}

class PlotsTest : public NocterisTest {
  protected:
    std::uint32_t table[257] = {};
    char list[HIST_LIST_TEXT] = {};
};

} // namespace

TEST_F(PlotsTest, HistogramBarsAreCutAtTheTopAndListed) {
    table[40] = 1003;
    table[77] = 1060;
    table[78] = 4;
    const auto lines = histogram_lines(table, list, sizeof list);

    const PlotLine* grey = bar(lines, 40);
    ASSERT_NE(grey, nullptr);
    EXPECT_EQ(grey->colour, PlotColour::Grey);
    EXPECT_EQ(grey->y1, 210);
    EXPECT_EQ(grey->y2, 10) << "1003 / 5 = 200";

    const PlotLine* red = bar(lines, 77);
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->colour, PlotColour::Red);
    EXPECT_EQ(red->y2, 0) << "212 is cut to 210";
    EXPECT_EQ(bar(lines, 78), nullptr) << "4 pixels make no bar";
    EXPECT_STREQ(list, "val   count\n077    1060\n");
}

TEST_F(PlotsTest, HistogramListsOnlyTheFirstFifteenOverflowingValues) {
    for (int i = 100; i < 130; ++i) table[i] = 2000 + static_cast<std::uint32_t>(i);
    const auto lines = histogram_lines(table, list, sizeof list);
    std::string expected = "val   count\n";
    for (int i = 100; i < 115; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%03d  %6d\n", i, (2000 + i) / 5 * 5);
        expected += line;
    }
    EXPECT_EQ(list, expected);
    for (int i = 100; i < 130; ++i) EXPECT_EQ(bar(lines, i)->colour, PlotColour::Red) << i;

    // A short list buffer is cut, never overrun.
    char small[20];
    histogram_lines(table, small, sizeof small);
    EXPECT_EQ(std::string(small), expected.substr(0, sizeof small - 1));
}

TEST_F(PlotsTest, HistogramAxesAndTicks) {
    const auto lines = histogram_lines(table, list, sizeof list);
    ASSERT_EQ(lines.size(), 10u) << "an empty histogram draws only its axes";
    EXPECT_EQ(lines[0].x1, 5);
    EXPECT_EQ(lines[0].y1, 5);
    EXPECT_EQ(lines[0].y2, 213);
    EXPECT_EQ(lines[1].x2, 263);
    std::string ticks;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].colour, PlotColour::Blue);
        EXPECT_EQ(lines[i].y1, 213);
        ticks += std::to_string(lines[i].x1) + ":" + std::to_string(lines[i].y2) + " ";
    }
    EXPECT_EQ(ticks, "40:217 72:220 104:217 136:224 168:217 200:220 232:217 264:217 ");
    EXPECT_STREQ(list, "val   count\n");
}

TEST_F(PlotsTest, ReliefRowsReadTheImageWithItsOwnRowLength) {
    set_image_size(1392, 1040);
    std::fill(image, image + disp.intlength, 0);
    // Row 20, column 20: a fixed 752-pixel row would find it in row 37.
    image[20 * 1392 + 20] = 65535;
    int prev_b = 0;
    std::vector<PlotLine> row;
    relief_row(image, 20, prev_b, row);
    ASSERT_EQ(row.size(), 376u);
    const int x0 = 130 - 14;
    EXPECT_EQ(row[0].x1, x0);
    EXPECT_EQ(row[0].y1, 20 + 186);
    EXPECT_EQ(row[20].x2, x0 + 20);
    EXPECT_EQ(row[20].y2, 20 - 170 + 186) << "65535 / 384 = 170";
    EXPECT_EQ(row[20].colour, PlotColour::LightGrey);
    EXPECT_EQ(row[21].colour, PlotColour::Grey) << "falling back";
    EXPECT_EQ(row[21].y1, row[20].y2) << "one line through the columns";
    EXPECT_EQ(row[19].y2, 206);

    // The height carries over into the next row.
    prev_b = 5;
    row.clear();
    image[21 * 1392] = 5 * 384;
    relief_row(image, 21, prev_b, row);
    EXPECT_EQ(row[0].colour, PlotColour::Grey) << "equal to the last height";

    // Row 20's pixel is not read into any other row.
    for (int k = RELIEF_FIRST_ROW; k <= RELIEF_LAST_ROW; ++k) {
        if (k == 20) continue;
        row.clear();
        prev_b = 0;
        relief_row(image, k, prev_b, row);
        for (const PlotLine& l : row) ASSERT_GE(l.y2, k - 5 + 186) << k;
    }
}

TEST_F(PlotsTest, ReliefOfASmallImageStaysInsideIt) {
    set_image_size(100, 20);
    std::fill(image, image + 100 * 20, 384);
    std::fill(image + 100 * 20, image + 100 * 200, 65535); // beyond the image
    int prev_b = 0;
    std::vector<PlotLine> row;
    relief_row(image, 6, prev_b, row);
    EXPECT_EQ(row.size(), 100u) << "a row ends at the image's edge";
    for (const PlotLine& l : row) EXPECT_GE(l.y2, 6 - 1 + 186);
    row.clear();
    relief_row(image, 20, prev_b, row);
    EXPECT_TRUE(row.empty()) << "rows below the image draw nothing";
}

TEST_F(PlotsTest, PlotGuardsAndTheRowPlotRefusals) {
    EXPECT_TRUE(start_histogram());
    EXPECT_FALSE(start_histogram());

    image = image_int + 7;
    EXPECT_TRUE(start_intensity_plot());
    EXPECT_EQ(ana.externptr, image_int + 7) << "the plot keeps the image it opened on";
    EXPECT_FALSE(start_intensity_plot());
    EXPECT_FALSE(start_row_plot(0, 0)) << "silently, while the 3-D plot is open";
    EXPECT_TRUE(ui.boxes.empty());
    ana.intensity_plot = 0;

    EXPECT_FALSE(start_row_plot(1, 0));
    ana.photometry = 1;
    EXPECT_FALSE(start_row_plot(0, 0));
    ana.photometry = 0;
    EXPECT_FALSE(start_row_plot(0, 1));
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[0].text, message_text(47));
    EXPECT_EQ(ui.boxes[1].text, message_text(47));
    EXPECT_EQ(ui.boxes[2].text, message_text(48));
    EXPECT_EQ(ana.row_plot, 0);

    EXPECT_TRUE(start_row_plot(0, 0));
    EXPECT_EQ(ana.obj_y, 127);
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::UpArrow);
    EXPECT_FALSE(start_intensity_plot()) << "not with the row plot open";
    end_row_plot();
    EXPECT_EQ(ana.row_plot, 0);
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Arrow);
}

TEST_F(PlotsTest, RowProfileFollowsTheRow) {
    set_image_size(50, 30);
    for (int x = 0; x < 50; ++x) image[12 * 50 + x] = static_cast<unsigned short>(x * 1000);
    std::vector<PlotPoint> p;
    row_profile(image, 12, p);
    ASSERT_EQ(p.size(), 51u);
    EXPECT_EQ(p[0].x, 4);
    EXPECT_EQ(p[0].y, 198);
    EXPECT_EQ(p[1].x, 5);
    EXPECT_EQ(p[1].y, 198);
    EXPECT_EQ(p[50].x, 54);
    EXPECT_EQ(p[50].y, 198 - 49000 / 384);
    EXPECT_EQ(row_plot_frame().right, 200);
    row_profile(image, 30, p);
    EXPECT_TRUE(p.empty()) << "a row below the image";
    row_profile(image, -1, p);
    EXPECT_TRUE(p.empty());
}

TEST_F(PlotsTest, BlinkingTwiceReturnsToTheCurrentImage) {
    EXPECT_TRUE(start_blink());
    EXPECT_FALSE(start_blink());
    int next = 1;
    BlinkStep s = blink_press(next);
    EXPECT_STREQ(s.button, "Current Image");
    EXPECT_STREQ(s.caption, "Blinking:- Comparison");
    EXPECT_EQ(s.command, 926);
    s = blink_press(next);
    EXPECT_STREQ(s.button, "Comparison");
    EXPECT_STREQ(s.caption, "Blinking:- Current Image");
    EXPECT_EQ(s.command, 925);
    EXPECT_EQ(next, 1);
}
