// The contrast stretches on the image buffers: tables, the apply step, the
// label band, undo and the history.
#include "display/geometry.h"
#include "display/history.h"
#include "display/image_store.h"
#include "processing/processing_state.h"
#include "processing/stretch.h"
#include "support/test_env.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using Pixels = std::vector<unsigned short>;

class StretchTest : public NocterisTest {
  protected:
    void SetUp() override {
        NocterisTest::SetUp();
        // The window's handler of 888 applies the table just built.
        ui.on_command = [](int id) {
            if (id == 888) cm_contrast_stretch();
        };
        size(64, 40);
    }

    void size(int w, int h) {
        set_image_size(w, h);
        // Sentinels just past the image: nothing may write there.
        std::fill(image_int + n(), image_int + n() + 64, 4321);
    }
    static int n() { return disp.intlength; }

    // Values over the whole range, 0 first and 65535 last, no label marker.
    void random_image(unsigned seed = 1) {
        std::mt19937 gen(seed);
        for (int i = 0; i < n(); ++i) image_int[i] = static_cast<unsigned short>(gen());
        image_int[0] = 0;
        image_int[n() - 1] = 65535;
        if (image_int[4] + image_int[5] == 34) image_int[5] = 1000;
    }
    static Pixels pixels() { return {image_int, image_int + n()}; }

    static std::vector<std::string> history() {
        std::vector<std::string> out;
        for (int i = 0; i < HISTORY_USED && disp.process_info[i][0]; ++i)
            out.emplace_back(disp.process_info[i]);
        return out;
    }

    static void expect_sentinels() {
        for (int i = 0; i < 64; ++i) ASSERT_EQ(image_int[n() + i], 4321) << "past the image";
    }
};

unsigned short cleared(unsigned short v) {
    return static_cast<unsigned short>(v & ~1u);
}

// Each menu stretch with the settings its command would use.
const std::vector<std::pair<const char*, std::function<void()>>> every_stretch = {
    {"normal",
     [] {
         proc.black = 20;
         proc.white = 200;
         ContrastNormal();
     }},
    {"power",
     [] {
         proc.power_str = 1.7;
         ContrastPower();
     }},
    {"sine", ContrastSine},
    {"background",
     [] {
         disp.most_pop = 40;
         ContrastBackground();
     }},
    {"log", logstretch},
    {"antilog", antilog},
    {"invert", ContrastInvert},
    {"non-linear",
     [] {
         tolvern(18.0);
         contrast_stretch(1);
     }},
};

} // namespace

TEST_F(StretchTest, InvertTwiceClearsOnlyTheLowestBit) {
    random_image();
    const Pixels before = pixels();
    ContrastInvert();
    EXPECT_EQ(image_int[0], 65534);
    EXPECT_EQ(image_int[n() - 1], 0);
    ContrastInvert();
    for (int i = 0; i < n(); ++i) ASSERT_EQ(image_int[i], cleared(before[i])) << i;
    EXPECT_EQ(ui.commands, std::vector<int>({888, 888}));
    EXPECT_EQ(history(),
              std::vector<std::string>({"Invert Image to Negative", "Invert Image to Negative"}));
    expect_sentinels();
}

TEST_F(StretchTest, NormalStretchLimits) {
    random_image();
    const Pixels before = pixels();
    proc.black = 0;
    proc.white = 255;
    ContrastNormal();
    for (int i = 0; i < n(); ++i)
        ASSERT_EQ(image_int[i], before[i] < 65280 ? cleared(before[i]) : 65534) << before[i];

    // Levels 10..100 spread over 0 to just under 65280; outside they clip.
    proc.black = 10;
    proc.white = 100;
    ContrastNormal();
    const auto& t = proc.stretch_table;
    EXPECT_EQ(t[1280], 0);
    EXPECT_GT(t[1281], 0);
    EXPECT_GT(t[12799], 32600);
    EXPECT_LT(t[12799], 32640);
    EXPECT_EQ(t[12800], 32767);
    EXPECT_TRUE(std::is_sorted(t, t + STRETCH_TABLE_SIZE));

    // White above 255 darkens everything: nothing reaches the top.
    proc.black = 0;
    proc.white = 300;
    ContrastNormal();
    EXPECT_EQ(t[32767], 32767 * 255 / 300);
    EXPECT_EQ(history(), std::vector<std::string>({"Normal Stretch : max 255 ,min 0",
                                                   "Normal Stretch : max 100 ,min 10",
                                                   "Normal Stretch : max 300 ,min 0"}));
}

TEST_F(StretchTest, CurveEnds) {
    random_image();
    const Pixels before = pixels();
    antilog();
    // The brightest values reach the top instead of wrapping to small ones.
    for (int i = 0; i < n(); ++i) {
        if (before[i] >= 65524) {
            ASSERT_EQ(image_int[i], 65534) << before[i];
        } else if (before[i] < 65522) {
            ASSERT_LT(image_int[i], 65522) << before[i];
        }
    }
    const auto& t = proc.stretch_table;
    EXPECT_EQ(t[32761], 32760);
    logstretch();
    EXPECT_EQ(t[32767], 32761);
    ContrastSine();
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[16384], 16383);
    EXPECT_EQ(t[32767], 32765);
    proc.power_str = 2.0;
    ContrastPower();
    EXPECT_EQ(t[16384], 8192);
    proc.power_str = 0.5;
    ContrastPower();
    EXPECT_EQ(t[32767], 32767);
    proc.power_str = 1.0;
    ContrastPower();
    for (int i = 0; i < STRETCH_TABLE_SIZE; ++i) ASSERT_EQ(t[i], i);
    EXPECT_EQ(history(), std::vector<std::string>({"Anti-Log Stretch", "Log Stretch",
                                                   "Sine Stretch", "Power Stretch : 2.0",
                                                   "Power Stretch : 0.5", "Power Stretch : 1.0"}));
}

TEST_F(StretchTest, NonLinearCurveBuildsWithoutApplying) {
    random_image();
    const Pixels before = pixels();
    const auto& t = proc.stretch_table;
    tolvern(1.0);
    for (int i = 0; i < STRETCH_TABLE_SIZE; ++i) ASSERT_EQ(t[i], i);
    tolvern(18.9);
    EXPECT_EQ(pixels(), before);
    EXPECT_TRUE(ui.commands.empty());
    EXPECT_EQ(t[32767], 32767);
    EXPECT_GT(t[1024], 10 * 1024); // the faint end is lifted hard
    EXPECT_TRUE(std::is_sorted(t, t + STRETCH_TABLE_SIZE));
    EXPECT_EQ(history(), std::vector<std::string>(
                             {"Non-Linear Stretch : power 1", "Non-Linear Stretch : power 18"}));
    // A stored user power can be anything; the table stays inside 0..32767.
    for (double p : {0.0, -1.0, -1e300, 1e300, std::nan("")}) {
        tolvern(p);
        EXPECT_LE(*std::max_element(t, t + STRETCH_TABLE_SIZE), 32767) << p;
    }
}

TEST_F(StretchTest, RemoveBackground) {
    random_image();
    const Pixels before = pixels();
    disp.most_pop = 3;
    ContrastBackground();
    for (int i = 0; i < n(); ++i) {
        if (before[i] < 256) {
            ASSERT_EQ(image_int[i], 0) << before[i];
        } else if (before[i] >= 258) {
            ASSERT_GT(image_int[i], 0) << before[i];
        }
    }
    EXPECT_EQ(history(), std::vector<std::string>({"Background Removed : min 1"}));

    // Too dark a background: no table, no apply, no history line.
    std::copy(before.begin(), before.end(), image_int);
    std::fill(proc.stretch_table, proc.stretch_table + STRETCH_TABLE_SIZE, 77);
    ui.commands.clear();
    disp.most_pop = 2;
    ContrastBackground();
    EXPECT_FALSE(DoContrastBackGround(1));
    EXPECT_EQ(pixels(), before);
    EXPECT_TRUE(ui.commands.empty());
    EXPECT_EQ(proc.stretch_table[32767], 77);
    EXPECT_EQ(history().size(), 1u);

    // The automatic form: the same table and line, applied only when asked.
    disp.most_pop = 100;
    EXPECT_TRUE(DoContrastBackGround(0));
    EXPECT_EQ(pixels(), before);
    EXPECT_EQ(proc.stretch_table[128 * 98 + 128], 207);
    EXPECT_EQ(history().back(), "Background Removed : min 98");
    EXPECT_TRUE(DoContrastBackGround(1));
    EXPECT_EQ(image_int[n() - 1], 65534);
}

TEST_F(StretchTest, LabelBandSurvivesEveryStretch) {
    for (const auto& [name, stretch] : every_stretch) {
        SCOPED_TRACE(name);
        random_image(7);
        image_int[4] = 30;
        image_int[5] = 4; // the label marker: 30 + 4 = 34
        const Pixels before = pixels();
        stretch();
        EXPECT_TRUE(std::equal(before.begin(), before.begin() + disp.width1_10, image_int));
        int changed = 0;
        for (int i = disp.width1_10; i < n(); ++i) changed += image_int[i] != before[i];
        EXPECT_GT(changed, (n() - disp.width1_10) / 2);
    }
}

TEST_F(StretchTest, ProgressUndoAndHistory) {
    random_image();
    const Pixels before = pixels();
    ContrastInvert();
    EXPECT_EQ(ui.progress_captions, std::vector<std::string>({"CONTRAST STRETCH"}));
    std::vector<int> steps = {0};
    for (int k = 1; k <= 16; ++k) steps.push_back(16 * k);
    EXPECT_EQ(ui.progress_values, steps);
    EXPECT_FALSE(ui.progress_shown);
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Arrow);

    // Undo (as the window does it) restores the image and drops the line.
    restore_image();
    remove_last_history();
    EXPECT_EQ(pixels(), before);
    EXPECT_TRUE(history().empty());
    // With no line to drop the history stays as it is.
    contrast_stretch(0);
    restore_image();
    remove_last_history();
    EXPECT_EQ(pixels(), before);
    EXPECT_TRUE(history().empty());

    // Fifteen lines in use: the sixteenth stretch still works but leaves no line,
    // and undo keeps all fifteen.
    for (int k = 0; k < 15; ++k) ContrastInvert();
    const Pixels fifteen = pixels();
    proc.power_str = 2.0;
    ContrastPower();
    EXPECT_NE(pixels(), fifteen);
    restore_image();
    remove_last_history();
    EXPECT_EQ(pixels(), fifteen);
    EXPECT_EQ(history(), std::vector<std::string>(15, "Invert Image to Negative"));
}

TEST_F(StretchTest, ThreadedApplyMatchesOneThread) {
    size(641, 473); // above the threading threshold, 15 pixels over 16 even blocks
    ASSERT_EQ((n() - disp.width1_10) % 16, 15);
    tolvern(7.0);
    Pixels one;
    for (int threads : {1, 2, 3, 8}) {
        SCOPED_TRACE(threads);
        random_image(11);
        proc.apply_threads = threads;
        contrast_stretch(0);
        if (one.empty()) one = pixels();
        EXPECT_EQ(pixels(), one);
        expect_sentinels();
    }
    // Every pixel is mapped, the leftover ones at the end too.
    random_image(11);
    for (int i = 0; i < n(); ++i) ASSERT_EQ(one[i], 2 * proc.stretch_table[image_int[i] >> 1]);
}

TEST_F(StretchTest, TinyAndFlatImages) {
    for (auto [w, h] : {std::pair{1, 1}, {5, 1}, {3, 12}, {16, 9}, {1, 0}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        size(w, h);
        for (unsigned short flat : {0, 65535}) {
            std::fill(image_int, image_int + n(), flat);
            ContrastInvert();
            for (int i = 0; i < n(); ++i) ASSERT_EQ(image_int[i], flat ? 0 : 65534);
            for (const auto& [name, stretch] : every_stretch) stretch();
            for (int i = 0; i < n(); ++i) ASSERT_EQ(image_int[i] & 1, 0);
            expect_sentinels();
        }
    }
}

TEST_F(StretchTest, AutomaticStretch) {
    // A bright sky: background removal, then the non-linear stretch.
    size(160, 200);
    std::fill(image_int, image_int + n(), 40 * 256);
    auto_contrast_stretch(2.0, true);
    EXPECT_EQ(disp.most_pop, 40);
    EXPECT_EQ(image_int[0], 1188); // 10240 -> 600 without background -> 1188 lifted
    EXPECT_EQ(history(), std::vector<std::string>(
                             {"Background Removed : min 38", "Non-Linear Stretch : power 2"}));
    EXPECT_TRUE(ui.commands.empty());

    // Too dark to remove: only the non-linear stretch, never a leftover table.
    std::fill(image_int, image_int + n(), 256);
    std::fill(proc.stretch_table, proc.stretch_table + STRETCH_TABLE_SIZE, 0);
    auto_contrast_stretch(18.0, true);
    EXPECT_EQ(history().back(), "Non-Linear Stretch : power 18");
    EXPECT_EQ(image_int[0], 2 * proc.stretch_table[128]);
    EXPECT_GT(image_int[0], 256);
}
