#pragma once
#include <ctime>
#include <string>

constexpr int FITS_TEXT = 70;       // the short FITS header texts
constexpr int FITS_LONG_TEXT = 257; // history and comment, four cards each
constexpr int AUTOSAVE_DIR_TEXT = 100;
constexpr int FILTER_NAMES = 8;
constexpr int FILTER_NAME_TEXT = 10;

// Persistent options (the settings file) and their start-up defaults, plus
// the few options that are edited with them but never stored. Stored values
// that belong to the image store stay in its struct: `binned` and the
// background colour (`back_r`, `back_g`, `back_b`) in `disp`.
struct Settings {
    char ini_file[25] = "c:\\autosave\\Nocteris.INI";

    int auto_save_num = 0;
    int FITS_Diff = 0; // UT = local clock + FITS_Diff hours
    int fast_par = 0;
    int default_port = 0;
    short star_mask = 8; // guide-star aperture half-size
    int default_speed = 1;
    char slewcom = '1';
    int slewdefault = 1; // guide training time, seconds
    char default_back = 'l';
    int focus_delay = 1;
    int slewx = 2; // pixels a second in RA
    int slewy = 2; // pixels a second in Dec
    int backlashx = 0;
    int backlashy = 0;
    short ignore_small = 0;
    char telescope = 'n'; // 'l' LX200, 'b' guide-port socket, 'n' none
    int disable_interrupts = 1;
    int hystx = 0;
    int hysty = 0;
    // Drive direction letters; swapped to reverse a guiding axis.
    char n = 'n', s = 's', e = 'e', w = 'w';

    char FITS_Obj[FITS_TEXT] = "";
    char FITS_Tel[FITS_TEXT] = "";
    char FITS_Ins[FITS_TEXT] = "Veltrane CCD";
    char FITS_Obs[FITS_TEXT] = "";
    char FITS_Src[FITS_TEXT] = "";
    char FITS_His[FITS_LONG_TEXT] = "";
    char FITS_Com[FITS_LONG_TEXT] = "";
    char FITS_Filter[FITS_TEXT] = "None";
    double FITS_Aperture = 0.0;
    double FITS_Focallen = 0.0;
    int FITS_SBIG = 0; // FITS unsigned-integer style

    int Mk2_fast_par = 0;
    int apply_correction = 1;
    int Losmandy_pause = 0;
    int gotcontrolbox = 0;
    short Debug_Mode = 0;
    int pause_secs = 10; // delay before exposure
    char auto_save_subdir[AUTOSAVE_DIR_TEXT] = "";
    char auto_save_dir[AUTOSAVE_DIR_TEXT] = "c:\\AUTOSAVE";

    int guider_slewx = 6;
    int guider_slewy = 6;
    int guider_backlashx = 0;
    int guider_backlashy = 0;
    int guider_hystx = 0;
    int guider_hysty = 0;
    int ignore_backlash = 1;
    int filter_wheel = 0;
    float guider_theta = 0.0f;
    int ignore_RA_angle = 1;
    int Max_Filters = 7;
    char Filterbox_Filter_Name[FILTER_NAMES][FILTER_NAME_TEXT] = {
        "Blank",    "Filter 2", "Filter 3", "Filter 4",
        "Filter 5", "Filter 6", "Filter 7", "Filter 8"};

    // The exposure settings below are taken from the file only when
    // `use_saved_values` is set there.
    int use_saved_values = 0;
    int exp_value = 1;
    int continuous = 0; // the exposure sequence repeats until stopped
    int continuous_delay = 0;
    char exp_range = 's';
    int exposure_delay = 0;
    int auto_save_fits = 0;
    int darkframe_remove = 0;
    int flatfield_remove = 0;
    int binned21 = 0;
    int highres_intl = 0;
    int highres_nonintl = 0;

    int ignore_pid = 0;
    int AOUnit_slewx = 6;
    int AOUnit_slewy = 6;
    int AOUnit_xrate = 6;
    int AOUnit_yrate = 6;
    int AOUnitModeParallel = 0;
    int AOUnit_comport = 3;
    char GuiderMode = 'T'; // 'T' mount, 'A' AO unit
    char AOn = 'n', AOs = 's', AOe = 'e', AOw = 'w';
    int AOUnit_available = 0;
    int AOUnit_halfrate = 1;
    short PC_port = 0;                           // COM1 = 0
    char Mn = 'N', Ms = 'S', Mt = 'T', Mw = 'W'; // mount direction letters
    int ignore_north = 0;
    int ignore_south = 0;
    int ignore_amount = 1000; // smallest correction, thousandths of a pixel
    int tifswitch = 0;        // 16-bit TIFF

    // Edited with the others but never stored: every start begins with these.
    int display_exposure = 1;
    int Show_Interface_Details = 0;
    // The camera's electrons per count and read noise for the photometry
    // signal-to-noise ratio. The settings file's layout has no room for them.
    double ccd_gain = 1.4;
    double ccd_read_noise = 12.0;
};

extern Settings cfg;

void reset_settings();

// The broken-down UT of a moment for the FITS time stamps: the PC's local
// clock plus `FITS_Diff` hours. The process time zone is left alone:
// changing it would move the local clock itself.
std::tm fits_ut_time(std::time_t t);

// The host folder an auto-save folder name stands for: "c:\x", "c:x" and a
// name without a drive ("x", "\x") are x in the home directory, "/x" is a
// host folder, "" is "c:\AUTOSAVE". Another drive has none: empty.
std::string autosave_host_folder(const std::string& name);
