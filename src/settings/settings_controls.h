#pragma once
#include <string>

// What the controls of the settings dialog do to the globals. The Qt dialog
// only maps its widgets to these routines, so the effects are tested without
// a display.
namespace ini_id {
constexpr int SaveChanges = 1;
constexpr int Cancel = 2;
constexpr int SwapNS = 17102;
constexpr int SwapEW = 17103;
constexpr int ApplyCorrection = 17104;
constexpr int DebugMode = 17105;
constexpr int HideCountdown = 17106;
constexpr int LosmandyPause = 17110;
constexpr int FocusDelay = 17111;
constexpr int UseSavedValues = 17112;
constexpr int RABacklash = 17114;
constexpr int DecBacklash = 17115;
constexpr int SlewRA = 17116;
constexpr int SlewDec = 17117;
constexpr int SetManually = 17118;
constexpr int BackRed = 17120; // 17120-17122: red, light grey, dark grey
constexpr int FitsUnsigned = 17123;
constexpr int TelescopeLX200 = 17127; // 17127-17129: LX200, socket, none
constexpr int StarMask7 = 17130;      // 17130-17135: 7, 8, 9, 11, 13, 15 pixels
constexpr int HystRA = 17136;
constexpr int HystDec = 17137;
constexpr int IgnoreSmall = 17138;
constexpr int DisableInterrupts = 17139;
constexpr int AutoSaveDir = 17147;
constexpr int SetAutoSaveDir = 17148;
constexpr int Pause10 = 17153; // 17153-17155: 10, 15, 20 seconds
constexpr int LastNum = 17157;
constexpr int GuiderSlewRA = 17180; // 17180-17185: the guider camera's six values
constexpr int GuiderSlewDec = 17181;
constexpr int GuiderBacklashRA = 17182;
constexpr int GuiderBacklashDec = 17183;
constexpr int GuiderHystRA = 17184;
constexpr int GuiderHystDec = 17185;
constexpr int Train1 = 17186; // 17186-17189: 1, 2, 4, 8 seconds
constexpr int IgnorePid = 17194;
constexpr int AOAvailable = 17268;
constexpr int PCComPort = 17269;
constexpr int AOHalfRate = 17270;
constexpr int Ignore10 = 17271; // 17271-17274: 1.0, 0.8, 0.5, 0.2 pixel
constexpr int NoNorth = 17275;
constexpr int NoSouth = 17276;
constexpr int Tiff16 = 17290;
} // namespace ini_id

// The dialog's number fields, in the order "Set Manually" takes them.
struct IniNumbers {
    int slewx = 0, slewy = 0, backlashx = 0, backlashy = 0, hystx = 0, hysty = 0;
    int guider_slewx = 0, guider_slewy = 0, guider_backlashx = 0, guider_backlashy = 0;
    int guider_hystx = 0, guider_hysty = 0;
    int pc_com = 1; // COM number, 1-based
};

// Number-field bounds the dialog offers. The main backlash values stay inside
// what the file accepts back (0..20); the guider ones likewise (0..30), and
// its rates below 50, which the file would replace by 10.
struct IniBounds {
    int lo, hi;
};
constexpr IniBounds SLEW_BOUNDS{1, 999};
constexpr IniBounds BACKLASH_BOUNDS{0, 20};
constexpr IniBounds HYST_BOUNDS{0, 20};
constexpr IniBounds GUIDER_SLEW_BOUNDS{1, 49};
constexpr IniBounds GUIDER_BACKLASH_BOUNDS{0, 30};
constexpr IniBounds GUIDER_HYST_BOUNDS{0, 20};
constexpr IniBounds COM_BOUNDS{1, 7};

// The number fields as the globals fill them.
IniNumbers ini_numbers();

// "Set Manually": the six values (hysteresis at most 20, backlash within what
// the file accepts), the guider's six within their bounds, and the COM port.
void ini_set_manually(const IniNumbers& v);

// The PC Com Port field: COM 1..7 selects `PC_port` 0..6; any other number
// leaves it as it is.
void ini_set_pc_com(int com);

// Handlers that first take the number fields, as "Set Manually" does.
bool ini_rereads_numbers(int id);

// The effect of a click on a button, check box or radio button.
void ini_click(int id);

// Whether a check box or radio button shows as set for the current globals.
bool ini_checked(int id);

// "Set AutoSave Dir": at most 79 characters of the text. "c:\x" or "c:x"
// is x in the home directory; another drive is refused. A text without a drive
// is taken from the home directory ("photos" and "\photos" are one folder); a
// text starting with "/" is a host folder. A missing folder is created.
// Returns true when accepted (`auto_save_subdir` and `auto_save_dir` set);
// false after message 52. The current directory is never changed.
bool ini_apply_autosave_dir(const std::string& text);

// Before the dialog shows: the file's values, or message 20 and a fresh file
// when it cannot be read.
void ini_dialog_load();

// After "Save Changes" closed the dialog: write the file; message 24 when
// that fails. Returns the SaveINIFile result.
int ini_dialog_save();
