// Feeds arbitrary bytes to the FITS readers and to the comparison loader.
// Besides the sanitizers' checks: a refused file leaves the destination as it
// was, and every text field read from a header stays terminated inside its
// array.
#include "fuzz_setup.h"

#include "files/file_state.h"
#include "files/fits.h"
#include "files/native_file.h"
#include "settings/settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr unsigned short SENTINEL = 0x5A5A;
const long long comparison_lengths[] = {COMPARISON_FITS, COMPARISON_FITS_BIN, COMPARISON_NATIVE,
                                        COMPARISON_NATIVE_BIN};

int file_fd = -1;
std::string file_path;

void check_details() {
    check_text(cfg.FITS_Obj);
    check_text(cfg.FITS_Tel);
    check_text(cfg.FITS_Ins);
    check_text(cfg.FITS_Obs);
    check_text(cfg.FITS_Src);
    check_text(cfg.FITS_His);
    check_text(cfg.FITS_Com);
    check_text(cfg.FITS_Filter);
    check_text(fits.FITS_Date);
    check_text(fits.FITS_Time);
    for (int i = 0; i < HISTORY_USED; ++i) check_text(disp.process_info[i]);
}

void fill(unsigned short* buf) {
    for (int i = 0; i < disp.width1 * disp.height1; ++i) buf[i] = SENTINEL;
}

bool untouched(const unsigned short* buf) {
    for (int i = 0; i < disp.width1 * disp.height1; ++i)
        if (buf[i] != SENTINEL) return false;
    return true;
}

void set_file(const std::uint8_t* data, std::size_t size, long long length) {
    check(::ftruncate(file_fd, 0) == 0);
    const std::size_t n = size < static_cast<std::size_t>(length) ? size : length;
    check(::pwrite(file_fd, data, n, 0) == static_cast<ssize_t>(n));
    check(::ftruncate(file_fd, length) == 0); // the rest reads as zeros
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_camera();
    // The file lives in memory; its /proc name opens like any path.
    file_fd = ::memfd_create("fuzz.fit", 0);
    check(file_fd >= 0);
    file_path = "/proc/self/fd/" + std::to_string(file_fd);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The FITS readers, on the bytes as they are.
    nocteris_binned();
    set_file(data, size, static_cast<long long>(size));
    fill(trial);
    if (LoadFITSFile(file_path.c_str(), 2, trial) != 0) check(untouched(trial));
    check_details();
    fill(trial);
    if (LoadTempFITSFile(file_path.c_str(), trial) != 0) check(untouched(trial));

    // The comparison loader takes four fixed lengths only: the bytes start a
    // file of the length the input's size picks, zeros after them.
    const long long length = comparison_lengths[size % 4];
    set_file(data, size, length);
    disp.binned = length == COMPARISON_FITS_BIN || length == COMPARISON_NATIVE_BIN;
    std::snprintf(files.ComparisonFileName, sizeof files.ComparisonFileName, "%s",
                  file_path.c_str());
    fill(comparison_int);
    if (load_comparison_file(comparison_int, comparison_int) != 0) check(untouched(comparison_int));
    return 0;
}
