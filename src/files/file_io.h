#pragma once
#include "display/image_store.h"

#include <cstddef>
#include <string>

// Plumbing shared by the image readers and writers of this folder.
namespace fileio {

// Scratch area for converting pixels on their way to or from a file: room for
// the largest image as bytes. Loads stage here so that a failed read leaves
// the destination as it was. One routine uses it at a time.
constexpr long long STAGING_BYTES = 2LL * MAIN_BUFFER_PIXELS;
unsigned char* staging();

// An image file opened for reading. Only a regular file opens: a directory, a
// missing file or a device has length -1, as an unopenable file always had.
class InputFile {
  public:
    explicit InputFile(const std::string& host_path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool is_open() const { return fd_ >= 0; }
    long long length() const { return length_; }
    // Reads up to `total` bytes in pieces of `piece` bytes, stopping early at
    // the end of the file. Returns the bytes read, or -1 on a read error.
    long long read_pieces(unsigned char* dst, long long total, long long piece);
    // Reads n bytes; false when fewer arrive.
    bool read_exact(unsigned char* dst, std::size_t n);
    // Moves to `offset` bytes from the start.
    bool seek(long long offset);
    void close();

  private:
    int fd_ = -1;
    long long length_ = -1;
};

// A file written beside its final name and renamed over it once complete, so
// a failed or interrupted save never destroys the previous file.
class ReplacingFile {
  public:
    explicit ReplacingFile(const std::string& host_path);
    ~ReplacingFile(); // an uncommitted file is discarded
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool is_open() const { return fd_ >= 0; }
    // Writes the whole piece; false on a short write (full disk, size limit).
    bool write(const void* data, std::size_t n);
    // Flushes, closes and puts the file in place of the old one.
    bool commit();

  private:
    void discard();
    std::string target_;
    std::string temp_;
    int fd_ = -1;
};

// The wait cursor for the life of a load or save.
struct WaitCursor {
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Bounded copy: at most size - 1 characters, always terminated.
void copy_text(char* dst, std::size_t size, const char* src);

} // namespace fileio
