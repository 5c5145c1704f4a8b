// The File menu's file commands: open, save in the three formats, the FITS
// details, and the shared pick of dark frame, flat field, comparison image
// and the file to delete.
#include "app/delete_dialog.h"
#include "app/main_window.h"

#include "display/image_store.h"
#include "files/auto_save.h"
#include "files/file_pick.h"
#include "files/file_state.h"
#include "files/fits.h"
#include "files/fits_dialog.h"
#include "files/fits_time.h"
#include "files/native_file.h"
#include "files/tiff_file.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "settings/ini_file.h"
#include "settings/settings.h"

#include <QString>

namespace {

// Runs one file command with the wait cursor, as every load and save does.
template <class F> auto with_wait_cursor(F&& f) {
    platform::ui().set_cursor(platform::CursorShape::Wait);
    auto r = f();
    platform::ui().set_cursor(platform::CursorShape::Arrow);
    return r;
}

// Sets a purpose flag for the duration of one pick.
struct PurposeFlag {
    explicit PurposeFlag(int& f) : flag(f) { flag = 1; }
    ~PurposeFlag() { flag = 0; }
    int& flag;
};

} // namespace

void TNocterisWindow::CmFileOpen() {
    const platform::FileDialogResult r = platform::ui().file_dialog(open_dialog_request());
    if (!r.accepted) return;
    note_open_choice(r.path);
    const std::string title = file_title(r.path);
    if (open_in_merge_mode) open_in_merge_mode();
    const int result = with_wait_cursor([&] { return LoadQVFile(r.path.c_str()); });
    if (result == LOAD_OK) {
        image_prepare();
        AdjustScroller(false);
    }
    SetCaption(title.c_str());
}

void TNocterisWindow::CmFileSave() {
    const bool tif = files.save_tif != 0;
    const bool fits_mode = files.save_FITS != 0;
    const platform::FileDialogRequest req = save_dialog_request(tif, fits_mode);
    const platform::FileDialogResult r = platform::ui().file_dialog(req);
    if (!r.accepted) return;
    const std::string chosen = with_default_extension(r.path, req.default_extension);
    note_save_choice(chosen, fits_mode);
    const char* path = chosen.c_str();
    int result = 0;
    if (tif) {
        result = with_wait_cursor([&] { return SaveTifFile(path, image, cfg.tifswitch); });
    } else if (fits_mode) {
        result = with_wait_cursor([&] {
            return SaveFITSFile(path, image, cfg.FITS_Obj, cfg.FITS_Obs, fits.FITS_Date,
                                cfg.FITS_Tel, cfg.FITS_Ins, cfg.FITS_Com, cfg.FITS_His,
                                fits.eightbit);
        });
    } else {
        result = SaveQVFile(path); // reports its own failures
    }
    if ((tif || fits_mode) && result == 1) messages(22);
    // The caption names the file the image is in: a failed save leaves it
    // where it was.
    if (result == 0)
        SetCaption(QString::fromStdString(file_title(chosen)).toLower().toLocal8Bit().constData());
}

void TNocterisWindow::CmTifSave() {
    PurposeFlag flag(files.save_tif);
    CmFileSave();
}

void TNocterisWindow::CmFITSSave() {
    fits.eightbit = 0;
    default_fits_date();
    if (run_fits_dialog(this) != 1) return;
    PurposeFlag flag(files.save_FITS);
    CmFileSave();
}

void TNocterisWindow::CmSaveAsFits() {
    quick_save_fits();
}

void TNocterisWindow::CmEditFITSText() {
    if (LoadINIFile(cfg.ini_file) != 0) {
        messages(42);
        SaveINIFile(cfg.ini_file);
    }
    fits.eightbit = 0;
    if (run_fits_dialog(this) != 1) return;
    if (SaveINIFile(cfg.ini_file) != 0) messages(24);
}

void TNocterisWindow::CmViewFITSText() {
    run_fits_dialog(this);
}

bool TNocterisWindow::pick_file() {
    const platform::FileDialogResult r = platform::ui().file_dialog(pick_dialog_request());
    if (!r.accepted) return false;
    note_pick_choice(r.path);
    return true;
}

void TNocterisWindow::CmFileDelete() {
    PurposeFlag flag(files.delete_file);
    if (!pick_file()) return;
    TDeleteDialog dlg(this, QString::fromLocal8Bit(files.file_name));
    if (confirm_delete ? confirm_delete() : dlg.exec() == QDialog::Accepted) delete_chosen_file();
}

void TNocterisWindow::CmDarkFile() {
    PurposeFlag flag(files.load_darkframe);
    pick_file();
}

void TNocterisWindow::CmFlatField() {
    PurposeFlag flag(files.load_flatfield);
    pick_file();
}

void TNocterisWindow::CmFileComparison() {
    {
        PurposeFlag flag(files.load_comparison);
        pick_file();
    }
    // A cancelled pick reloads the file chosen before, if any.
    load_comparison_image();
}
