#include "display/image_store.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "support/test_env.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <sys/resource.h>
#include <tuple>

namespace fs = std::filesystem;

namespace {

// Field sizes in file order (index 0 unused).
constexpr int SIZES[93] = {0,  2,  2,  1,   2,  2,  2,  2,  2,  1,  1, // 1-10
                           2,  2,  2,  2,   1,  1,  1,  2,  2,  4,     // 11-20
                           80, 80, 80, 80,  80, 80, 80, 80, 80, 80,    // 21-30
                           80, 80, 80, 80,  8,  8,  1,  1,  1,  1,     // 31-40
                           1,  1,  2,  100, 2,  2,  2,  2,  2,  2,     // 41-50
                           1,  1,  2,  1,   2,  80, 1,  2,  2,  1,     // 51-60
                           1,  1,  1,  1,   1,  1,  1,  1,  1,  1,     // 61-70
                           2,  2,  2,  2,   1,  2,  1,  1,  1,  1,     // 71-80
                           1,  1,  1,  2,   1,  1,  1,  1,  1,  1,     // 81-90
                           2,  1};                                     // 91-92

int offset_of(int field) {
    int o = 0;
    for (int f = 1; f < field; ++f) o += SIZES[f];
    return o;
}

std::string field_bytes(const std::string& file, int field) {
    return file.substr(offset_of(field), SIZES[field]);
}

std::string encoded() {
    unsigned char buf[INI_FILE_BYTES];
    encode_ini(buf);
    return std::string(reinterpret_cast<char*>(buf), sizeof buf);
}

std::string le16(int v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

std::string card(const std::string& key, const std::string& value) {
    std::string c = key + value + "'";
    c.resize(80, ' ');
    return c;
}

void put_text(char* dst, std::size_t size, const std::string& s) {
    std::snprintf(dst, size, "%s", s.c_str());
}

std::string pattern(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('A' + i % 26);
    return s;
}

// A value other than the default in every one of the 92 fields.
void set_all_non_default() {
    cfg.auto_save_num = 40000, cfg.FITS_Diff = -5, cfg.fast_par = 1, cfg.default_port = 2;
    cfg.star_mask = 13, cfg.default_speed = 3, cfg.slewcom = '3', cfg.slewdefault = 4;
    cfg.default_back = 'g', cfg.focus_delay = 0, cfg.slewx = -7, cfg.slewy = 9;
    cfg.backlashx = 20, cfg.backlashy = 5, cfg.ignore_small = 1, cfg.telescope = 'l';
    cfg.disable_interrupts = 0, cfg.hystx = -3, cfg.hysty = 20;
    cfg.n = 's', cfg.s = 'n', cfg.e = 'w', cfg.w = 'e';
    put_text(cfg.FITS_Obj, FITS_TEXT, "M 31");
    put_text(cfg.FITS_Tel, FITS_TEXT, "Celestron 11");
    put_text(cfg.FITS_Ins, FITS_TEXT, "Nocteris Mk2");
    put_text(cfg.FITS_Obs, FITS_TEXT, "A. Observer");
    put_text(cfg.FITS_Src, FITS_TEXT, "Backyard");
    put_text(cfg.FITS_His, FITS_LONG_TEXT, pattern(255));
    put_text(cfg.FITS_Com, FITS_LONG_TEXT, pattern(230).substr(3));
    put_text(cfg.FITS_Filter, FITS_TEXT, "Ha 7nm");
    cfg.FITS_Aperture = 78.5, cfg.FITS_Focallen = 2800.25, cfg.FITS_SBIG = 1;
    cfg.Mk2_fast_par = 1, cfg.apply_correction = 0, cfg.Losmandy_pause = 1;
    cfg.gotcontrolbox = 1, cfg.Debug_Mode = 1, cfg.pause_secs = 20;
    put_text(cfg.auto_save_subdir, AUTOSAVE_DIR_TEXT, "c:\\astro\\m31");
    cfg.guider_slewx = 12, cfg.guider_slewy = 13, cfg.guider_backlashx = 30;
    cfg.guider_backlashy = 29, cfg.guider_hystx = 4, cfg.guider_hysty = 5;
    cfg.ignore_backlash = 0, cfg.filter_wheel = 1, cfg.guider_theta = -45.0f;
    cfg.ignore_RA_angle = 0, cfg.Max_Filters = 5;
    const char* names[] = {"L", "R", "G", "B", "Ha", "OIII", "SII", "Dark"};
    for (int i = 0; i < FILTER_NAMES; ++i)
        put_text(cfg.Filterbox_Filter_Name[i], FILTER_NAME_TEXT, names[i]);
    cfg.use_saved_values = 1, cfg.exp_value = 300, cfg.continuous_delay = 5, cfg.exp_range = 'm';
    cfg.exposure_delay = 1, cfg.continuous = 1, cfg.auto_save_fits = 1, cfg.darkframe_remove = 1;
    cfg.flatfield_remove = 1, disp.binned = 0, cfg.binned21 = 1, cfg.highres_intl = 1;
    cfg.highres_nonintl = 1, cfg.ignore_pid = 1;
    cfg.AOUnit_slewx = 7, cfg.AOUnit_slewy = 8, cfg.AOUnit_xrate = 9, cfg.AOUnit_yrate = 11;
    cfg.AOUnitModeParallel = 1, cfg.AOUnit_comport = 1, cfg.GuiderMode = 'A';
    cfg.AOn = 's', cfg.AOs = 'n', cfg.AOe = 'w', cfg.AOw = 'e';
    cfg.AOUnit_available = 1, cfg.AOUnit_halfrate = 0, cfg.PC_port = 4;
    cfg.Mn = 'S', cfg.Ms = 'N', cfg.Mt = 'W', cfg.Mw = 'T';
    cfg.ignore_north = 1, cfg.ignore_south = 1, cfg.ignore_amount = 500, cfg.tifswitch = 1;
}

void reset_all() {
    reset_settings();
    reset_display_state();
}

class IniFileTest : public NocterisTest {
  protected:
    std::string ini() const { return autosave + "/Nocteris.INI"; }

    // A complete file of non-default values in place, and the state reset.
    std::string write_non_default_file() {
        set_all_non_default();
        EXPECT_EQ(SaveINIFile(cfg.ini_file), 0);
        std::string bytes = read_file(ini());
        reset_all();
        return bytes;
    }

    // The file of `bytes` with `value` written over field `field`.
    void write_patched(std::string bytes, int field, const std::string& value) {
        bytes.replace(offset_of(field), value.size(), value);
        write_file(ini(), bytes);
    }
};

} // namespace

TEST_F(IniFileTest, FirstStartCreatesTheFolderAndAFileOfDefaults) {
    ASSERT_FALSE(fs::exists(autosave));
    EXPECT_EQ(LoadINIFile(cfg.ini_file), 0);

    std::string g;
    g += le16(0) + le16(0) + "n" + le16(0) + le16(8) + le16(1) + le16(1) + le16(1); // 1-8
    g += "l1" + le16(2) + le16(2) + le16(0) + le16(0) + "0n1" + le16(0) + le16(0);  // 9-19
    g += "nsew";                                                                    // 20
    g += card("OBJECT  = '", "") + card("TELESCOP= '", "") + card("INSTRUME= '", "Veltrane CCD");
    g += card("OBSERVER= '", "") + card("ORIGIN  = '", "");
    for (int i = 0; i < 4; ++i) g += card("HISTORY = '", std::string(68, ' '));
    for (int i = 0; i < 4; ++i) g += card("COMMENT = '", std::string(68, ' '));
    g += card("FILTER  = '", "None");
    g += std::string(16, '\0');                                     // 35-36: two doubles 0.0
    g += "nnynnn" + le16(10);                                       // 37-43
    g += std::string(1, '\0') + std::string(99, ' ');               // 44: empty folder
    g += le16(6) + le16(6) + le16(0) + le16(0) + le16(0) + le16(0); // 45-50
    g += "yn" + le16(0) + "y" + le16(7);                            // 51-55
    for (std::string name : {"Blank", "Filter 2", "Filter 3", "Filter 4", "Filter 5", "Filter 6",
                             "Filter 7", "Filter 8"}) {
        name.resize(10, '\0');
        g += name;
    }
    // 57-69; `binned` (66) is the one that starts set.
    g += "n" + le16(1) + le16(0) + "s" + "nnnnn" + "y" + "nnn";
    g += "n" + le16(6) + le16(6) + le16(6) + le16(6) + "n" + le16(3) + "T" + "nsew"; // 70-81
    g += "ny" + le16(0) + "NSTW" + "nn" + le16(1000) + "n";                          // 82-92
    ASSERT_EQ(g.size(), 1424u);
    ASSERT_EQ(offset_of(93), 1424);

    EXPECT_EQ(read_file(ini()), g);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(fs::exists(ini() + ".tmp"));
}

TEST_F(IniFileTest, NumberAndLetterRules) {
    // Guider and AO rates of 50 or more are written as 10, a Dec backlash as 0.
    cfg.guider_slewx = 50, cfg.guider_slewy = 49, cfg.guider_backlashx = 60;
    cfg.guider_backlashy = 60, cfg.AOUnit_yrate = 32767;
    cfg.slewcom = 'x', cfg.focus_delay = 2, cfg.guider_theta = -12.9f;
    const std::string f = encoded();
    EXPECT_EQ(field_bytes(f, 45), le16(10));
    EXPECT_EQ(field_bytes(f, 46), le16(49));
    EXPECT_EQ(field_bytes(f, 47), le16(10));
    EXPECT_EQ(field_bytes(f, 48), le16(0));
    EXPECT_EQ(field_bytes(f, 74), le16(10));
    EXPECT_EQ(field_bytes(f, 7), le16(5));
    EXPECT_EQ(field_bytes(f, 10), "0"); // only 1 counts as set
    EXPECT_EQ(field_bytes(f, 53), le16(-12));
    EXPECT_EQ(cfg.guider_backlashy, 60); // the globals stay as they are

    fs::create_directories(autosave);
    for (auto [code, letter] : {std::pair{1, '1'}, {4, '4'}, {0, '5'}, {-3, '5'}}) {
        write_patched(f, 7, le16(code));
        ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
        EXPECT_EQ(cfg.slewcom, letter) << code;
    }
    EXPECT_EQ(cfg.guider_theta, -12.0f);
    struct Colour {
        char letter;
        int r, g, b;
    };
    for (Colour c : {Colour{'l', 192, 192, 192}, {'g', 90, 90, 90}, {'?', 120, 40, 40}}) {
        write_patched(f, 9, std::string(1, c.letter));
        ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
        EXPECT_EQ(cfg.default_back, c.letter);
        EXPECT_EQ(std::tuple(disp.back_r, disp.back_g, disp.back_b), std::tuple(c.r, c.g, c.b));
    }
}

TEST_F(IniFileTest, RoundTripOfEveryField) {
    set_all_non_default();
    const std::string saved = encoded();
    reset_all();
    const std::string defaults = encoded();
    for (int field = 1; field <= 92; ++field)
        EXPECT_NE(field_bytes(saved, field), field_bytes(defaults, field)) << "field " << field;

    set_all_non_default();
    ASSERT_EQ(SaveINIFile(cfg.ini_file), 0);
    EXPECT_EQ(read_file(ini()), saved);
    reset_all();
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(encoded(), saved);

    // What the bytes alone do not show.
    EXPECT_EQ(cfg.auto_save_num, 40000);
    EXPECT_STREQ(cfg.auto_save_dir, "c:\\astro\\m31");
    EXPECT_EQ(disp.back_r, 90);
    EXPECT_EQ(cfg.guider_theta, -45.0f);
    EXPECT_EQ(std::string(cfg.FITS_His), pattern(255));
    EXPECT_STREQ(cfg.FITS_Obj, "M 31");
    EXPECT_STREQ(cfg.Filterbox_Filter_Name[7], "Dark");
    EXPECT_EQ(disp.binned, 0);
    EXPECT_EQ(cfg.continuous, 1);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(IniFileTest, AnOutOfRangeBacklashRewritesTheFileFromTheCurrentValues) {
    const std::string good = write_non_default_file();
    const std::string defaults = encoded();
    cfg.backlashx = 3; // the value in memory when the bad file is read
    write_patched(good, 13, le16(25));

    EXPECT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(cfg.backlashx, 3);
    EXPECT_EQ(cfg.star_mask, 13); // fields before it were taken, later ones not
    EXPECT_EQ(cfg.hysty, 0);
    const std::string now = read_file(ini());
    EXPECT_EQ(now.substr(0, offset_of(13)), good.substr(0, offset_of(13)));
    EXPECT_EQ(field_bytes(now, 13), le16(3));
    EXPECT_EQ(now.substr(offset_of(14)), defaults.substr(offset_of(14)));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(IniFileTest, CheckedFieldsAcceptOnlyTheirValues) {
    const std::string good = write_non_default_file();
    const std::string defaults = encoded();
    struct Case {
        int field;
        std::string bytes;
    };
    const Case bad[] = {{13, le16(-1)}, {14, le16(21)}, {15, "y"},      {16, "L"},     {17, "2"},
                        {20, "nsEW"},   {20, "ewns"},   {47, le16(31)}, {48, le16(-2)}};
    for (const Case& c : bad) {
        write_patched(good, c.field, c.bytes);
        reset_all();
        ASSERT_EQ(LoadINIFile(cfg.ini_file), 0) << c.field;
        // Rewritten at once: the bad field and all after it from memory.
        const std::string now = read_file(ini());
        EXPECT_EQ(now.substr(0, offset_of(c.field)), good.substr(0, offset_of(c.field)));
        EXPECT_EQ(now.substr(offset_of(c.field)), defaults.substr(offset_of(c.field))) << c.field;
    }
    // Direction letters pass when the third or fourth is 'e' or 'w'.
    const Case fine[] = {{13, le16(0)}, {14, le16(20)}, {15, "0"},      {16, "b"},    {17, "1"},
                         {20, "xxex"},  {20, "abcw"},   {47, le16(30)}, {48, le16(0)}};
    for (const Case& c : fine) {
        write_patched(good, c.field, c.bytes);
        reset_all();
        ASSERT_EQ(LoadINIFile(cfg.ini_file), 0) << c.field;
        EXPECT_EQ(field_bytes(read_file(ini()), c.field), c.bytes); // not rewritten
        EXPECT_EQ(field_bytes(encoded(), c.field), c.bytes);
        EXPECT_EQ(cfg.tifswitch, 1) << c.field; // read to the end
    }
}

TEST_F(IniFileTest, HistorySpreadOverFourCards) {
    const std::string text = pattern(100);
    put_text(cfg.FITS_His, FITS_LONG_TEXT, text);
    ASSERT_EQ(SaveINIFile(cfg.ini_file), 0);
    const std::string f = read_file(ini());
    EXPECT_EQ(field_bytes(f, 26), "HISTORY = '" + text.substr(0, 68) + "'");
    EXPECT_EQ(field_bytes(f, 27), "HISTORY = '" + text.substr(68) + std::string(36, ' ') + "'");
    EXPECT_EQ(field_bytes(f, 28), "HISTORY = '" + std::string(68, ' ') + "'");
    EXPECT_EQ(field_bytes(f, 29), field_bytes(f, 28));

    reset_all();
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(std::string(cfg.FITS_His), text + std::string(36 + 68 + 51, ' '));
    ASSERT_EQ(SaveINIFile(cfg.ini_file), 0); // saving what was read changes nothing
    EXPECT_EQ(read_file(ini()), f);

    // A full 256-character text keeps 51 characters of the fourth card.
    put_text(cfg.FITS_Com, FITS_LONG_TEXT, pattern(256));
    ASSERT_EQ(SaveINIFile(cfg.ini_file), 0);
    EXPECT_EQ(field_bytes(read_file(ini()), 33),
              "COMMENT = '" + pattern(256).substr(204) + std::string(16, ' ') + "'");
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(std::string(cfg.FITS_Com), pattern(255));
}

TEST_F(IniFileTest, CardValuesStayInsideTheirTexts) {
    // Cards that lost their closing quote give 69 characters each.
    std::string f = write_non_default_file();
    for (int field = 21; field <= 34; ++field)
        f.replace(offset_of(field) + 11, 69, std::string(69, 'x'));
    write_file(ini(), f);
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(std::string(cfg.FITS_Obj), std::string(69, 'x'));
    EXPECT_EQ(std::string(cfg.FITS_His), std::string(256, 'x'));
    // A value longer than a card holds is cut to 68 characters.
    EXPECT_EQ(field_bytes(encoded(), 21), "OBJECT  = '" + std::string(68, 'x') + "'");

    // The folder block: the text and its zero, then spaces; "'" ends it too.
    put_text(cfg.auto_save_subdir, AUTOSAVE_DIR_TEXT, "c:\\astro");
    f = encoded();
    EXPECT_EQ(field_bytes(f, 44), std::string("c:\\astro") + '\0' + std::string(91, ' '));
    for (auto [block, dir] : {std::pair<std::string, std::string>{"c:\\ne'w", "c:\\ne"},
                              {"'", "c:\\AUTOSAVE"},
                              {std::string(100, 'd'), std::string(99, 'd')}}) {
        write_patched(f, 44, block);
        ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
        EXPECT_EQ(std::string(cfg.auto_save_dir), dir);
        EXPECT_EQ(std::string(cfg.auto_save_subdir), block == "'" ? "" : dir);
    }
}

TEST_F(IniFileTest, SavedExposureValuesAreTakenOnlyWhenAskedFor) {
    const std::string good = write_non_default_file(); // use_saved_values set
    write_patched(good, 57, "n");
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(std::tuple(cfg.exp_value, cfg.continuous_delay, cfg.exp_range, cfg.continuous,
                         disp.binned, cfg.highres_nonintl),
              std::tuple(1, 0, 's', 0, 1, 0));
    EXPECT_EQ(cfg.ignore_pid, 1); // the fields after them are read as usual

    write_file(ini(), good);
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(std::tuple(cfg.exp_value, cfg.continuous_delay, cfg.exp_range, cfg.continuous,
                         disp.binned, cfg.highres_nonintl),
              std::tuple(300, 5, 'm', 1, 0, 1));
}

TEST_F(IniFileTest, FastParallelByteMustBeYOrN) {
    const std::string good = write_non_default_file();
    for (char c : {'y', 'n'}) {
        write_patched(good, 3, std::string(1, c));
        reset_all();
        ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
        EXPECT_EQ(cfg.fast_par, c == 'y');
    }
    EXPECT_TRUE(ui.boxes.empty());

    write_patched(good, 3, "Y");
    reset_all();
    EXPECT_EQ(LoadINIFile(cfg.ini_file), 2);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Failed to read fast_par value");
    EXPECT_EQ(ui.boxes[0].caption, "Nocteris");
    EXPECT_EQ(cfg.FITS_Diff, -5);                                          // read before it
    EXPECT_EQ(cfg.star_mask, 8);                                           // not reached
    EXPECT_EQ(read_file(ini()), good.substr(0, 4) + "Y" + good.substr(5)); // left alone
}

TEST_F(IniFileTest, MissingOrShortFilesKeepWhatCouldNotBeRead) {
    fs::create_directories(autosave);
    EXPECT_EQ(LoadINIFile(cfg.ini_file), 2);
    EXPECT_FALSE(fs::exists(ini()));

    const std::string good = write_non_default_file();
    reset_all();
    const std::string defaults = encoded();
    for (int len = 0; len < INI_FILE_BYTES; ++len) {
        write_file(ini(), good.substr(0, len));
        reset_all();
        ASSERT_EQ(LoadINIFile(cfg.ini_file), 2) << len;
        // Whole fields before the end are taken, the rest keep their defaults.
        const std::string now = encoded();
        for (int field = 1; field <= 92; ++field) {
            const bool whole = offset_of(field) + SIZES[field] <= len;
            ASSERT_EQ(field_bytes(now, field), field_bytes(whole ? good : defaults, field))
                << "length " << len << " field " << field;
        }
    }
    EXPECT_TRUE(ui.boxes.empty());

    // Bytes after the last field are ignored.
    write_file(ini(), good + "trailing");
    reset_all();
    EXPECT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(encoded(), good);
}

TEST_F(IniFileTest, GarbageFilesNeverCrashAndLeaveTextsTerminated) {
    fs::create_directories(autosave);
    write_file(ini(), std::string(INI_FILE_BYTES, '\xFF'));
    EXPECT_EQ(LoadINIFile(cfg.ini_file), 2);
    ASSERT_EQ(ui.boxes.size(), 1u); // the fast-parallel byte
    EXPECT_EQ(cfg.auto_save_num, 65535);
    EXPECT_EQ(cfg.FITS_Diff, -1);
    EXPECT_EQ(cfg.star_mask, 8);

    // Random files, and valid ones with random bytes changed, get deep into the fields.
    const std::string good = write_non_default_file();
    std::mt19937 rng(1234);
    for (int round = 0; round < 1500; ++round) {
        std::string f;
        if (round % 2) {
            f = good;
            const int changes = 1 + static_cast<int>(rng() % 40);
            for (int i = 0; i < changes; ++i) f[rng() % f.size()] = static_cast<char>(rng());
            if (rng() % 8 == 0) f.resize(rng() % f.size());
        } else {
            f.resize(rng() % 1600);
            for (char& c : f) c = static_cast<char>(rng());
            if (f.size() > 4) f[4] = 'y';
        }
        write_file(ini(), f);
        reset_all();
        const int r = LoadINIFile(cfg.ini_file);
        ASSERT_TRUE(r == 0 || r == 2) << round;
        const std::pair<const char*, std::size_t> texts[] = {
            {cfg.FITS_His, FITS_LONG_TEXT},
            {cfg.FITS_Obj, FITS_TEXT},
            {cfg.auto_save_dir, AUTOSAVE_DIR_TEXT},
            {cfg.Filterbox_Filter_Name[7], FILTER_NAME_TEXT}};
        for (auto [text, size] : texts) ASSERT_LT(strnlen(text, size), size) << round;
        ASSERT_TRUE(cfg.backlashx >= 0 && cfg.backlashx <= 20);
        // Whatever was read can be written and read again. (A history card
        // that lost its closing quote shifts the later characters, so the
        // long texts may come back one character shorter.)
        ASSERT_EQ(SaveINIFile(cfg.ini_file), 0);
        const std::string once = encoded();
        ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
        const std::string again = encoded();
        ASSERT_EQ(again.substr(0, offset_of(26)), once.substr(0, offset_of(26))) << round;
        ASSERT_EQ(again.substr(offset_of(34)), once.substr(offset_of(34))) << round;
        ui.boxes.clear();
    }
}

TEST_F(IniFileTest, AFailedSaveLeavesThePreviousFile) {
    const std::string good = write_non_default_file();

    // The write stops part-way (file size limit), as on a full disk.
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &old);
    rlimit saved_limit{};
    ::getrlimit(RLIMIT_FSIZE, &saved_limit);
    rlimit small = saved_limit;
    small.rlim_cur = 700;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const int r = SaveINIFile(cfg.ini_file);
    ::setrlimit(RLIMIT_FSIZE, &saved_limit);
    ::sigaction(SIGXFSZ, &old, nullptr);

    EXPECT_EQ(r, 3);
    EXPECT_EQ(read_file(ini()), good);
    EXPECT_FALSE(fs::exists(ini() + ".tmp"));
    EXPECT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(encoded(), good);

    // The file cannot be replaced at all.
    fs::remove(ini());
    fs::create_directories(ini() + "/blocked");
    EXPECT_EQ(SaveINIFile(cfg.ini_file), 3);
    EXPECT_FALSE(fs::exists(ini() + ".tmp"));
    EXPECT_EQ(SaveINIFile("d:\\Nocteris.INI"), 3);
    EXPECT_EQ(LoadINIFile("d:\\Nocteris.INI"), 2);
    EXPECT_TRUE(ui.boxes.empty()); // the callers pick the messages
}

TEST_F(IniFileTest, UniversalTimeIsTheLocalClockPlusTheDifference) {
    const char* old_tz = std::getenv("TZ");
    const std::string saved_tz = old_tz ? old_tz : "";
    ::setenv("TZ", "EST5", 1); // local = UT - 5 h
    ::tzset();
    const std::time_t t = 1704067200; // 2024-01-01 00:00:00 UT
    cfg.FITS_Diff = 5;
    std::tm ut = fits_ut_time(t);
    EXPECT_EQ(std::tuple(ut.tm_year, ut.tm_mon, ut.tm_mday, ut.tm_hour), std::tuple(124, 0, 1, 0));
    cfg.FITS_Diff = -5; // across the year end
    ut = fits_ut_time(t);
    EXPECT_EQ(std::tuple(ut.tm_year, ut.tm_mon, ut.tm_mday, ut.tm_hour),
              std::tuple(123, 11, 31, 14));

    // Loading and saving leave the process time zone alone.
    ASSERT_EQ(SaveINIFile(cfg.ini_file), 0);
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_STREQ(std::getenv("TZ"), "EST5");
    if (old_tz)
        ::setenv("TZ", saved_tz.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}
