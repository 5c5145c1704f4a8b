#pragma once
#include "platform/ui.h"

#include <string>

// Bookkeeping of the file dialogs of the File menu: which filter the next
// dialog preselects, the remembered name and folder, and where a pick for a
// dark frame, flat field, comparison image or deletion goes.

// The title of a path: the part after the last '/' or '\'.
std::string file_title(const std::string& path);

// Filter entry for the next dialog: 2 after a FITS save, else 1 when the
// title has a tilde (the native naming habit), else 3 (all files).
int filter_index_after(const char* title, bool fits_mode);

// lastfile := the title in lower case (cut to fit).
void remember_lastfile(const char* title);
// lastdir := the folder, at most 50 characters of it.
void remember_lastdir(const char* dir);

// After an Open dialog accepted `path`: Filter_Index, lastfile and lastdir.
void note_open_choice(const std::string& path);
// After a Save dialog accepted `path`: Filter_Index and lastdir.
void note_save_choice(const std::string& path, bool fits_mode);

// After the shared pick accepted `path`: Filter_Index and lastdir, and the
// path is stored for the purpose flag that is set (DarkFileName,
// ComparisonFileName, FlatFileName or file_name). Returns 1 when a purpose
// flag took the pick, 0 when it is a merge-type operand.
int note_pick_choice(const std::string& path);

// Deletes files.file_name (after the user confirmed). No message either way;
// true when the file is gone.
bool delete_chosen_file();

// The dialog requests of the Open command, the Save command (by mode) and
// the shared pick, with Filter_Index preselected. Their filters show native
// names with or without an extension, FITS and TIFF extensions in any case,
// and, under "All Files", every file.
platform::FileDialogRequest open_dialog_request();
platform::FileDialogRequest save_dialog_request(bool tif, bool fits_mode);
platform::FileDialogRequest pick_dialog_request();

// The name a save writes: `path`, with "." + `extension` added when its title
// has no extension (no dot) of its own.
std::string with_default_extension(const std::string& path, const std::string& extension);

// "a|b|c|d|" into (a, b), (c, d).
std::vector<std::pair<std::string, std::string>> parse_filter_list(const char* list);
