#pragma once
#include <functional>

// Splitting a job over the hardware threads, for the filters and the contrast
// stretch. Each piece writes output of its own, so a result never depends on
// the number of threads.
namespace parallel {

constexpr int MAX_THREADS = 64;

// `requested` threads, or one per hardware thread when it is 0 or less;
// at least 1 and at most `most` (and MAX_THREADS).
int thread_count(int requested, int most);

// Called on the calling thread with how much of the job is finished.
using Progress = std::function<void(int finished)>;

// Runs work(band, piece) for pieces 0 .. pieces - 1 on `threads` threads, the
// calling one being band 0. Each band starts on a contiguous share of the
// pieces and takes them in order, so state a band keeps from one piece to
// the next stays useful; a band that runs out takes the last pieces of the
// others, so a thread the scheduler puts aside holds up one piece at most.
// `progress` gets the number of pieces finished, after each piece of band 0,
// while band 0 waits for the others, and finally `pieces`.
void for_pieces(int pieces, int threads, const std::function<void(int band, int piece)>& work,
                const Progress& progress = {});

// Rows [y0, y1) in pieces of `chunk` rows: work(band, first, end) for each,
// `progress` with the rows finished.
void for_rows(int y0, int y1, int chunk, int threads,
              const std::function<void(int band, int first, int end)>& work,
              const Progress& progress = {});

} // namespace parallel
