// What SaveFITSFile puts on disk, byte for byte, and how a failed save leaves
// the previous file.
#include "file_test_util.h"
#include "settings/settings.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>

namespace {

std::string card(const std::string& text) {
    std::string c = text;
    c.resize(80, ' ');
    return c;
}

std::string card_of(const std::string& file, int n) {
    return file.substr((n - 1) * 80, 80);
}

// The DATE card for calendar time t shifted by `hours`, read as UTC.
std::string date_card(std::time_t t, int hours) {
    t += static_cast<std::time_t>(hours) * 3600;
    std::tm ut{};
    ::gmtime_r(&t, &ut);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &ut);
    return card("DATE    = '" + std::string(text) + "'");
}

class FitsWriteTest : public ImageFileTest {
  protected:
    void SetUp() override {
        ImageFileTest::SetUp();
        sensor.cam_Pixwidth = 0.0086;
        sensor.cam_Pixheight = 0.0083;
        use_camera(752, 580);
    }
    int save(const std::string& name, int eightbit = 0) {
        before = std::time(nullptr);
        const int r =
            SaveFITSFile(path(name).c_str(), image, cfg.FITS_Obj, cfg.FITS_Obs, fits.FITS_Date,
                         cfg.FITS_Tel, cfg.FITS_Ins, cfg.FITS_Com, cfg.FITS_His, eightbit);
        after = std::time(nullptr);
        return r;
    }
    // The file's DATE card, when it names a second of the last save shifted
    // by `hours`; else a note of what it holds.
    std::string written_card(const std::string& f, int n, int hours) const {
        const std::string c = card_of(f, n);
        for (std::time_t t = before; t <= after; ++t)
            if (c == date_card(t, hours)) return c;
        return "not the time of writing: " + c;
    }
    std::time_t before = 0, after = 0;
};

const char* const LINE39 = "Unsharp mask 3x3, 2 passes, then median";

TEST_F(FitsWriteTest, HeaderHoldsTheSeventyTwoCardsInOrder) {
    std::strcpy(cfg.FITS_Obj, "M42");
    std::strcpy(cfg.FITS_Obs, "J. Smith");
    std::strcpy(cfg.FITS_Tel, "C8");
    std::strcpy(cfg.FITS_Src, "Backyard");
    std::strcpy(cfg.FITS_Filter, "Red");
    std::strcpy(fits.FITS_Date, "2024-03-05");
    std::strcpy(fits.FITS_Time, "21:04:09");
    std::strcpy(cfg.FITS_His, "Clear night");
    const std::string comment(80, 'c');
    std::strcpy(cfg.FITS_Com, comment.c_str());
    std::strcpy(disp.process_info[0], "Dark frame subtracted");
    ASSERT_EQ(std::strlen(LINE39), 39u);
    std::strcpy(disp.process_info[1], LINE39);
    fits.FITS_Exptime = 120.0;
    cfg.FITS_Focallen = 80.0;
    cfg.FITS_Aperture = 50.3;
    cfg.FITS_SBIG = 1;
    LocalZone zone("XYZ-3"); // the PC's clock runs 3 hours ahead of UT
    cfg.FITS_Diff = -3;

    ASSERT_EQ(save("m42.fit"), 0);
    const std::string f = read_file(path("m42.fit"));
    ASSERT_EQ(f.size(), 878400u);

    std::string want =
        card("SIMPLE  =                    T /") + card("BITPIX  =                   16 /") +
        card("NAXIS   =                    2 /") + card("NAXIS1  =                  752 /") +
        card("NAXIS2  =                  580 /") + card("OBJECT  = 'M42'") +
        card("TELESCOP= 'C8'") + card("INSTRUME= 'Veltrane CCD'") + card("OBSERVER= 'J. Smith'") +
        card("ORIGIN  = 'Backyard'") + card("DATE-OBS= '2024-03-05'") +
        card("TIME-OBS= '21:04:09'") + card("HISTORY = 'Dark frame subtracted'") +
        card("HISTORY = 'Unsharp mask 3x3, 2 passes, then median'");
    for (int i = 0; i < 13; ++i) want += card("HISTORY = ''");
    want += card("HISTORY = 'Clear night" + std::string(57, ' ') + "'");
    for (int i = 0; i < 3; ++i) want += card("HISTORY = '" + std::string(68, ' ') + "'");
    want += card("COMMENT = '" + std::string(68, 'c') + "'");
    want += card("COMMENT = '" + std::string(12, 'c') + std::string(56, ' ') + "'");
    for (int i = 0; i < 2; ++i) want += card("COMMENT = '" + std::string(68, ' ') + "'");
    want += card("BZERO   =   +3.2768000000E+04") + card("BSCALE  =   +1.0000000000E+00") +
            card("PIXWIDTH=    8.6000000000E-03") + card("PIXHEIGH=    8.3000000000E-03") +
            card("SATURATE=                32768") + card("EXPTIME =    1.2000000000E+02") +
            card("FOCALLEN=    8.0000000000E+01") + card("APERTURE=    5.0300000000E+01") +
            card("FILTER  = 'Red'");
    // What other software looks for, in cards that were blank.
    want += card("IMAGETYP= 'Light'") + card("XBINNING=                    1") +
            card("YBINNING=                    1") + card("XPIXSZ  =    8.6000000000E+00") +
            card("YPIXSZ  =    8.3000000000E+00") + written_card(f, 50, 0) + card("END");
    for (int i = 0; i < 21; ++i) want += card("");
    ASSERT_EQ(want.size(), 5760u);
    for (int n = 1; n <= 72; ++n) EXPECT_EQ(card_of(f, n), card_of(want, n)) << "card " << n;

    // Every save is in the signed form, whatever the last file read was.
    EXPECT_EQ(cfg.FITS_SBIG, 0);
    EXPECT_DOUBLE_EQ(disp.FITS_Pixwidth, 0.0086);
    EXPECT_DOUBLE_EQ(disp.FITS_Pixheight, 0.0083);
}

TEST_F(FitsWriteTest, FrameTypeDateAndDamageNoteKeepTheirCards) {
    LocalZone zone("UTC0");
    cfg.FITS_Diff = 5; // UT is 5 hours ahead of the PC's clock
    fits.image_type = ImageType::Dark;
    ASSERT_EQ(save("dark.fit"), 0);
    std::string f = read_file(path("dark.fit"));
    EXPECT_EQ(card_of(f, 45), card("IMAGETYP= 'Dark'"));
    EXPECT_EQ(card_of(f, 50), written_card(f, 50, 5));
    EXPECT_EQ(std::getenv("TZ"), std::string("UTC0")) << "the process zone stays";

    // A damaged frame's note stays just before END; the length stays too.
    fits.image_type = ImageType::Flat;
    std::strcpy(disp.damage_note, "Incomplete readout: 10 of 20 bytes");
    ASSERT_EQ(save("flat.fit", 1), 0);
    f = read_file(path("flat.fit"));
    EXPECT_EQ(f.size(), 5760u + 436160u + 1600u);
    EXPECT_EQ(card_of(f, 45), card("IMAGETYP= 'Flat'"));
    EXPECT_EQ(card_of(f, 48), card("XPIXSZ  =    8.6000000000E+00")) << "8-bit files too";
    EXPECT_EQ(card_of(f, 51), card("HISTORY = 'Incomplete readout: 10 of 20 bytes'"));
    EXPECT_EQ(card_of(f, 52), card("END"));
    for (int n = 53; n <= 72; ++n) EXPECT_EQ(card_of(f, n), card("")) << "card " << n;
}

TEST_F(FitsWriteTest, DataAreBigEndianPixelMinus32768ThenZeroPadding) {
    const int n = pixels();
    for (int i = 0; i < n; ++i) image[i] = static_cast<unsigned short>(i * 7919);
    image[0] = 0;
    image[1] = 65535;
    image[2] = 32768;
    ASSERT_EQ(save("data.fit"), 0);
    const std::string f = read_file(path("data.fit"));
    ASSERT_EQ(f.size(), 5760u + 872320u + 320u);
    EXPECT_EQ(f.size(), static_cast<std::size_t>(disp.filelenfitpad));

    const std::string data = f.substr(5760, 872320);
    EXPECT_EQ(data.substr(0, 6), std::string("\x80\x00\x7f\xff\x00\x00", 6)); // -32768, 32767, 0
    for (int i : {3, 1000, n - 1}) {
        const unsigned stored = static_cast<unsigned short>(image[i] - 32768);
        EXPECT_EQ(byte_at(data, 2 * i), stored >> 8) << i;
        EXPECT_EQ(byte_at(data, 2 * i + 1), stored & 0xFF) << i;
    }
    EXPECT_EQ(f.substr(5760 + 872320), std::string(320, '\0'));
}

TEST_F(FitsWriteTest, DataEndingOnARecordGetNoPadding) {
    use_camera(1440, 1000); // 2 880 000 bytes of data
    EXPECT_EQ(disp.fullpadding, 0);
    ASSERT_EQ(save("exact.fit"), 0);
    EXPECT_EQ(std::filesystem::file_size(path("exact.fit")), 5760u + 2880000u);
}

TEST_F(FitsWriteTest, EightBitFilesDescribeEightBitData) {
    const int n = pixels();
    for (int i = 0; i < n; ++i) image[i] = static_cast<unsigned short>(i * 31);
    ASSERT_EQ(save("eight.fit", 1), 0);
    const std::string f = read_file(path("eight.fit"));
    // 436 160 data bytes, zero-filled to the next whole record.
    ASSERT_EQ(f.size(), 5760u + 436160u + 1600u);
    EXPECT_EQ(card_of(f, 2), card("BITPIX  =                    8 /"));
    EXPECT_EQ(card_of(f, 36), card("BZERO   =   +0.0000000000E+00"));
    EXPECT_EQ(card_of(f, 40), card("SATURATE=                  255"));
    for (int i : {0, 1, 4097, n - 1}) EXPECT_EQ(byte_at(f, 5760 + i), image[i] >> 8u) << i;
    EXPECT_EQ(f.substr(5760 + 436160), std::string(1600, '\0'));
}

TEST_F(FitsWriteTest, TextsStayInsideTheirCardAndValid) {
    // 69 characters, the longest a detail field holds: the closing quote
    // still ends the card.
    std::string longest(69, 'x');
    std::strcpy(cfg.FITS_Obj, longest.c_str());
    std::strcpy(cfg.FITS_Obs, "O'Brien");
    std::strcpy(cfg.FITS_Tel, "tab\there");
    std::string long_history(300, 'h');
    long_history[271] = 'e'; // the last character that is written
    ASSERT_EQ(SaveFITSFile(path("t.fit").c_str(), image, cfg.FITS_Obj, cfg.FITS_Obs, "",
                           "tab\there", "", "", long_history.c_str(), 0),
              0);
    const std::string f = read_file(path("t.fit"));
    EXPECT_EQ(card_of(f, 6), "OBJECT  = '" + std::string(68, 'x') + "'");
    EXPECT_EQ(card_of(f, 9), card("OBSERVER= 'O''Brien'"));
    EXPECT_EQ(card_of(f, 7), card("TELESCOP= 'tab?here'"));
    EXPECT_EQ(card_of(f, 31), "HISTORY = '" + std::string(67, 'h') + "e'");
    EXPECT_EQ(card_of(f, 32), card("COMMENT = '" + std::string(68, ' ') + "'"));
}

TEST_F(FitsWriteTest, NumbersAreWrittenWithAPointWhateverTheLocale) {
    // A desktop session may run under a locale with a decimal comma; build
    // one for the test when the system has none.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* old_locpath = std::getenv("LOCPATH");
    const std::string saved_locpath = old_locpath ? old_locpath : "";
    bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    if (!comma && std::system(("localedef -i de_DE -f UTF-8 " + home +
                               "/de_DE.UTF-8 "
                               ">/dev/null 2>&1")
                                  .c_str()) == 0) {
        ::setenv("LOCPATH", home.c_str(), 1);
        comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    }
    fits.FITS_Exptime = 2.5;
    const int r = comma ? save("locale.fit") : -1;
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (old_locpath)
        ::setenv("LOCPATH", saved_locpath.c_str(), 1);
    else
        ::unsetenv("LOCPATH");
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma";
    ASSERT_EQ(r, 0);
    EXPECT_EQ(card_of(read_file(path("locale.fit")), 41), card("EXPTIME =    2.5000000000E+00"));
}

TEST_F(FitsWriteTest, FailedSaveLeavesThePreviousFileWhole) {
    write_file(path("old.fit"), "previous contents");
    {
        FileSizeLimit full(100000); // the disk fills part-way through the data
        EXPECT_EQ(save("old.fit"), 1);
    }
    EXPECT_EQ(read_file(path("old.fit")), "previous contents");
    EXPECT_EQ(folder_entries(home), std::vector<std::string>{"old.fit"});

    {
        FileSizeLimit full(4000); // inside the header
        EXPECT_EQ(save("new.fit"), 1);
    }
    EXPECT_FALSE(std::filesystem::exists(path("new.fit")));

    // A complete save replaces the old file entirely.
    ASSERT_EQ(save("old.fit"), 0);
    EXPECT_EQ(std::filesystem::file_size(path("old.fit")), 878400u);
}

TEST_F(FitsWriteTest, NamesThatCannotBeWrittenGiveOne) {
    std::filesystem::create_directory(path("folder.fit"));
    EXPECT_EQ(save("folder.fit"), 1);
    EXPECT_TRUE(std::filesystem::is_directory(path("folder.fit")));
    EXPECT_EQ(save("missing/x.fit"), 1);
    EXPECT_EQ(SaveFITSFile("d:\\x.fit", image, "", "", "", "", "", "", "", 0), 1);
    EXPECT_EQ(folder_entries(home), std::vector<std::string>{"folder.fit"});

    if (::geteuid() != 0) {
        std::filesystem::create_directory(path("locked"));
        ::chmod(path("locked").c_str(), 0500);
        EXPECT_EQ(save("locked/x.fit"), 1);
    }
}

TEST_F(FitsWriteTest, DosNamesLandInTheHomeFolder) {
    std::filesystem::create_directory(path("AutoSave"));
    ASSERT_EQ(
        SaveFITSFile("c:\\autosave\\IMG1.FIT", image, "", "", "2024-01-01", "", "", "", "", 0), 0);
    EXPECT_EQ(std::filesystem::file_size(path("AutoSave/IMG1.FIT")), 878400u);
}

} // namespace
