#include "display/image_store.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "settings/settings_controls.h"
#include "support/test_env.h"

#include <filesystem>
#include <functional>
#include <iterator>
#include <tuple>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace ini_id;

namespace {

std::string cwd() {
    char buf[4096];
    return ::getcwd(buf, sizeof buf) ? buf : "";
}

class SettingsControlsTest : public NocterisTest {
  protected:
    // Clicks `id` the way the dialog does: the marked handlers take the
    // number fields first.
    void click(int id, const IniNumbers& fields) {
        if (ini_rereads_numbers(id)) ini_set_manually(fields);
        ini_click(id);
    }
};

} // namespace

TEST_F(SettingsControlsTest, RadioGroupsSetOneValueAndShowIt) {
    struct Group {
        int first;
        std::vector<int> values;
        std::function<int()> global;
    };
    const Group groups[] = {
        {StarMask7, {7, 8, 9, 11, 13, 15}, [] { return int(cfg.star_mask); }},
        {TelescopeLX200, {'l', 'b', 'n'}, [] { return int(cfg.telescope); }},
        {Train1, {1, 2, 4, 8}, [] { return cfg.slewdefault; }},
        {Ignore10, {1000, 800, 500, 200}, [] { return cfg.ignore_amount; }},
        {Pause10, {10, 15, 20}, [] { return cfg.pause_secs; }},
    };
    for (const Group& g : groups) {
        const int count = static_cast<int>(g.values.size());
        for (int i = count - 1; i >= 0; --i) {
            ini_click(g.first + i);
            EXPECT_EQ(g.global(), g.values[i]) << g.first + i;
            for (int j = 0; j < count; ++j) EXPECT_EQ(ini_checked(g.first + j), i == j);
        }
    }
}

TEST_F(SettingsControlsTest, ToggleButtonsFlipTheirGlobalAndShowIt) {
    struct Toggle {
        int id;
        std::function<int()> global;
    };
    const Toggle toggles[] = {
        {FocusDelay, [] { return cfg.focus_delay; }},
        {IgnoreSmall, [] { return int(cfg.ignore_small); }},
        {NoNorth, [] { return cfg.ignore_north; }},
        {NoSouth, [] { return cfg.ignore_south; }},
        {DisableInterrupts, [] { return cfg.disable_interrupts; }},
        {ApplyCorrection, [] { return cfg.apply_correction; }},
        {LosmandyPause, [] { return cfg.Losmandy_pause; }},
        {FitsUnsigned, [] { return cfg.FITS_SBIG; }},
        {UseSavedValues, [] { return cfg.use_saved_values; }},
        {IgnorePid, [] { return cfg.ignore_pid; }},
        {AOHalfRate, [] { return cfg.AOUnit_halfrate; }},
        {Tiff16, [] { return cfg.tifswitch; }},
        {DebugMode, [] { return int(cfg.Debug_Mode); }},
    };
    for (const Toggle& t : toggles) {
        const int before = t.global();
        ini_click(t.id);
        EXPECT_EQ(t.global(), before ? 0 : 1) << t.id;
        EXPECT_EQ(ini_checked(t.id), t.global() != 0) << t.id;
        ini_click(t.id);
        EXPECT_EQ(t.global(), before ? 1 : 0) << t.id;
    }
}

TEST_F(SettingsControlsTest, ButtonsWithMoreThanOneEffect) {
    ini_click(BackRed);
    EXPECT_EQ(std::tuple(cfg.default_back, disp.back_r, disp.back_g, disp.back_changed),
              std::tuple('r', 120, 40, 1));
    disp.back_changed = 0;
    ini_click(BackRed + 2);
    EXPECT_EQ(std::tuple(cfg.default_back, disp.back_b, disp.back_changed), std::tuple('g', 90, 1));
    EXPECT_TRUE(ini_checked(BackRed + 2) && !ini_checked(BackRed));
    cfg.default_back = 'q'; // neither grey: painted red, so shown as red
    EXPECT_TRUE(ini_checked(BackRed));

    ini_click(DebugMode);
    EXPECT_EQ(cfg.Show_Interface_Details, 1);
    // Hiding the countdown is the check mark; the global says "display it".
    ini_click(HideCountdown);
    EXPECT_EQ(cfg.display_exposure, 0);
    EXPECT_TRUE(ini_checked(HideCountdown));
    // Switching the AO unit on selects it for guiding; switching off leaves the mode.
    ini_click(AOAvailable);
    EXPECT_EQ(cfg.GuiderMode, 'A');
    cfg.GuiderMode = 'T';
    ini_click(AOAvailable);
    EXPECT_EQ(cfg.GuiderMode, 'T');

    ini_click(SwapNS);
    EXPECT_EQ(std::string({cfg.n, cfg.s, cfg.e, cfg.w}), "snew");
    EXPECT_TRUE(ini_checked(SwapNS) && !ini_checked(SwapEW));
    ini_click(SwapEW);
    EXPECT_EQ(std::string({cfg.n, cfg.s, cfg.e, cfg.w}), "snwe");
    ini_click(SwapEW);
    EXPECT_EQ(std::string({cfg.e, cfg.w}), "ew");
    cfg.n = 'x', cfg.s = 'x'; // neither order: back to the normal one
    ini_click(SwapNS);
    EXPECT_EQ(std::string({cfg.n, cfg.s}), "ns");
}

TEST_F(SettingsControlsTest, MarkedHandlersTakeTheNumberFieldsFirst) {
    IniNumbers typed = ini_numbers();
    typed.slewx = 17;
    for (int id :
         {StarMask7 + 5, BackRed, FocusDelay, TelescopeLX200 + 2, Train1, Train1 + 2, IgnoreSmall,
          DisableInterrupts, SwapNS, SwapEW, ApplyCorrection, LosmandyPause}) {
        cfg.slewx = 2;
        click(id, typed);
        EXPECT_EQ(cfg.slewx, 17) << id;
    }
    for (int id : {Train1 + 3, Ignore10, NoNorth, DebugMode, Pause10, FitsUnsigned, UseSavedValues,
                   IgnorePid, AOAvailable, AOHalfRate, HideCountdown, Tiff16}) {
        cfg.slewx = 2;
        click(id, typed);
        EXPECT_EQ(cfg.slewx, 2) << id;
    }
}

TEST_F(SettingsControlsTest, SetManuallyLimitsTheValues) {
    EXPECT_EQ(ini_numbers().pc_com, 1);
    ini_set_manually({-4, 70000, 25, -1, 21, -3, 50, 0, 31, 12, 99, 3, 4});
    EXPECT_EQ(std::tuple(cfg.slewx, cfg.slewy, cfg.backlashx, cfg.backlashy, cfg.hystx, cfg.hysty),
              std::tuple(-4, int(short(70000)), 20, 0, 20, -3));
    EXPECT_EQ(std::tuple(cfg.guider_slewx, cfg.guider_slewy, cfg.guider_backlashx,
                         cfg.guider_backlashy, cfg.guider_hystx, cfg.guider_hysty),
              std::tuple(49, 1, 30, 12, 20, 3));
    EXPECT_EQ(cfg.PC_port, 3);
    // The backlash limits keep the file acceptable to the next load.
    ASSERT_EQ(SaveINIFile(cfg.ini_file), 0);
    reset_settings();
    ASSERT_EQ(LoadINIFile(cfg.ini_file), 0);
    EXPECT_EQ(std::tuple(cfg.backlashx, cfg.guider_backlashx), std::tuple(20, 30));

    // COM 1..7 select PC_port 0..6; other numbers leave it.
    for (auto [com, port] : {std::pair{1, 0}, {7, 6}, {0, 6}, {8, 6}, {-2, 6}, {3, 2}}) {
        ini_set_pc_com(com);
        EXPECT_EQ(cfg.PC_port, port) << com;
    }
}

TEST_F(SettingsControlsTest, AutoSaveFolderWithoutADriveIsInTheHomeDirectory) {
    const std::string start = cwd();
    for (const char* text : {"photos", "\\photos", "C:\\Photos", "c:photos"}) {
        EXPECT_TRUE(ini_apply_autosave_dir(text)) << text;
        EXPECT_EQ(autosave_host_folder(cfg.auto_save_dir), home + "/photos") << text;
        EXPECT_STREQ(cfg.auto_save_subdir, cfg.auto_save_dir);
    }
    EXPECT_TRUE(fs::is_directory(home + "/photos"));
    ASSERT_TRUE(ini_apply_autosave_dir("photos"));
    EXPECT_STREQ(cfg.auto_save_dir, "c:\\photos");
    // One folder, whatever case the texts used.
    EXPECT_EQ(std::distance(fs::directory_iterator(home), fs::directory_iterator()), 1);

    // Nested folders are created; a host folder is taken as it is; at most 79 characters.
    EXPECT_TRUE(ini_apply_autosave_dir("astro\\2024\\m31"));
    EXPECT_TRUE(fs::is_directory(home + "/astro/2024/m31"));
    EXPECT_TRUE(ini_apply_autosave_dir(home + "/host/x"));
    EXPECT_EQ(std::string(cfg.auto_save_dir), home + "/host/x");
    EXPECT_TRUE(ini_apply_autosave_dir(std::string(79, 'a') + "bbbb"));
    EXPECT_EQ(std::string(cfg.auto_save_subdir), "c:\\" + std::string(79, 'a'));
    EXPECT_TRUE(fs::is_directory(home + "/" + std::string(79, 'a')));

    EXPECT_TRUE(ini_apply_autosave_dir(""));
    EXPECT_STREQ(cfg.auto_save_subdir, "");
    EXPECT_STREQ(cfg.auto_save_dir, "c:\\AUTOSAVE");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(cwd(), start);

    // Names kept by older files: a folder without a drive is on C: too.
    fs::create_directories(autosave);
    EXPECT_EQ(autosave_host_folder("\\images\\m42"), home + "/images/m42");
    EXPECT_EQ(autosave_host_folder(""), home + "/autosave");
    EXPECT_EQ(autosave_host_folder("e:\\images"), "");
}

TEST_F(SettingsControlsTest, AutoSaveFolderIsRefusedWhenItCannotBeUsed) {
    const std::string start = cwd();
    ASSERT_TRUE(ini_apply_autosave_dir("kept"));
    write_file(home + "/plain", "x");
    for (const char* text : {"d:\\photos", "Z:", "1:\\x", "plain", "plain\\sub"}) {
        ui.boxes.clear();
        EXPECT_FALSE(ini_apply_autosave_dir(text)) << text;
        ASSERT_EQ(ui.boxes.size(), 1u) << text;
        EXPECT_EQ(ui.boxes[0].text, "Sorry! AutoSave Directory is invalid");
        EXPECT_STREQ(cfg.auto_save_dir, "c:\\kept");
        EXPECT_EQ(cwd(), start);
    }
}

TEST_F(SettingsControlsTest, OpeningTheDialogLoadsOrRewritesTheFile) {
    fs::create_directories(autosave);
    ini_dialog_load(); // no file yet
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Unable to load INI file, please delete and try again");
    EXPECT_EQ(read_file(autosave + "/Nocteris.INI").size(), 1424u);

    // The file's values replace the ones in memory.
    cfg.star_mask = 15;
    ASSERT_EQ(SaveINIFile(cfg.ini_file), 0);
    cfg.star_mask = 7;
    ui.boxes.clear();
    ini_dialog_load();
    EXPECT_EQ(cfg.star_mask, 15);
    EXPECT_TRUE(ui.boxes.empty());

    EXPECT_EQ(ini_dialog_save(), 0);
    EXPECT_TRUE(ui.boxes.empty());
    fs::remove(autosave + "/Nocteris.INI");
    fs::create_directories(autosave + "/Nocteris.INI/blocked");
    EXPECT_EQ(ini_dialog_save(), 3);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Unable to save INI file, please check disk space");
}
