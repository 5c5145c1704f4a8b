// Feeds arbitrary bytes to the Open command's reader, which recognises a file
// by its length: the bytes start a file of one of the lengths it takes (or
// of their own size), zeros after them. Besides the sanitizers' checks: a
// refused file leaves the image as it was.
#include "fuzz_setup.h"

#include "files/native_file.h"
#include "platform/scripted_ui.h"
#include "platform/ui.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr unsigned short SENTINEL = 0x5A5A;

int file_fd = -1;
std::string file_path;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_camera();
    file_fd = ::memfd_create("fuzz", 0);
    check(file_fd >= 0);
    file_path = "/proc/self/fd/" + std::to_string(file_fd);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::ScriptedUi ui; // boxes are recorded, never shown
    platform::install_ui(&ui);
    fuzz_camera();
    const long long lengths[] = {disp.filelen, disp.filelenbin, disp.filelenfitpad,
                                 disp.filelenfitbinpad, static_cast<long long>(size)};
    const long long length = lengths[size % 5];
    check(::ftruncate(file_fd, 0) == 0);
    const std::size_t n = size < static_cast<std::size_t>(length) ? size : length;
    check(::pwrite(file_fd, data, n, 0) == static_cast<ssize_t>(n));
    check(::ftruncate(file_fd, length) == 0);

    const long pixels = static_cast<long>(disp.width1) * disp.height1;
    for (long i = 0; i < pixels; ++i) image_int[i] = SENTINEL;
    image = image_int;
    if (LoadQVFile(file_path.c_str()) != LOAD_OK)
        for (long i = 0; i < pixels; ++i) check(image_int[i] == SENTINEL);
    check(disp.width1 > 0 && static_cast<long>(disp.width1) * disp.height1 <= MAIN_BUFFER_PIXELS);
    platform::install_ui(nullptr);
    return 0;
}
