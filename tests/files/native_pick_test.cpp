#include "file_test_util.h"

#include "files/file_pick.h"
#include "files/file_state.h"

#include <cstring>

namespace {

using Filters = std::vector<std::pair<std::string, std::string>>;

class FilePickTest : public ImageFileTest {};

TEST_F(FilePickTest, FilterIndexFollowsTheLastChoice) {
    EXPECT_EQ(files.Filter_Index, 3);
    EXPECT_EQ(filter_index_after("~m31", false), 1);
    EXPECT_EQ(filter_index_after("m~31.fit", false), 1);
    EXPECT_EQ(filter_index_after("m31.fit", false), 3);
    EXPECT_EQ(filter_index_after("m31", true), 2);
    EXPECT_EQ(filter_index_after("~m31", true), 2);

    note_open_choice("/data/night/M31.FIT");
    EXPECT_EQ(files.Filter_Index, 3);
    EXPECT_EQ(open_dialog_request().filter_index, 3);
    note_save_choice("/data/night/~Flat", false);
    EXPECT_EQ(files.Filter_Index, 1);
    note_save_choice("/data/night/flat.fit", true);
    EXPECT_EQ(files.Filter_Index, 2);
    EXPECT_EQ(pick_dialog_request().filter_index, 2);
}

TEST_F(FilePickTest, OpenRemembersTheTitleInLowerCaseAndAShortFolder) {
    const std::string dir = "/" + std::string(60, 'D');
    note_open_choice(dir + "/~M31 Core.RAW");
    EXPECT_STREQ(files.lastfile, "~m31 core.raw");
    EXPECT_EQ(std::string(files.lastdir), dir.substr(0, 50));
    EXPECT_EQ(open_dialog_request().initial_name, "~m31 core.raw");

    // A title longer than the field is cut, never written past it.
    note_open_choice("/x/" + std::string(300, 'Q'));
    EXPECT_EQ(std::strlen(files.lastfile), sizeof files.lastfile - 1);
    EXPECT_EQ(files.lastfile[0], 'q');

    // A save does not touch lastfile.
    note_save_choice("/elsewhere/~NEW", false);
    EXPECT_EQ(files.lastfile[0], 'q');
    EXPECT_STREQ(files.lastdir, "/elsewhere");
    EXPECT_EQ(file_title("c:\\images\\~dark"), "~dark");
}

TEST_F(FilePickTest, APickGoesWhereItsPurposeSays) {
    EXPECT_EQ(note_pick_choice("/a/operand"), 0); // a merge-type operand
    EXPECT_STREQ(files.DarkFileName, "");

    files.load_darkframe = 1;
    EXPECT_EQ(note_pick_choice("/a/~dark"), 1);
    files.load_darkframe = 0;
    files.load_comparison = 1;
    EXPECT_EQ(note_pick_choice("/a/cmp.fit"), 1);
    files.load_comparison = 0;
    files.load_flatfield = 1;
    EXPECT_EQ(note_pick_choice("/a/~flat"), 1);
    files.load_flatfield = 0;
    EXPECT_STREQ(files.DarkFileName, "/a/~dark");
    EXPECT_STREQ(files.ComparisonFileName, "/a/cmp.fit");
    EXPECT_STREQ(files.FlatFileName, "/a/~flat");

    write_file(path("~gone"), "x");
    files.delete_file = 1;
    EXPECT_EQ(note_pick_choice(path("~gone")), 1);
    files.delete_file = 0;
    EXPECT_TRUE(delete_chosen_file());
    EXPECT_FALSE(std::filesystem::exists(path("~gone")));
    EXPECT_FALSE(delete_chosen_file());
    EXPECT_TRUE(ui.boxes.empty());

    files.load_darkframe = 1;
    note_pick_choice("/" + std::string(400, 'p'));
    EXPECT_EQ(std::strlen(files.DarkFileName), sizeof files.DarkFileName - 1);
}

TEST_F(FilePickTest, DialogFilterLists) {
    EXPECT_EQ(parse_filter_list("A|*.a|B|*.b|"), (Filters{{"A", "*.a"}, {"B", "*.b"}}));
    EXPECT_EQ(parse_filter_list("A|*.a|B"), (Filters{{"A", "*.a"}}));
    EXPECT_EQ(open_dialog_request().filters,
              (Filters{{"Veltrane (~*.)", "~*.*"}, {"FITS files", "*.FIT"}, {"All Files", "*.*"}}));
    EXPECT_EQ(save_dialog_request(true, false).initial_name, "*.TIF");
    EXPECT_EQ(save_dialog_request(false, true).initial_name, "*.FIT");
    EXPECT_EQ(save_dialog_request(false, false).filters.size(), 3u);
}

} // namespace
