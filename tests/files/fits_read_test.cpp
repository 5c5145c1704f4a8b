// The FITS readers: round trips, older files, refusals and damaged input.
#include "file_test_util.h"
#include "settings/settings.h"

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

TEST_F(FitsReadTest, FilesNotOfThisLayoutOrCameraGiveTwo) {
    const std::string good = saved_pattern("good.fit");
    struct Case {
        int card;
        const char* text;
    };
    const Case cases[] = {
        {4, "NAXIS1  =                  751 /"}, {4, "NAXIS1  =                  375 /"},
        {5, "NAXIS2  =                 1160 /"}, {2, "BITPIX  =                    8 /"},
        {2, "BITPIX  =                  -32 /"}, {3, "NAXIS   =                    3 /"},
    };
    std::strcpy(cfg.FITS_Obj, "unchanged");
    for (const Case& c : cases) {
        std::string f = good;
        put_card(f, c.card, c.text);
        write_file(path("bad.fit"), f);
        fill(trial, pixels(), 9);
        EXPECT_EQ(load("bad.fit"), 2) << c.text;
        EXPECT_EQ(LoadTempFITSFile(path("bad.fit").c_str(), trial), 2) << c.text;
        EXPECT_TRUE(all_equal(trial, 0, pixels(), 9)) << c.text;
        EXPECT_STREQ(cfg.FITS_Obj, "unchanged");
    }

    // Half the camera's width and height pass the check (a binned file); its
    // data are then read for the geometry in force.
    std::string half = good;
    put_card(half, 4, "NAXIS1  =                  376 /");
    put_card(half, 5, "NAXIS2  =                  290 /");
    write_file(path("half.fit"), half);
    EXPECT_EQ(load("half.fit"), 0);
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

    // A file cut inside its data has given its details already.
    ClearFITSInfo();
    std::string named = good;
    put_card(named, 6, "OBJECT  = 'Cut short'");
    write_file(path("data_cut.fit"), named.substr(0, named.size() - 400));
    EXPECT_EQ(load("data_cut.fit"), 1);
    EXPECT_STREQ(cfg.FITS_Obj, "Cut short");
}

TEST_F(FitsReadTest, ExtraBytesAfterTheDataAreIgnored) {
    const std::string good = saved_pattern("big.fit");
    write_file(path("big.fit"), good + random_bytes(100000, 3));
    ASSERT_EQ(load("big.fit"), 0);
    EXPECT_TRUE(std::equal(image, image + pixels(), trial));
}

TEST_F(FitsReadTest, ARecordBeyondTheBuffersIsRefused) {
    const std::string good = saved_pattern("g.fit");
    set_image_size(3000, 2001); // more than the image buffers hold
    fill(trial, 100, 9);
    EXPECT_EQ(load("g.fit"), 1);
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

TEST_F(FitsReadTest, GarbageCardsAreReadWithinTheirFields) {
    // A header that passes the layout check, every other card random bytes
    // without a closing quote or a number.
    std::string f = saved_pattern("g.fit");
    const std::string junk = random_bytes(5760, 11);
    for (int n = 6; n <= 72; ++n) {
        if (n == 36) continue;
        std::string c = junk.substr((n - 1) * 80, 80);
        for (char& ch : c)
            if (ch == '\'' || ch == '\0') ch = 'z';
        f.replace((n - 1) * 80, 80, c);
    }
    write_file(path("g.fit"), f);
    ASSERT_EQ(load("g.fit"), 0);
    EXPECT_TRUE(std::equal(image, image + pixels(), trial));
    EXPECT_EQ(std::strlen(cfg.FITS_Obj), 69u);
    EXPECT_EQ(std::strlen(fits.FITS_Time), 69u);
    EXPECT_EQ(std::strlen(disp.process_info[7]), 39u);
    EXPECT_EQ(std::strlen(cfg.FITS_His), 256u);
    EXPECT_EQ(std::strlen(cfg.FITS_Com), 256u);
}

} // namespace
