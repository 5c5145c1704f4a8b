#include "file_test_util.h"

#include "files/file_state.h"
#include "files/native_file.h"
#include "settings/settings.h"

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class NativeFileTest : public ImageFileTest {
  protected:
    void SetUp() override {
        ImageFileTest::SetUp();
        use_camera(1312, 1024);
    }
    // The state a refused load must leave alone.
    void mark_current_image() {
        fill(image, MAIN_BUFFER_PIXELS, 0xBEEF);
        fill(trial, MAIN_BUFFER_PIXELS, 0xFACE);
        std::snprintf(fits.FITS_Date, sizeof fits.FITS_Date, "2001-02-03");
        files.bin_type = 7;
    }
    void expect_current_image_kept() {
        EXPECT_TRUE(all_equal(image, 0, MAIN_BUFFER_PIXELS, 0xBEEF));
        EXPECT_TRUE(all_equal(trial, 0, MAIN_BUFFER_PIXELS, 0xFACE));
        EXPECT_STREQ(fits.FITS_Date, "2001-02-03");
        EXPECT_EQ(files.bin_type, 7);
    }
};

TEST_F(NativeFileTest, EveryPixelValueSurvivesSaveAndLoad) {
    // i * 7 runs through all 65536 values; the file it replaces is larger.
    for (int i = 0; i < pixels(); ++i) image[i] = static_cast<unsigned short>(i * 7 + i / 65536);
    write_file(path("~all"), std::string(5'000'000, 'z'));
    ASSERT_EQ(SaveQVFile("c:\\~all"), 0);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(folder_entries(home), std::vector<std::string>{"~all"});

    // Headerless, row 0 first, least significant byte first.
    const std::string f = read_file(path("~all"));
    ASSERT_EQ(f.size(), static_cast<size_t>(disp.filelen));
    for (int i = 0; i < pixels(); ++i) ASSERT_EQ(le16(f, 2 * i), image[i]) << i;

    std::vector<unsigned short> saved(image, image + pixels());
    fill(image, pixels(), 0);
    std::snprintf(fits.FITS_Date, sizeof fits.FITS_Date, "2001-02-03");
    EXPECT_EQ(LoadQVFile("c:\\~ALL"), LOAD_OK);
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), image));
    EXPECT_STREQ(disp.image_name, "c:\\~ALL");
    EXPECT_STREQ(fits.FITS_Date, ""); // a native load clears the FITS details too
    EXPECT_EQ(disp.binned, 0);
    EXPECT_EQ(files.bin_type, 1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Arrow);
}

TEST_F(NativeFileTest, AFailedSaveKeepsThePreviousFile) {
    const std::string old = random_bytes(4000, 1);
    write_file(path("~keep"), old);
    fill(image, pixels(), 0x1234);
    {
        FileSizeLimit limit(100'000); // stops part-way through the rows
        EXPECT_EQ(SaveQVFile(path("~keep").c_str()), 1);
    }
    EXPECT_EQ(shown(), said(19));
    EXPECT_EQ(read_file(path("~keep")), old);
    EXPECT_EQ(folder_entries(home), std::vector<std::string>{"~keep"});
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Arrow);

    // A missing folder, a name that is a folder, a drive with no host file.
    ui.boxes.clear();
    fs::create_directory(path("dir"));
    EXPECT_EQ(SaveQVFile(path("missing/~a").c_str()), 1);
    EXPECT_EQ(SaveQVFile(path("dir").c_str()), 1);
    EXPECT_EQ(SaveQVFile("d:\\~a"), 1);
    EXPECT_EQ(shown(),
              (std::vector<std::string>{message_text(19), message_text(19), message_text(17)}));
    EXPECT_TRUE(fs::is_directory(path("dir")));
    EXPECT_TRUE(fs::is_empty(path("dir")));
}

TEST_F(NativeFileTest, ABinnedFileFillsTheFirstQuarter) {
    mark_current_image();
    const int quarter = pixels() / 4;
    std::vector<unsigned short> px(quarter);
    for (int i = 0; i < quarter; ++i) px[i] = static_cast<unsigned short>(i ^ 0x5A5A);
    std::string bytes;
    for (unsigned short v : px) bytes += {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    ASSERT_EQ(bytes.size(), static_cast<size_t>(disp.filelenbin));
    write_file(path("~bin"), bytes);

    EXPECT_EQ(LoadQVFile(path("~bin").c_str()), LOAD_OK);
    EXPECT_TRUE(std::equal(px.begin(), px.end(), image));
    EXPECT_TRUE(all_equal(image, quarter, MAIN_BUFFER_PIXELS, 0xBEEF));
    // Binned is set and the geometry derivation clears it again.
    EXPECT_EQ(files.bin_type, 2);
    EXPECT_EQ(disp.binned, 0);
    EXPECT_EQ(disp.width1, 1312);
    EXPECT_EQ(disp.height1, 1024);
}

TEST_F(NativeFileTest, TheLoadEndsInTheCameraFrameWhateverTheCurrentGeometry) {
    fill(image, pixels(), 0);
    for (int i = 0; i < pixels(); ++i) image[i] = static_cast<unsigned short>(i);
    ASSERT_EQ(SaveQVFile(path("~full").c_str()), 0);
    fill(image, MAIN_BUFFER_PIXELS, 9);
    zq_geometry(); // a smaller image is current
    ASSERT_EQ(LoadQVFile(path("~full").c_str()), LOAD_OK);
    EXPECT_EQ(disp.width1, 1312);
    EXPECT_EQ(disp.height1, 1024);
    for (int i = 0; i < pixels(); ++i) ASSERT_EQ(image[i], static_cast<unsigned short>(i));
}

TEST_F(NativeFileTest, UnrecognisedFilesAreRefusedAndChangeNothing) {
    mark_current_image();
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"~empty", ""},
        {"~short", random_bytes(disp.filelen - 1, 2)},
        {"~long", random_bytes(disp.filelen + 1, 3)},
        {"~huge", random_bytes(2 * disp.filelen, 4)},
        {"~odd", random_bytes(disp.filelenbin + 2, 5)},
    };
    for (const auto& [name, bytes] : bad) write_file(path(name), bytes);
    fs::create_directory(path("~dir"));
    ASSERT_EQ(::symlink(path("nowhere").c_str(), path("~dangling").c_str()), 0);
    ::mkfifo(path("~fifo").c_str(), 0600); // must not block the open

    zq_geometry();
    const DisplayState before = disp;
    for (const char* name : {"~empty", "~short", "~long", "~huge", "~odd", "~dir", "~dangling",
                             "~fifo", "~never-made"}) {
        ui.boxes.clear();
        EXPECT_EQ(LoadQVFile(path(name).c_str()), LOAD_REFUSED) << name;
        EXPECT_EQ(shown(), said(41)) << name;
        EXPECT_EQ(disp.width1, before.width1);
        EXPECT_EQ(disp.intlength, before.intlength);
        EXPECT_EQ(std::string(disp.image_name), path(name)); // named before it is checked
        ui.boxes.clear();
        EXPECT_EQ(LoadQVTempFile(path(name).c_str()), 1) << name;
        EXPECT_EQ(shown(), said(16)) << name;
    }
    expect_current_image_kept();
    EXPECT_EQ(ui.cursor_shape, platform::CursorShape::Arrow);

    ui.boxes.clear();
    EXPECT_EQ(LoadQVFile("e:\\~x"), LOAD_REFUSED);
    EXPECT_EQ(shown(), said(11));
}

TEST_F(NativeFileTest, RandomFilesOfEachRecognisedLength) {
    mark_current_image();
    const int lens[] = {disp.filelenfit, disp.filelenfitpad, disp.filelenfitbin,
                        disp.filelenfitbinpad};
    // Any bytes are a native image; random FITS-sized files are not ours.
    unsigned seed = 10;
    for (int len : lens) {
        write_file(path("r.fit"), random_bytes(len, seed++));
        ui.boxes.clear();
        EXPECT_EQ(LoadQVFile(path("r.fit").c_str()), LOAD_FITS_FAILED) << len;
        EXPECT_EQ(shown(), said(14)) << len;
    }
    EXPECT_TRUE(all_equal(image, 0, MAIN_BUFFER_PIXELS, 0xBEEF));
    EXPECT_STREQ(fits.FITS_Date, "2001-02-03"); // a refused file changes nothing

    write_file(path("~r"), random_bytes(disp.filelen, 20));
    EXPECT_EQ(LoadQVFile(path("~r").c_str()), LOAD_OK);
    const std::string f = read_file(path("~r"));
    for (int i = 0; i < pixels(); ++i) ASSERT_EQ(image[i], le16(f, 2 * i));
}

TEST_F(NativeFileTest, FitsFilesGoToTheFitsReader) {
    for (int i = 0; i < pixels(); ++i) image[i] = static_cast<unsigned short>(i * 13);
    std::vector<unsigned short> saved(image, image + pixels());
    ASSERT_EQ(
        SaveFITSFile(path("a.fit").c_str(), image, "M 42", "", "2024-01-02", "", "", "", "", 0), 0);
    ASSERT_EQ(fs::file_size(path("a.fit")), static_cast<uintmax_t>(disp.filelenfitpad));
    fill(image, pixels(), 0);
    cfg.FITS_Obj[0] = '\0';
    disp.binned = 1;
    EXPECT_EQ(LoadQVFile(path("a.fit").c_str()), LOAD_OK);
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), image));
    EXPECT_STREQ(cfg.FITS_Obj, "M 42");
    EXPECT_EQ(files.bin_type, 1);
    EXPECT_EQ(disp.binned, 0);
}

TEST_F(NativeFileTest, ABinnedFitsFileOpensAtItsOwnSize) {
    mark_current_image();
    const std::string data = random_bytes(disp.filelenbin, 30);
    std::string f = fits_header(16, 2, 656, 512, false) + data;
    ASSERT_EQ(f.size(), static_cast<size_t>(disp.filelenfitbin));
    write_file(path("b.fit"), f);
    EXPECT_EQ(LoadQVFile(path("b.fit").c_str()), LOAD_OK);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(disp.width1, 656);
    EXPECT_EQ(disp.height1, 512);
    for (int i : {0, 1, 656 * 512 - 1})
        EXPECT_EQ(image[i], (be16(data, 2 * i) + 32768) % 65536) << i;
    EXPECT_EQ(files.bin_type, 2);
    EXPECT_EQ(disp.binned, 0);
}

TEST_F(NativeFileTest, OperandsLoadIntoTrialOnly) {
    mark_current_image();
    disp.binned = 1; // the operand load leaves the binning state alone
    for (int i = 0; i < pixels(); ++i) image[i] = static_cast<unsigned short>(3 * i);
    ASSERT_EQ(SaveQVFile(path("~op").c_str()), 0);
    fill(image, MAIN_BUFFER_PIXELS, 0xBEEF);

    EXPECT_EQ(LoadQVTempFile(path("~op").c_str()), 0);
    for (int i = 0; i < pixels(); ++i) ASSERT_EQ(trial[i], static_cast<unsigned short>(3 * i));
    EXPECT_TRUE(all_equal(trial, pixels(), MAIN_BUFFER_PIXELS, 0xFACE));
    EXPECT_TRUE(all_equal(image, 0, MAIN_BUFFER_PIXELS, 0xBEEF));
    EXPECT_EQ(disp.binned, 1);
    EXPECT_EQ(files.bin_type, 7);
    EXPECT_STREQ(fits.FITS_Date, "2001-02-03");
    EXPECT_TRUE(ui.boxes.empty());

    // A FITS operand keeps the current image's details.
    ASSERT_EQ(
        SaveFITSFile(path("op.fit").c_str(), trial, "Other", "", "1999-09-09", "", "", "", "", 0),
        0);
    fill(trial, pixels(), 0);
    std::snprintf(cfg.FITS_Obj, sizeof cfg.FITS_Obj, "Mine");
    std::snprintf(fits.FITS_Date, sizeof fits.FITS_Date, "2001-02-03");
    EXPECT_EQ(LoadQVTempFile(path("op.fit").c_str()), 0);
    for (int i = 0; i < pixels(); ++i) ASSERT_EQ(trial[i], static_cast<unsigned short>(3 * i));
    EXPECT_STREQ(cfg.FITS_Obj, "Mine");
    EXPECT_STREQ(fits.FITS_Date, "2001-02-03");
}

TEST_F(NativeFileTest, OperandRefusals) {
    mark_current_image();
    const std::string bin_hdr = fits_header(16, 2, 656, 512, false);
    write_file(path("bin.fit"), bin_hdr + random_bytes(disp.filelenbin, 40));
    write_file(path("binpad.fit"), bin_hdr + random_bytes(disp.filelenbin + disp.binpadding, 41));
    write_file(path("junk.fit"), random_bytes(disp.filelenfit, 42));

    // A binned FITS operand needs a binned current image.
    for (const char* name : {"bin.fit", "binpad.fit"}) {
        ui.boxes.clear();
        EXPECT_EQ(LoadQVTempFile(path(name).c_str()), 1);
        EXPECT_EQ(shown(), std::vector<std::string>{BINNED_OPERAND_TEXT});
    }
    ui.boxes.clear();
    EXPECT_EQ(LoadQVTempFile(path("junk.fit").c_str()), 1);
    EXPECT_EQ(shown(), said(14));

    // Binned, the current image is still of the full size.
    disp.binned = 1;
    ui.boxes.clear();
    EXPECT_EQ(LoadQVTempFile(path("bin.fit").c_str()), 1);
    EXPECT_EQ(shown(), std::vector<std::string>{"Unable to load FITS file: 656 \u00d7 512 is not "
                                                "the size wanted (1312 \u00d7 1024)"});
    expect_current_image_kept();
}

} // namespace
