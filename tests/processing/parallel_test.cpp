#include "processing/parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Taken {
    int band, piece;
};

std::vector<Taken> run_recorded(int pieces, int threads) {
    std::mutex m;
    std::vector<Taken> taken;
    parallel::for_pieces(pieces, threads, [&](int band, int piece) {
        std::lock_guard<std::mutex> lock(m);
        taken.push_back({band, piece});
    });
    return taken;
}

TEST(Parallel, EveryPieceRunsOnceOnABandOfItsOwn) {
    for (int threads : {1, 2, 3, 8, 64, 100})
        for (int pieces : {1, 2, 7, 64, 257}) {
            SCOPED_TRACE(testing::Message() << threads << " threads, " << pieces << " pieces");
            const std::vector<Taken> taken = run_recorded(pieces, threads);
            std::vector<int> count(static_cast<std::size_t>(pieces));
            for (const Taken& t : taken) {
                ASSERT_GE(t.piece, 0);
                ASSERT_LT(t.piece, pieces);
                ++count[static_cast<std::size_t>(t.piece)];
                EXPECT_GE(t.band, 0);
                EXPECT_LT(t.band, std::min({threads, pieces, parallel::MAX_THREADS}));
            }
            EXPECT_EQ(std::count(count.begin(), count.end(), 1), pieces);
        }
    EXPECT_TRUE(run_recorded(0, 4).empty());
    EXPECT_TRUE(run_recorded(-3, 4).empty());
}

TEST(Parallel, OneThreadRunsThePiecesInOrderOnTheCallingThread) {
    const auto caller = std::this_thread::get_id();
    std::vector<int> order;
    parallel::for_pieces(5, 1, [&](int band, int piece) {
        EXPECT_EQ(band, 0);
        EXPECT_EQ(std::this_thread::get_id(), caller);
        order.push_back(piece);
    });
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(Parallel, ABandTakesItsOwnShareInOrder) {
    // The unsharp mask carries its box sums from one piece to the next.
    const int pieces = 200, threads = 4;
    const std::vector<Taken> taken = run_recorded(pieces, threads);
    for (int b = 0; b < threads; ++b) {
        const int first = pieces * b / threads, end = pieces * (b + 1) / threads;
        int last = -1;
        for (const Taken& t : taken)
            if (t.band == b && t.piece >= first && t.piece < end) {
                EXPECT_GT(t.piece, last) << "band " << b;
                last = t.piece;
            }
    }
}

TEST(Parallel, AHeldUpThreadDelaysOnePieceOnly) {
    // The helper stalls on its first piece until every other piece is done:
    // the calling thread has to take over the rest of the helper's share.
    const int pieces = 40;
    std::atomic<int> done{0};
    std::atomic<bool> stalled{false}, waited_in_vain{false};
    parallel::for_pieces(pieces, 2, [&](int band, int) {
        if (band == 1 && !stalled.exchange(true)) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (done.load() < pieces - 1 && !waited_in_vain) {
                waited_in_vain = std::chrono::steady_clock::now() > until;
                std::this_thread::yield();
            }
        }
        ++done;
    });
    EXPECT_FALSE(waited_in_vain);
    EXPECT_EQ(done.load(), pieces);
}

TEST(Parallel, ProgressRunsOnTheCallingThreadAndEndsFull) {
    const auto caller = std::this_thread::get_id();
    for (int threads : {1, 3}) {
        std::vector<int> seen;
        parallel::for_pieces(
            50, threads,
            [](int, int) { std::this_thread::sleep_for(std::chrono::microseconds(200)); },
            [&](int finished) {
                EXPECT_EQ(std::this_thread::get_id(), caller);
                seen.push_back(finished);
            });
        ASSERT_FALSE(seen.empty());
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        EXPECT_GE(seen.front(), 0);
        EXPECT_EQ(seen.back(), 50);
        if (threads == 1) {
            EXPECT_EQ(seen.size(), 51u); // each piece, then the end
        }
    }
}

TEST(Parallel, RowsAreCoveredOnceInChunksWithProgressInRows) {
    std::vector<std::atomic<int>> hits(100);
    std::vector<int> progress;
    parallel::for_rows(
        3, 90, 16, 3,
        [&](int, int first, int end) {
            EXPECT_LT(first, end);
            EXPECT_LE(end - first, 16);
            for (int y = first; y < end; ++y) ++hits[static_cast<std::size_t>(y)];
        },
        [&](int rows) { progress.push_back(rows); });
    for (int y = 0; y < 100; ++y)
        EXPECT_EQ(hits[static_cast<std::size_t>(y)].load(), y >= 3 && y < 90 ? 1 : 0) << y;
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_LE(progress.front(), 87);
    EXPECT_EQ(progress.back(), 87);

    bool ran = false;
    parallel::for_rows(5, 5, 16, 2, [&](int, int, int) { ran = true; });
    parallel::for_rows(9, 5, 16, 2, [&](int, int, int) { ran = true; });
    EXPECT_FALSE(ran);
}

TEST(Parallel, ThreadCount) {
    EXPECT_EQ(parallel::thread_count(3, 16), 3);
    EXPECT_EQ(parallel::thread_count(40, 16), 16);
    EXPECT_EQ(parallel::thread_count(500, 1000), parallel::MAX_THREADS);
    EXPECT_EQ(parallel::thread_count(3, 0), 1) << "too small a job for a thread";
    const int all = parallel::thread_count(0, parallel::MAX_THREADS);
    EXPECT_GE(all, 1);
    EXPECT_EQ(parallel::thread_count(-1, parallel::MAX_THREADS), all);
}

} // namespace
