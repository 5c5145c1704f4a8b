#pragma once

// The settings file: 92 fixed-size fields, no header, no separators.
constexpr int INI_FILE_BYTES = 1424;

// Reads the settings file (a DOS-style name, translated by host_path) into
// the globals. Returns 0 when every field was read; 2 when the file is
// missing or too short, or its fast-parallel byte is neither 'y' nor 'n'
// (the fields read up to then keep their new values); or the result of
// SaveINIFile when the file's folder had to be created, or a field failed its
// check and the file was written afresh from the current values.
int LoadINIFile(const char* path);

// Writes every field from the globals. The new file replaces the old one only
// once it is complete. Returns 0, or 3 when it cannot be written whole.
int SaveINIFile(const char* path);

// The file's bytes for the current globals (exposed for the tests).
void encode_ini(unsigned char (&out)[INI_FILE_BYTES]);
