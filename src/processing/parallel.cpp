#include "processing/parallel.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace parallel {

namespace {

// The pieces of one band not yet taken, [front, back), packed into one word
// so that its owner (at the front) and the others (at the back) never take
// the same piece. On a cache line of its own: the owner takes from it often.
class alignas(64) Band {
  public:
    void set(int front, int back) { range_.store(pack(front, back), std::memory_order_relaxed); }

    // The next piece from the front or the back; -1 when none is left.
    int take(bool front) {
        std::uint64_t r = range_.load(std::memory_order_relaxed);
        for (;;) {
            const int f = static_cast<int>(r & 0xFFFFFFFFu), b = static_cast<int>(r >> 32);
            if (f >= b) return -1;
            const std::uint64_t next = front ? pack(f + 1, b) : pack(f, b - 1);
            if (range_.compare_exchange_weak(r, next, std::memory_order_relaxed))
                return front ? f : b - 1;
        }
    }

  private:
    static std::uint64_t pack(int front, int back) {
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(back)) << 32 |
               static_cast<std::uint32_t>(front);
    }
    std::atomic<std::uint64_t> range_{0};
};

} // namespace

int thread_count(int requested, int most) {
    const int t = requested > 0 ? requested : static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(t, 1, std::clamp(most, 1, MAX_THREADS));
}

void for_pieces(int pieces, int threads, const std::function<void(int band, int piece)>& work,
                const Progress& progress) {
    if (pieces <= 0) return;
    threads = std::clamp(threads, 1, std::min(MAX_THREADS, pieces));
    std::array<Band, MAX_THREADS> bands;
    for (int b = 0; b < threads; ++b)
        bands[b].set(static_cast<int>(static_cast<long long>(pieces) * b / threads),
                     static_cast<int>(static_cast<long long>(pieces) * (b + 1) / threads));

    std::atomic<int> finished{0};
    auto run = [&](int self) {
        for (;;) {
            int p = bands[self].take(true);
            for (int i = 1; p < 0 && i < threads; ++i) p = bands[(self + i) % threads].take(false);
            if (p < 0) return;
            work(self, p);
            const int f = finished.fetch_add(1, std::memory_order_relaxed) + 1;
            if (!progress) continue;
            if (self == 0)
                progress(f);
            else
                finished.notify_one();
        }
    };

    std::vector<std::jthread> helpers; // joined on the way out
    try {
        helpers.reserve(static_cast<std::size_t>(threads - 1));
        for (int b = 1; b < threads; ++b) helpers.emplace_back(run, b);
    } catch (...) {
        // Fewer threads: the bands nobody runs are taken over by the others.
    }
    run(0);
    if (!progress) return;
    for (int f = finished.load(std::memory_order_relaxed); f < pieces;
         f = finished.load(std::memory_order_relaxed)) {
        progress(f);
        finished.wait(f, std::memory_order_relaxed);
    }
    progress(pieces);
}

void for_rows(int y0, int y1, int chunk, int threads,
              const std::function<void(int band, int first, int end)>& work,
              const Progress& progress) {
    const int rows = y1 - y0;
    if (rows <= 0) return;
    chunk = std::clamp(chunk, 1, rows);
    const int pieces = static_cast<int>((static_cast<long long>(rows) + chunk - 1) / chunk);
    Progress rows_done;
    if (progress)
        rows_done = [&](int finished) {
            progress(static_cast<int>(
                std::min<long long>(rows, static_cast<long long>(finished) * chunk)));
        };
    for_pieces(
        pieces, threads,
        [&](int band, int piece) {
            const int first = y0 + piece * chunk;
            work(band, first, first + std::min(chunk, y1 - first));
        },
        rows_done);
}

} // namespace parallel
