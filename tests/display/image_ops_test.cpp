#include "display/geometry.h"
#include "display/history.h"
#include "display_test_util.h"

#include <algorithm>
#include <cstring>
#include <numeric>

using ImageOpsTest = DisplayTest;

namespace {
void fill(int from, int to, int v) {
    std::fill(image_int + from, image_int + to, v);
}
unsigned long long counted() {
    return std::accumulate(disp.table, disp.table + 257, 0ull);
}
} // namespace

TEST_F(ImageOpsTest, BackgroundLevels) {
    // find_most_pop reads pixels 10,240..25,599 only; ties go to the lower value.
    set_image_size(1000, 100);
    fill(0, 100000, 200 * 256);
    fill(10240, 17920, 90 * 256 + 255);
    fill(17920, 25600, 60 * 256);
    find_most_pop(image_int);
    EXPECT_EQ(disp.most_pop, 60);
    EXPECT_EQ(counted(), 15360u);

    // build_histogram on 100 x 20 counts pixels 50..1049 and averages the top three.
    set_image_size(100, 20);
    fill(50, 550, 10 * 256);
    fill(550, 850, 20 * 256);
    fill(850, 1000, 30 * 256);
    fill(1000, 1050, 33 * 256);
    build_histogram(image_int);
    EXPECT_EQ(disp.table[200], 0u);
    EXPECT_EQ(counted(), 1000u);
    EXPECT_EQ(disp.most_pop, 20);
    fill(50, 1050, 90 * 256); // missing runners-up count as 0
    build_histogram(image_int);
    EXPECT_EQ(disp.most_pop, 30);

    // Frames too small for either window read nothing past their end.
    set_image_size(128, 128);
    find_most_pop(image_int);
    EXPECT_EQ(counted(), 16384u - 10240u);
    set_image_size(5, 1);
    build_histogram(image_int);
    EXPECT_EQ(counted(), 0u);
}

TEST_F(ImageOpsTest, MirrorKeepsTheFirstTenRowsOfAMarkedImage) {
    set_image_size(4, 12);
    for (int marked : {0, 1}) {
        std::iota(image_int, image_int + 48, 100);
        if (marked) image_int[4] = 30, image_int[5] = 4;
        mirror_image(image, trial);
        EXPECT_EQ(image_int[0], marked ? 100 : 103);
        EXPECT_EQ(image_int[39], marked ? 139 : 136);
        EXPECT_EQ(image_int[40], 143);
        EXPECT_EQ(image_int[47], 144);
    }
}

TEST_F(ImageOpsTest, UndoAndHistory) {
    set_image_size(10, 10);
    fill(0, 101, 5);
    undo_save_option();
    fill(0, 100, 1);
    undo_int[100] = 9;
    restore_image();
    EXPECT_EQ(image_int[99], 5);
    EXPECT_EQ(image_int[100], 5); // only the image's pixels come back

    remove_last_history(); // empty: nothing to remove
    update_history("Stretch");
    update_history(std::string(60, 'L').c_str());
    update_history("Median");
    EXPECT_EQ(std::string(disp.process_info[1]), std::string(39, 'L'));
    remove_last_history();
    EXPECT_STREQ(disp.process_info[2], "");
    EXPECT_STREQ(disp.process_info[0], "Stretch");

    for (int i = 2; i < 16; ++i) update_history(("Filter " + std::to_string(i)).c_str());
    EXPECT_STREQ(disp.process_info[15], ""); // the 16th is dropped
    remove_last_history();                   // and a full list is kept
    EXPECT_STREQ(disp.process_info[14], "Filter 14");
}

TEST_F(ImageOpsTest, UndoGoesBackOnceAndTheHistoryAlwaysDescribesThePixels) {
    set_image_size(10, 10);
    fill(0, 100, 5);
    EXPECT_FALSE(restore_image()); // nothing changed yet: nothing to undo
    EXPECT_EQ(image_int[0], 5);

    undo_save_option(); // a stretch
    fill(0, 100, 6);
    update_history("Stretch");
    undo_save_option(); // a filter that writes two lines
    fill(0, 100, 7);
    update_history("Median");
    update_history("Median, second pass");

    ASSERT_TRUE(restore_image());
    EXPECT_EQ(image_int[0], 6);
    EXPECT_STREQ(disp.process_info[0], "Stretch");
    EXPECT_STREQ(disp.process_info[1], "");

    // One level only: a second Undo keeps both the pixels and their history.
    EXPECT_FALSE(restore_image());
    EXPECT_EQ(image_int[0], 6);
    EXPECT_STREQ(disp.process_info[0], "Stretch");
}

TEST_F(ImageOpsTest, HistoryTextStopsBeforeAShortEntryAndFitsTheBox) {
    char box[HISTORY_BOX_CHARS + 8];
    EXPECT_EQ(compose_history_text(box, HISTORY_BOX_CHARS), 2u);
    EXPECT_STREQ(box, " \n");
    update_history("Stretch");
    update_history("Filter");
    compose_history_text(box, HISTORY_BOX_CHARS);
    EXPECT_STREQ(box, "Stretch \nFilter \n");
    std::strcpy(disp.process_info[1], "x");
    update_history("Median");
    compose_history_text(box, HISTORY_BOX_CHARS);
    EXPECT_STREQ(box, "Stretch \n");

    for (int i = 0; i < 15; ++i) std::memset(disp.process_info[i], 'a' + i, 39);
    std::memset(box, '#', sizeof box);
    const size_t n = compose_history_text(box, HISTORY_BOX_CHARS);
    EXPECT_EQ(n, 12u * 41); // whole lines only
    EXPECT_EQ(std::strlen(box), n);
    EXPECT_EQ(std::string(box + n - 3, 3), "l \n");
    EXPECT_EQ(box[HISTORY_BOX_CHARS], '#');
}
