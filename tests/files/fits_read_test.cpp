// The FITS readers: round trips, older files, refusals and damaged input.
#include "file_test_util.h"
#include "settings/settings.h"

#include <cmath>
#include <cstring>
#include <sys/stat.h>

namespace {

class FitsReadTest : public ImageFileTest {
  protected:
    void SetUp() override {
        ImageFileTest::SetUp();
        use_camera(752, 580);
    }
    int save(const std::string& name) {
        return SaveFITSFile(path(name).c_str(), image, cfg.FITS_Obj, cfg.FITS_Obs, fits.FITS_Date,
                            cfg.FITS_Tel, cfg.FITS_Ins, cfg.FITS_Com, cfg.FITS_His, 0);
    }
    // Saves a pattern and returns the file's bytes.
    std::string saved_pattern(const std::string& name) {
        for (int i = 0; i < pixels(); ++i) image[i] = static_cast<unsigned short>(i * 40503u);
        EXPECT_EQ(save(name), 0);
        return read_file(path(name));
    }
    void put_card(std::string& f, int n, const std::string& text) {
        std::string c = text;
        c.resize(80, ' ');
        f.replace((n - 1) * 80, 80, c);
    }
    int load(const std::string& name) { return LoadFITSFile(path(name).c_str(), 2, trial); }
};

TEST_F(FitsReadTest, EveryPixelValueSurvivesASaveAndALoad) {
    use_camera(256, 256);
    // A permutation of 0 ... 65535, so every value appears once, in no simple order.
    for (int i = 0; i < 65536; ++i) image[i] = static_cast<unsigned short>(i * 40503u);
    ASSERT_EQ(save("all.fit"), 0);

    fill(trial, 65536, 1);
    ASSERT_EQ(load("all.fit"), 0);
    EXPECT_TRUE(std::equal(image, image + 65536, trial));
    EXPECT_EQ(cfg.FITS_SBIG, 0);

    fill(trial, 65536, 1);
    ASSERT_EQ(LoadTempFITSFile(path("all.fit").c_str(), trial), 0);
    EXPECT_TRUE(std::equal(image, image + 65536, trial));
}

TEST_F(FitsReadTest, DetailsComeBackFromTheHeader) {
    std::strcpy(cfg.FITS_Obj, "NGC 7000");
    std::strcpy(cfg.FITS_Obs, "O'Brien");
    std::strcpy(cfg.FITS_Tel, "80mm refractor");
    std::strcpy(cfg.FITS_Ins, "Veltrane CCD");
    std::strcpy(cfg.FITS_Src, "Club");
    std::strcpy(cfg.FITS_Filter, "Ha 7nm");
    std::strcpy(fits.FITS_Date, "2023-10-01");
    std::strcpy(fits.FITS_Time, "01:02:03");
    std::strcpy(cfg.FITS_His, "0123456789");
    std::strcpy(cfg.FITS_Com, "");
    std::strcpy(disp.process_info[0], "Flat fielded");
    std::strcpy(disp.process_info[14], "Last line");
    fits.FITS_Exptime = 300;
    cfg.FITS_Focallen = 20.5;
    cfg.FITS_Aperture = 12.25;
    sensor.cam_Pixwidth = 0.009;
    ASSERT_EQ(save("d.fit"), 0);

    ClearFITSInfo();
    disp.FITS_Pixwidth = 0;
    ASSERT_EQ(load("d.fit"), 0);
    EXPECT_STREQ(cfg.FITS_Obj, "NGC 7000");
    EXPECT_STREQ(cfg.FITS_Obs, "O'Brien");
    EXPECT_STREQ(cfg.FITS_Tel, "80mm refractor");
    EXPECT_STREQ(cfg.FITS_Src, "Club");
    EXPECT_STREQ(cfg.FITS_Filter, "Ha 7nm");
    EXPECT_STREQ(fits.FITS_Date, "2023-10-01");
    EXPECT_STREQ(fits.FITS_Time, "01:02:03");
    EXPECT_STREQ(disp.process_info[0], "Flat fielded");
    EXPECT_STREQ(disp.process_info[1], "");
    EXPECT_STREQ(disp.process_info[14], "Last line");
    // The history comes back with the padding of its four cards.
    EXPECT_EQ(std::string(cfg.FITS_His), "0123456789" + std::string(245, ' '));
    EXPECT_EQ(std::string(cfg.FITS_Com), std::string(255, ' '));
    EXPECT_DOUBLE_EQ(fits.FITS_Exptime, 300);
    EXPECT_DOUBLE_EQ(cfg.FITS_Focallen, 20.5);
    EXPECT_DOUBLE_EQ(cfg.FITS_Aperture, 12.25);
    EXPECT_DOUBLE_EQ(disp.FITS_Pixwidth, 0.009);

    // An operand load takes the pixels only.
    ClearFITSInfo();
    ASSERT_EQ(LoadTempFITSFile(path("d.fit").c_str(), trial), 0);
    EXPECT_STREQ(cfg.FITS_Obj, "");
    EXPECT_STREQ(cfg.FITS_Ins, "Veltrane CCD");
    EXPECT_STREQ(disp.process_info[0], "");
    EXPECT_DOUBLE_EQ(fits.FITS_Exptime, 0);
}

TEST_F(FitsReadTest, TheFrameTypeComesBackAndOtherSoftwaresNamesAreUnderstood) {
    fits.image_type = ImageType::Flat;
    std::strcpy(fits.FITS_Date, "2023-10-01");
    std::strcpy(fits.FITS_Time, "01:02:03");
    sensor.cam_Pixwidth = 0.0074;
    ASSERT_EQ(save("flat.fit"), 0);
    ClearFITSInfo();
    EXPECT_EQ(fits.image_type, ImageType::Light);
    ASSERT_EQ(load("flat.fit"), 0);
    EXPECT_EQ(fits.image_type, ImageType::Flat);
    // DATE says when the file was written, not when the image was taken; and
    // PIXWIDTH in mm wins over the rounded XPIXSZ in µm.
    EXPECT_STREQ(fits.FITS_Date, "2023-10-01");
    EXPECT_STREQ(fits.FITS_Time, "01:02:03");
    EXPECT_DOUBLE_EQ(disp.FITS_Pixwidth, 0.0074);

    const std::vector<std::uint8_t> data(16 * 16, 9);
    const std::pair<const char*, ImageType> names[] = {
        {"'DARK'", ImageType::Dark},         {"'Dark Frame'", ImageType::Dark},
        {"'flat field'", ImageType::Flat},   {"'FLAT'", ImageType::Flat},
        {"'Light Frame'", ImageType::Light}, {"'Bias Frame'", ImageType::Light},
        {"'  '", ImageType::Light},          {"12", ImageType::Light},
    };
    for (const auto& [value, type] : names) {
        fits.image_type = ImageType::Flat;
        write_file(path("t.fits"),
                   foreign_fits(8, 16, 16, {std::string("IMAGETYP= ") + value}, be_values(data)));
        ASSERT_EQ(load("t.fits"), 0) << value;
        EXPECT_EQ(fits.image_type, type) << value;
    }
    // Without IMAGETYP or DATE-OBS: a light frame of no known date.
    fits.image_type = ImageType::Dark;
    write_file(path("plain.fits"),
               foreign_fits(8, 16, 16, {"DATE    = '2024-01-02T03:04:05'"}, be_values(data)));
    ASSERT_EQ(load("plain.fits"), 0);
    EXPECT_EQ(fits.image_type, ImageType::Light);
    EXPECT_STREQ(fits.FITS_Date, "");
    EXPECT_STREQ(fits.FITS_Time, "");
}

TEST_F(FitsReadTest, ClearingKeepsOriginTimeDifferenceAndSignedness) {
    std::strcpy(cfg.FITS_Obj, "x");
    std::strcpy(cfg.FITS_Ins, "other");
    std::strcpy(cfg.FITS_Filter, "B");
    std::strcpy(cfg.FITS_Src, "kept");
    std::strcpy(fits.FITS_Time, "10:00:00");
    std::strcpy(disp.process_info[3], "line");
    cfg.FITS_Focallen = 5;
    cfg.FITS_Diff = -4;
    cfg.FITS_SBIG = 1;
    ClearFITSInfo();
    EXPECT_STREQ(cfg.FITS_Obj, "");
    EXPECT_STREQ(cfg.FITS_Ins, "Veltrane CCD");
    EXPECT_STREQ(cfg.FITS_Filter, "None");
    EXPECT_STREQ(fits.FITS_Time, "");
    EXPECT_STREQ(disp.process_info[3], "");
    EXPECT_EQ(cfg.FITS_Focallen, 0);
    EXPECT_STREQ(cfg.FITS_Src, "kept");
    EXPECT_EQ(cfg.FITS_Diff, -4);
    EXPECT_EQ(cfg.FITS_SBIG, 1);
}

TEST_F(FitsReadTest, FilesOfTheOlderLayoutStillLoad) {
    // BZERO 32767 and "/" padding, with the data stored as pixel - 32768.
    std::string f = saved_pattern("old.fit");
    put_card(f, 36, "BZERO   =   +3.2767000000E+04");
    f.replace(f.size() - 320, 320, std::string(320, '/'));
    write_file(path("old.fit"), f);
    cfg.FITS_SBIG = 1;
    ASSERT_EQ(load("old.fit"), 0);
    EXPECT_TRUE(std::equal(image, image + pixels(), trial));
    EXPECT_EQ(cfg.FITS_SBIG, 0);
}

TEST_F(FitsReadTest, ZeroBzeroMeansUnsignedData) {
    std::string f = saved_pattern("u.fit");
    put_card(f, 36, "BZERO   =   +0.0000000000E+00");
    write_file(path("u.fit"), f);
    for (auto loader : {+[](const char* p) { return LoadFITSFile(p, 2, trial); },
                        +[](const char* p) { return LoadTempFITSFile(p, trial); }}) {
        cfg.FITS_SBIG = 0;
        ASSERT_EQ(loader(path("u.fit").c_str()), 0);
        EXPECT_EQ(cfg.FITS_SBIG, 1);
        // Taken as stored: each pixel reads back with its top bit flipped.
        for (int i : {0, 1, 777, pixels() - 1}) EXPECT_EQ(trial[i], image[i] ^ 0x8000) << i;
    }
}

TEST_F(FitsReadTest, MalformedHeadersAreRefusedWithTheirReason) {
    const std::string good = saved_pattern("good.fit");
    struct Case {
        int card;
        const char* text;
        int result;
        const char* why;
    };
    const Case cases[] = {
        {1, "SIMPLE  =                    F", 2, "SIMPLE = F: not standard FITS"},
        {1, "COMMENT not a header", 2, "not a FITS file (no SIMPLE card)"},
        {2, "BITPIX  =                  -16 /", 2, "BITPIX -16 is not FITS"},
        {2, "BITPIX  =                  116 /", 2, "BITPIX 116 is not FITS"},
        {2, "COMMENT the BITPIX card is gone", 2, "no BITPIX card"},
        {3, "NAXIS   =                    3 /", 2, "no NAXIS3 card"},
        {4, "NAXIS1  =                -1392 /", 2, "NAXIS1 -1392 is not a size"},
        {4, "NAXIS1  =              9991392 /", 2, "too large: 9991392 \u00d7 580"},
        {4, "NAXIS1  =                 12.5 /", 2, "NAXIS1 12.5 is not a size"},
        {5, "NAXIS2  =                    8 /", 2, "too small: 752 \u00d7 8"},
        {36, "BZERO   = 'none'", 2, "BZERO 'none' is not a number"},
        {37, "BSCALE  =                    0", 2, "BSCALE 0 is not a scale"},
        {51, "", 2, "no END card"},
        // Data of 4 bytes a pixel do not fit a file written with 2.
        {2, "BITPIX  =                  -32 /", 1, "cut short: 872640 of 1744640 data bytes"},
    };
    std::strcpy(cfg.FITS_Obj, "unchanged");
    for (const Case& c : cases) {
        std::string f = good;
        put_card(f, c.card, c.text);
        write_file(path("bad.fit"), f);
        fill(trial, pixels(), 9);
        EXPECT_EQ(load("bad.fit"), c.result) << c.text;
        EXPECT_STREQ(fits.load_error, c.why) << c.text;
        EXPECT_EQ(LoadTempFITSFile(path("bad.fit").c_str(), trial), c.result) << c.text;
        EXPECT_TRUE(all_equal(trial, 0, pixels(), 9)) << c.text;
        EXPECT_STREQ(cfg.FITS_Obj, "unchanged");
        EXPECT_EQ(disp.width1, 752);
    }

    // A real third axis is refused; one of length 1 is still an image.
    std::string cube = good;
    put_card(cube, 3, "NAXIS   =                    3 /");
    put_card(cube, 40, "NAXIS3  =                    4 /");
    write_file(path("cube.fit"), cube);
    EXPECT_EQ(load("cube.fit"), 2);
    EXPECT_STREQ(fits.load_error, "3-D data");
    put_card(cube, 40, "NAXIS3  =                    1 /");
    write_file(path("plane.fit"), cube);
    EXPECT_EQ(load("plane.fit"), 0);
    EXPECT_STREQ(fits.load_error, "");

    // 8000 x 6000 is more than any buffer holds, whatever the file's length.
    std::string big = good;
    put_card(big, 4, "NAXIS1  =                 8000 /");
    put_card(big, 5, "NAXIS2  =                 6000 /");
    write_file(path("big.fit"), big);
    EXPECT_EQ(load("big.fit"), 2);
    EXPECT_STREQ(fits.load_error, "too large: 8000 \u00d7 6000");
}

TEST_F(FitsReadTest, TheHeaderGivesTheSize) {
    // Half the camera's size on a full-length file: a 376 x 290 image, the
    // first 376 x 290 values of the data, not a 752 x 580 one.
    std::string f = saved_pattern("full.fit");
    const std::vector<unsigned short> saved(image, image + pixels());
    put_card(f, 4, "NAXIS1  =                  376 /");
    put_card(f, 5, "NAXIS2  =                  290 /");
    write_file(path("half.fit"), f);
    ASSERT_EQ(load("half.fit"), 0);
    EXPECT_EQ(disp.width1, 376);
    EXPECT_EQ(disp.height1, 290);
    EXPECT_EQ(disp.intlength, 376 * 290);
    EXPECT_TRUE(std::equal(saved.begin(), saved.begin() + 376 * 290, trial));
    // The camera's file lengths stay, so its native files still open.
    EXPECT_EQ(disp.filelen, 2 * 752 * 580);

    // An operand must be the image's size.
    use_camera(752, 580);
    fill(trial, pixels(), 9);
    EXPECT_EQ(LoadTempFITSFile(path("half.fit").c_str(), trial), 2);
    EXPECT_STREQ(fits.load_error, "376 \u00d7 290 is not the size wanted (752 \u00d7 580)");
    EXPECT_TRUE(all_equal(trial, 0, pixels(), 9));
}

TEST_F(FitsReadTest, DamagedOrMissingFilesGiveOneAndLeaveTheImage) {
    const std::string good = saved_pattern("good.fit");
    write_file(path("empty.fit"), "");
    write_file(path("header_cut.fit"), good.substr(0, 5000));
    write_file(path("header_only.fit"), good.substr(0, 5760));
    write_file(path("data_cut.fit"), good.substr(0, good.size() - 400)); // padding is 320
    std::filesystem::create_directory(path("dir.fit"));
    ::mkfifo(path("pipe.fit").c_str(), 0600);

    for (const char* name : {"missing.fit", "empty.fit", "header_cut.fit", "header_only.fit",
                             "data_cut.fit", "dir.fit", "pipe.fit"}) {
        fill(trial, pixels(), 9);
        EXPECT_EQ(load(name), 1) << name;
        EXPECT_EQ(LoadTempFITSFile(path(name).c_str(), trial), 1) << name;
        EXPECT_TRUE(all_equal(trial, 0, pixels(), 9)) << name;
    }
    EXPECT_EQ(LoadFITSFile(nullptr, 2, trial), 1);
    EXPECT_EQ(LoadFITSFile("e:\\x.fit", 2, trial), 1);

    if (::geteuid() != 0) {
        write_file(path("locked.fit"), good);
        ::chmod(path("locked.fit").c_str(), 0);
        EXPECT_EQ(load("locked.fit"), 1);
    }

    // A file cut inside its data gives nothing, not even its details.
    std::strcpy(cfg.FITS_Obj, "Mine");
    std::string named = good;
    put_card(named, 6, "OBJECT  = 'Cut short'");
    write_file(path("data_cut.fit"), named.substr(0, named.size() - 400));
    EXPECT_EQ(load("data_cut.fit"), 1);
    EXPECT_STREQ(fits.load_error, "cut short: 872240 of 872320 data bytes");
    EXPECT_STREQ(cfg.FITS_Obj, "Mine");
}

TEST_F(FitsReadTest, ExtraBytesAfterTheDataAreIgnored) {
    const std::string good = saved_pattern("big.fit");
    write_file(path("big.fit"), good + random_bytes(100000, 3));
    ASSERT_EQ(load("big.fit"), 0);
    EXPECT_TRUE(std::equal(image, image + pixels(), trial));
}

TEST_F(FitsReadTest, AnImageBeyondTheBuffersIsRefused) {
    std::string f = saved_pattern("g.fit");
    put_card(f, 4, "NAXIS1  =                 3000 /");
    put_card(f, 5, "NAXIS2  =                 2001 /");
    write_file(path("g.fit"), f);
    fill(trial, 100, 9);
    EXPECT_EQ(load("g.fit"), 2);
    EXPECT_STREQ(fits.load_error, "too large: 3000 \u00d7 2001");
    EXPECT_TRUE(all_equal(trial, 0, 100, 9));
}

TEST_F(FitsReadTest, RandomContentIsRefused) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        write_file(path("r.fit"), random_bytes(disp.filelenfitpad, seed));
        fill(trial, pixels(), 9);
        EXPECT_NE(load("r.fit"), 0) << seed;
        EXPECT_TRUE(all_equal(trial, 0, pixels(), 9)) << seed;
    }
}

TEST_F(FitsReadTest, GarbageValuesAreReadWithinTheirFields) {
    // The descriptive cards keep their keywords; their values are random
    // bytes without a closing quote or a number.
    std::string f = saved_pattern("g.fit");
    const std::string junk = random_bytes(5760, 11);
    for (int n = 6; n <= 44; ++n) {
        if (n == 36 || n == 37) continue;
        std::string c = junk.substr((n - 1) * 80, 80);
        for (char& ch : c)
            if (ch == '\'' || ch == '\0') ch = 'z';
        const bool text = f[(n - 1) * 80 + 10] == '\'';
        f.replace((n - 1) * 80 + 11, 69, c.substr(11));
        if (!text) f.replace((n - 1) * 80 + 10, 1, "z");
    }
    write_file(path("g.fit"), f);
    ASSERT_EQ(load("g.fit"), 0);
    EXPECT_TRUE(std::equal(image, image + pixels(), trial));
    EXPECT_EQ(std::strlen(cfg.FITS_Obj), 69u);
    EXPECT_EQ(std::strlen(fits.FITS_Time), 69u);
    EXPECT_EQ(std::strlen(disp.process_info[7]), 39u);
    EXPECT_EQ(std::strlen(cfg.FITS_His), 256u);
    EXPECT_EQ(std::strlen(cfg.FITS_Com), 256u);
    EXPECT_DOUBLE_EQ(fits.FITS_Exptime, 0.0); // no number: the cleared value
}

// Files of other software: the header read by keyword wherever the cards
// stand, the data by BITPIX, BZERO and BSCALE.
TEST_F(FitsReadTest, ForeignImagesAreReadByKeyword) {
    std::vector<std::string> cards = {
        "DATE-OBS= '2024-03-05T21:07:09.25' / start of exposure",
        "EXPOSURE=                  120.",
        "XPIXSZ  =                  5.4D0 / microns",
        "OBJECT  = 'M 51   '           / ''Whirlpool'' is in the comment",
        "HISTORY Calibrated elsewhere",
        "COMMENT first comment",
    };
    for (int i = 0; i < 40; ++i) cards.push_back("COMMENT filler " + std::to_string(i));
    std::vector<std::int16_t> v(40 * 30);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::int16_t>(i * 25);
    // No BZERO: plain signed values, here all within 0 ... 65535.
    write_file(path("i16.fits"), foreign_fits(16, 40, 30, cards, be_values(v)));
    std::strcpy(disp.process_info[0], "old");
    ASSERT_EQ(load("i16.fits"), 0);
    EXPECT_EQ(disp.width1, 40);
    EXPECT_EQ(disp.height1, 30);
    for (std::size_t i = 0; i < v.size(); ++i) ASSERT_EQ(trial[i], v[i]) << i;
    EXPECT_STREQ(cfg.FITS_Obj, "M 51"); // trailing spaces mean nothing in FITS
    EXPECT_STREQ(fits.FITS_Date, "2024-03-05");
    EXPECT_STREQ(fits.FITS_Time, "21:07:09.25");
    EXPECT_DOUBLE_EQ(fits.FITS_Exptime, 120);
    EXPECT_DOUBLE_EQ(disp.FITS_Pixwidth, 0.0054);
    EXPECT_STREQ(cfg.FITS_Filter, "None");
    EXPECT_STREQ(cfg.FITS_His, "Calibrated elsewhere");
    EXPECT_EQ(std::string(cfg.FITS_Com).rfind("first comment filler 0 filler 1", 0), 0u);
    EXPECT_STREQ(disp.process_info[0], ""); // nothing scaled, nothing to say
    EXPECT_EQ(cfg.FITS_SBIG, 0);

    // Unsigned 16-bit as the standard writes it: BZERO 32768, exactly.
    std::vector<std::int16_t> u(20 * 20);
    for (std::size_t i = 0; i < u.size(); ++i) u[i] = static_cast<std::int16_t>(i * 163 - 32768);
    write_file(path("u16.fits"),
               foreign_fits(16, 20, 20, {"BZERO   =                32768", "BSCALE  =    1"},
                            be_values(u)));
    ASSERT_EQ(load("u16.fits"), 0);
    for (std::size_t i = 0; i < u.size(); ++i) ASSERT_EQ(trial[i], i * 163) << i;

    // Whole numbers of any type in range come through exactly; BLANK and NaN give 0.
    std::vector<float> f32(16 * 16, 65535.0f);
    f32[1] = 0.0f;
    f32[2] = std::nanf("");
    write_file(path("f32.fits"), foreign_fits(-32, 16, 16, {}, be_values(f32)));
    ASSERT_EQ(load("f32.fits"), 0);
    EXPECT_EQ(trial[0], 65535);
    EXPECT_EQ(trial[1], 0);
    EXPECT_EQ(trial[2], 0);
    EXPECT_STREQ(disp.process_info[0], "");
    std::vector<std::int32_t> i32(16 * 16, 7);
    i32[5] = -99;
    write_file(path("i32.fits"),
               foreign_fits(32, 16, 16, {"BLANK   =                  -99", "BZERO   = 1000"},
                            be_values(i32)));
    ASSERT_EQ(load("i32.fits"), 0);
    EXPECT_EQ(trial[0], 1007);
    EXPECT_EQ(trial[5], 0);
    std::vector<std::uint8_t> u8(16 * 16, 200);
    write_file(path("u8.fits"), foreign_fits(8, 16, 16, {}, be_values(u8)));
    ASSERT_EQ(load("u8.fits"), 0);
    EXPECT_EQ(trial[255], 200);
}

TEST_F(FitsReadTest, ValuesOutsideTheRangeAreScaledAndTheHistorySaysHow) {
    std::vector<double> v(32 * 16);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = -2.5 + 0.125 * static_cast<double>(i);
    write_file(path("f64.fits"), foreign_fits(-64, 32, 16, {}, be_values(v)));
    ASSERT_EQ(load("f64.fits"), 0);
    const double k = 65535.0 / (v.back() - v.front());
    for (std::size_t i = 0; i < v.size(); ++i)
        ASSERT_EQ(trial[i], std::lround((v[i] - v.front()) * k)) << i;
    EXPECT_EQ(trial[0], 0);
    EXPECT_EQ(trial[v.size() - 1], 65535);
    EXPECT_STREQ(disp.process_info[0], "FITS BITPIX -64 scaled to 0..65535");
    char formula[40];
    std::snprintf(formula, sizeof formula, "p = (v - -2.5) * %.7g", k);
    EXPECT_STREQ(disp.process_info[1], formula);

    // BZERO -32768 on signed data: values below zero, so scaled too.
    std::vector<std::int16_t> s(16 * 16);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::int16_t>(i * 100);
    write_file(path("neg.fits"),
               foreign_fits(16, 16, 16, {"BZERO   =               -32768"}, be_values(s)));
    ASSERT_EQ(load("neg.fits"), 0);
    EXPECT_EQ(trial[0], 0);
    EXPECT_EQ(trial[255], 65535);
    EXPECT_STREQ(disp.process_info[0], "FITS BITPIX 16 scaled to 0..65535");
}

} // namespace
