#include "file_test_util.h"

#include "files/auto_save.h"
#include "files/file_state.h"
#include "platform/host_path.h"
#include "settings/ini_file.h"
#include "settings/settings.h"

#include <cstdlib>
#include <ctime>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class AutoSaveTest : public ImageFileTest {
  protected:
    void SetUp() override {
        ImageFileTest::SetUp();
        use_camera(200, 100, 4);
        for (int i = 0; i < pixels(); ++i) image[i] = static_cast<unsigned short>(i * 331);
        if (const char* tz = std::getenv("TZ")) old_tz_ = tz, had_tz_ = true;
    }
    void TearDown() override {
        if (had_tz_)
            ::setenv("TZ", old_tz_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
        ImageFileTest::TearDown();
    }
    void local_zone(const char* tz) {
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    std::string saved(const std::string& name) const { return home + "/AUTOSAVE/" + name; }

  private:
    std::string old_tz_;
    bool had_tz_ = false;
};

TEST_F(AutoSaveTest, NumbersWrapAfter65529) {
    EXPECT_EQ(next_auto_save_number(0), 1);
    EXPECT_EQ(next_auto_save_number(17), 18);
    EXPECT_EQ(next_auto_save_number(65529), 65530);
    EXPECT_EQ(next_auto_save_number(65530), 1);
    EXPECT_EQ(next_auto_save_number(65535), 1);
    EXPECT_EQ(auto_save_file_name(17), "IMG17.FIT");

    // The folder is made on the first save; after the wrap an older file in
    // the way is kept and the number moves on past it.
    cfg.auto_save_num = 65529;
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_TRUE(fs::exists(saved("IMG65530.FIT")));
    write_file(saved("IMG1.FIT"), "old");
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_EQ(cfg.auto_save_num, 2);
    EXPECT_EQ(read_file(saved("IMG1.FIT")), "old");
    EXPECT_EQ(fs::file_size(saved("IMG2.FIT")), static_cast<uintmax_t>(disp.filelenfitpad));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AutoSaveTest, ANewRunNeverReplacesTheImagesOfAnEarlierOne) {
    for (int i = 0; i < 3; ++i) ASSERT_EQ(auto_save(image), 0);
    const std::string first = read_file(saved("IMG1.FIT"));
    const std::string third = read_file(saved("IMG3.FIT"));
    ASSERT_FALSE(first.empty());

    // The settings file is gone: the next run counts from 0 again.
    ASSERT_TRUE(fs::remove(platform::host_path(cfg.ini_file)));
    reset_settings();
    LoadINIFile(cfg.ini_file);
    ASSERT_EQ(cfg.auto_save_num, 0);
    fill(image, pixels(), 7);
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_EQ(cfg.auto_save_num, 4);
    EXPECT_EQ(read_file(saved("IMG1.FIT")), first);
    EXPECT_EQ(read_file(saved("IMG3.FIT")), third);
    EXPECT_TRUE(fs::exists(saved("IMG4.FIT")));
    EXPECT_FALSE(fs::exists(saved("IMG5.FIT")));
    cfg.auto_save_num = 0;
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(cfg.auto_save_num, 4); // the number used is the one kept
}

TEST_F(AutoSaveTest, TwoProgramsSavingIntoOneFolderKeepEveryImage) {
    // Two processes with their own copy of the number, both starting at 0.
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            int failed = 0;
            cfg.auto_save_num = 0;
            for (int i = 0; i < 3; ++i) {
                fill(image, pixels(), static_cast<unsigned short>(100 * (c + 1) + i));
                failed += auto_save(image) != 0;
            }
            ::_exit(failed);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::set<unsigned short> seen;
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE(n);
        fill(image, pixels(), 0);
        ASSERT_EQ(LoadFITSFile(saved("IMG" + std::to_string(n) + ".FIT").c_str(), 2, image), 0);
        seen.insert(image[0]);
    }
    EXPECT_EQ(seen, (std::set<unsigned short>{100, 101, 102, 200, 201, 202}));
    EXPECT_FALSE(fs::exists(saved("IMG7.FIT")));
}

TEST_F(AutoSaveTest, TheFileIsSixteenBitFitsAndTheNumberSurvives) {
    fits.eightbit = 1; // a manual 8-bit save does not carry over
    cfg.auto_save_num = 41;
    std::snprintf(cfg.FITS_Obj, sizeof cfg.FITS_Obj, "NGC 7000");
    ASSERT_EQ(auto_save(image), 0);

    fill(image, pixels(), 0);
    EXPECT_EQ(LoadFITSFile(saved("IMG42.FIT").c_str(), 2, image), 0);
    for (int i = 0; i < pixels(); ++i) ASSERT_EQ(image[i], static_cast<unsigned short>(i * 331));
    EXPECT_STREQ(cfg.FITS_Obj, "NGC 7000");

    // The settings file was written with the new number.
    cfg.auto_save_num = 0;
    EXPECT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(cfg.auto_save_num, 42);
}

TEST_F(AutoSaveTest, FoldersFromTheSettings) {
    std::snprintf(cfg.auto_save_dir, sizeof cfg.auto_save_dir, "c:\\images\\m31");
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_TRUE(fs::exists(home + "/images/m31/IMG1.FIT"));

    // An existing folder is used whatever the case of its name.
    fs::create_directories(home + "/Night");
    std::snprintf(cfg.auto_save_dir, sizeof cfg.auto_save_dir, "C:\\NIGHT");
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_TRUE(fs::exists(home + "/Night/IMG2.FIT"));
    EXPECT_FALSE(fs::exists(home + "/NIGHT"));
}

TEST_F(AutoSaveTest, FailuresStillAdvanceTheNumber) {
    write_file(home + "/blocked", "a file where the folder should be");
    std::snprintf(cfg.auto_save_dir, sizeof cfg.auto_save_dir, "c:\\blocked");
    cfg.auto_save_num = 9;
    EXPECT_EQ(quick_save_fits(), 1);
    EXPECT_EQ(cfg.auto_save_num, 10);
    EXPECT_EQ(shown(), said(49));
    EXPECT_FALSE(fs::exists(autosave + "/Nocteris.INI"));

    std::snprintf(cfg.auto_save_dir, sizeof cfg.auto_save_dir, "d:\\autosave");
    EXPECT_EQ(auto_save(image), 1);
    EXPECT_EQ(cfg.auto_save_num, 11);

    // The FITS file is written but the settings file cannot be.
    std::snprintf(cfg.auto_save_dir, sizeof cfg.auto_save_dir, "c:\\ok");
    fs::create_directories(autosave + "/Nocteris.INI");
    ui.boxes.clear();
    EXPECT_EQ(quick_save_fits(), 3);
    EXPECT_TRUE(fs::exists(home + "/ok/IMG12.FIT"));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AutoSaveTest, TimeStampsAreMidExposureInUT) {
    // Local clock three hours ahead of UT; FITS_Diff brings it back.
    local_zone("XYZ-3");
    cfg.FITS_Diff = -3;
    std::tm start{};
    start.tm_year = 2023 - 1900;
    start.tm_mon = 11;
    start.tm_mday = 31;
    start.tm_hour = 23;
    start.tm_min = 50;
    start.tm_sec = 0;
    const std::time_t t0 = ::timegm(&start); // 2023-12-31 23:50:00 UT
    files.start_exp = t0;
    files.end_exp = t0 + 1201; // mid-exposure 00:00:00.5, kept as whole seconds
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_STREQ(fits.FITS_Date, "2024-01-01");
    EXPECT_STREQ(fits.FITS_Time, "00:00:00");
    EXPECT_EQ(files.start_exp, t0 + 600);
    const std::string f = read_file(saved("IMG1.FIT"));
    EXPECT_NE(f.find("2024-01-01"), std::string::npos);
    EXPECT_NE(f.find("00:00:00"), std::string::npos);

    // Two hours behind the local clock.
    cfg.FITS_Diff = -2;
    files.start_exp = t0;
    files.end_exp = t0;
    ASSERT_EQ(auto_save(image), 0);
    EXPECT_STREQ(fits.FITS_Date, "2024-01-01");
    EXPECT_STREQ(fits.FITS_Time, "00:50:00");
}

} // namespace
