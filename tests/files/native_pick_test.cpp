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

std::vector<std::string> names_of(const platform::FileDialogRequest& r) {
    std::vector<std::string> out;
    for (const auto& f : r.filters) out.push_back(f.first);
    return out;
}

TEST_F(FilePickTest, DialogFilterLists) {
    EXPECT_EQ(parse_filter_list("A|*.a|B|*.b|"), (Filters{{"A", "*.a"}, {"B", "*.b"}}));
    EXPECT_EQ(parse_filter_list("A|*.a|B"), (Filters{{"A", "*.a"}}));
    // The names stay the program's own.
    using Names = std::vector<std::string>;
    EXPECT_EQ(names_of(open_dialog_request()),
              (Names{"Veltrane (~*.)", "FITS files", "All Files"}));
    EXPECT_EQ(names_of(pick_dialog_request()),
              (Names{"Veltrane (~*.)", "FITS files", "All Files(*.*)"}));
    EXPECT_EQ(names_of(save_dialog_request(false, false)),
              (Names{"Veltrane (~*.)", "FITs files", "All Files(*.*)"}));
    EXPECT_EQ(names_of(save_dialog_request(false, true)),
              (Names{"FITS file (*.FIT)", "All Files(*.*)"}));
    EXPECT_EQ(names_of(save_dialog_request(true, false)),
              (Names{"Tiff file (*.TIF)", "All Files(*.*)"}));
    EXPECT_EQ(save_dialog_request(true, false).initial_name, "*.TIF");
    EXPECT_EQ(save_dialog_request(false, true).initial_name, "*.FIT");
    EXPECT_EQ(save_dialog_request(false, true).default_extension, "FIT");
    EXPECT_EQ(save_dialog_request(true, false).default_extension, "TIF");
    EXPECT_EQ(save_dialog_request(false, false).default_extension, "");
    EXPECT_EQ(open_dialog_request().default_extension, "");
}

TEST_F(FilePickTest, EveryFilterShowsTheFilesItNames) {
    struct Name {
        const char* name;
        bool native, fits, tiff;
    };
    const Name names[] = {
        {"~m13", true, false, false},     {"~m13.raw", true, false, false},
        {"~M13.FIT", true, true, false},  {"M42.FIT", false, true, false},
        {"m42.fits", false, true, false}, {"x.Fts", false, true, false},
        {"IMG7.fIT", false, true, false}, {"m42.fit.bak", false, false, false},
        {"shot.tif", false, false, true}, {"SHOT.TIFF", false, false, true},
        {"notes", false, false, false},   {".hidden.txt", false, false, false},
    };
    const auto open = open_dialog_request(), pick = pick_dialog_request(),
               native_save = save_dialog_request(false, false),
               fits_save = save_dialog_request(false, true),
               tiff_save = save_dialog_request(true, false);
    for (const Name& n : names) {
        SCOPED_TRACE(n.name);
        for (const auto* r : {&open, &pick, &native_save}) {
            ASSERT_EQ(r->filters.size(), 3u);
            EXPECT_EQ(filter_shows(r->filters[0].second, n.name), n.native);
            EXPECT_EQ(filter_shows(r->filters[1].second, n.name), n.fits);
            EXPECT_TRUE(filter_shows(r->filters[2].second, n.name));
        }
        EXPECT_EQ(filter_shows(fits_save.filters[0].second, n.name), n.fits);
        EXPECT_EQ(filter_shows(tiff_save.filters[0].second, n.name), n.tiff);
        EXPECT_TRUE(filter_shows(fits_save.filters[1].second, n.name));
        EXPECT_TRUE(filter_shows(tiff_save.filters[1].second, n.name));
    }
}

TEST_F(FilePickTest, ASaveWithoutExtensionGetsTheDefaultOne) {
    EXPECT_EQ(with_default_extension("/night/m42", "FIT"), "/night/m42.FIT");
    EXPECT_EQ(with_default_extension("/night.2/~m42", "FIT"), "/night.2/~m42.FIT");
    EXPECT_EQ(with_default_extension("/night/m42.fits", "FIT"), "/night/m42.fits");
    EXPECT_EQ(with_default_extension("/night/m42.", "FIT"), "/night/m42.");
    EXPECT_EQ(with_default_extension("/night/shot", "TIF"), "/night/shot.TIF");
    EXPECT_EQ(with_default_extension("/night/~m13", ""), "/night/~m13");
}

} // namespace
