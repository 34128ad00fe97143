// The worker threads and the ring of slots they share with the main thread.
// One mutex guards the counts and the done flags; a slot's buffers belong to
// the main thread until handed over, then to one worker until marked done,
// and the lock taken at each of those steps orders the accesses. The main
// thread writes the files itself, in order, so a failure stops the run at
// the first frame that fails without any other thread touching the disk.
#include "capture/jobs.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "capture/png.h"

namespace {

// Two a worker: while one is being worked on, the main thread fills the other.
constexpr int32_t slots_per_job = 2;
constexpr int32_t max_slots = max_jobs * slots_per_job;

Slot slots[max_slots];
bool done[max_slots];
int32_t slot_count;
// Frames handed over, taken by a worker and released, counted from the start;
// frame n of the run's saved frames is in slot n % slot_count.
int64_t handed, started, released;
bool stopping;
void (*job)(Slot&);
std::unique_ptr<uint8_t[]> memory;
std::thread workers[max_jobs];
int32_t worker_count;
std::mutex lock;
std::condition_variable work_waiting, work_done;

void work() {
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
        work_waiting.wait(hold, [] { return stopping || started < handed; });
        if (stopping) return;
        const auto s = static_cast<int32_t>(started++ % slot_count);
        hold.unlock();
        job(slots[s]);
        hold.lock();
        done[s] = true;
        work_done.notify_one();
    }
}

}  // namespace

bool jobs_start(int32_t jobs, bool encoding, bool comparing, void (*work_on)(Slot&), Text& why) {
    slot_count = jobs * slots_per_job;
    const size_t each = rgb_size + (encoding ? png_capacity : 0) + (comparing ? rgb_size : 0);
    // Many jobs ask for hundreds of megabytes; where they are not there,
    // the run is refused with one line rather than ended by the exception.
    memory.reset(new (std::nothrow) uint8_t[each * static_cast<size_t>(slot_count)]);
    if (!memory) {
        format(why, "cannot reserve %u MiB for %d jobs; ask for fewer with --jobs",
               static_cast<unsigned>(each * static_cast<size_t>(slot_count) >> 20), jobs);
        slot_count = 0;
        return false;
    }
    for (int32_t s = 0; s < slot_count; ++s) {
        uint8_t* at = memory.get() + each * static_cast<size_t>(s);
        slots[s] = Slot{};
        slots[s].rgb = at;
        slots[s].encoded = encoding ? at + rgb_size : nullptr;
        slots[s].reference = comparing ? at + each - rgb_size : nullptr;
    }
    handed = started = released = 0;
    stopping = false;
    job = work_on;
    try {
        for (worker_count = 0; worker_count < jobs; ++worker_count) workers[worker_count] = std::thread(work);
    } catch (const std::system_error& e) {
        format(why, "cannot start a thread: %s", e.what());
        jobs_stop();
        return false;
    }
    return true;
}

int32_t jobs_slots() { return slot_count; }

// handed and released change on the main thread only, so it reads them
// without the lock.
int32_t jobs_in_flight() { return static_cast<int32_t>(handed - released); }

Slot& jobs_next() { return slots[handed % slot_count]; }

void jobs_hand() {
    {
        std::lock_guard<std::mutex> hold(lock);
        done[handed % slot_count] = false;
        ++handed;
    }
    work_waiting.notify_one();
}

Slot* jobs_oldest(bool wait) {
    if (released == handed) return nullptr;
    const auto s = static_cast<int32_t>(released % slot_count);
    std::unique_lock<std::mutex> hold(lock);
    if (wait) work_done.wait(hold, [s] { return done[s]; });
    return done[s] ? &slots[s] : nullptr;
}

void jobs_release() { ++released; }

void jobs_stop() {
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
    }
    work_waiting.notify_all();
    for (int32_t w = 0; w < worker_count; ++w) workers[w].join();
    worker_count = 0;
    handed = started = released = 0;
    slot_count = 0;
    memory.reset();
}
