// Two programs saving the settings at once, while a third reads them: every
// save succeeds and every read finds the whole file.
#include "support/test_env.h"

#include "platform/host_path.h"
#include "settings/ini_file.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using IniRaceTest = NocterisTest;

TEST_F(IniRaceTest, ConcurrentSavesNeverFailAndReadersNeverSeeAShortFile) {
    constexpr int SAVES_EACH = 10000;
    ASSERT_EQ(SaveINIFile(cfg.ini_file), 0);
    const std::string path = platform::host_path(cfg.ini_file);

    // Children report their failures here; the reader stops when both are done.
    auto* shared = static_cast<std::atomic<int>*>(::mmap(nullptr, 3 * sizeof(std::atomic<int>),
                                                         PROT_READ | PROT_WRITE,
                                                         MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(shared, MAP_FAILED);
    new (&shared[0]) std::atomic<int>(0); // failed saves
    new (&shared[1]) std::atomic<int>(0); // writers finished
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = ::fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            for (int i = 0; i < SAVES_EACH; ++i) {
                cfg.auto_save_num = i;
                if (SaveINIFile(cfg.ini_file) != 0) shared[0].fetch_add(1);
            }
            shared[1].fetch_add(1);
            ::_exit(0);
        }
    }

    long reads = 0, short_reads = 0;
    unsigned char buf[INI_FILE_BYTES + 16];
    while (shared[1].load() < 2) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0) {
            ++short_reads; // the file must always be there
            continue;
        }
        long got = 0;
        for (ssize_t n; (n = ::read(fd, buf + got, sizeof buf - got)) > 0;) got += n;
        ::close(fd);
        ++reads;
        if (got != INI_FILE_BYTES) ++short_reads;
    }
    for (pid_t w : writers) {
        int status = 0;
        ASSERT_EQ(::waitpid(w, &status, 0), w);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(shared[0].load(), 0) << "of " << 2 * SAVES_EACH << " saves";
    EXPECT_EQ(short_reads, 0) << "of " << reads << " reads";
    EXPECT_GT(reads, 0);
    ::munmap(shared, 3 * sizeof(std::atomic<int>));

    // Nothing is left behind beside the settings file.
    int others = 0;
    for (const auto& e :
         std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()))
        if (e.path() != path) ++others;
    EXPECT_EQ(others, 0);
}

} // namespace
