#include "ooxml/Parallel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <new>
#include <numeric>
#include <thread>
#include <vector>

namespace ooxml {

namespace {

// Threads started once and kept for the process: a batch spreads work over them several times for
// every workbook, and starting threads each time would cost a good part of what they save.
class Helpers {
public:
    // Made in static storage on first use and never taken down: a template's read-ahead may still
    // spread its work while the program's statics go at exit, and the system ends the threads.
    static Helpers& shared()
    {
        alignas(Helpers) static unsigned char storage[sizeof(Helpers)];
        static Helpers* const helpers = ::new (static_cast<void*>(storage)) Helpers;
        return *helpers;
    }

    // Runs `task` on every helper and on the calling thread, and returns when each has returned.
    // One caller at a time: another, meanwhile, runs its task on its own thread only.
    void runEverywhere(const std::function<void()>& task)
    {
        std::unique_lock<std::mutex> busy(busy_, std::try_to_lock);
        if (!busy.owns_lock() || threads_.empty()) {
            task();
            return;
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            task_ = &task;
            running_ = threads_.size();
            ++generation_;
        }
        wake_.notify_all();
        task();
        waitBriefly([&] { return running_ == 0; });
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [&] { return running_ == 0; });
        task_ = nullptr;
    }

    Helpers(const Helpers&) = delete;
    Helpers& operator=(const Helpers&) = delete;

private:
    Helpers()
    {
        // A few cores are plenty: the parts of a workbook are few and their sizes uneven.
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned k = 1; k < std::min(cores, 4u); ++k)
            threads_.emplace_back([this] { serve(); });
    }

    void serve()
    {
        std::uint64_t seen = 0;
        for (;;) {
            const std::function<void()>* task;
            waitBriefly([&] { return generation_ != seen; });
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [&] { return generation_ != seen; });
                seen = generation_;
                task = task_;
            }
            (*task)();
            const std::lock_guard<std::mutex> lock(mutex_);
            if (--running_ == 0)
                done_.notify_all();
        }
    }

    // A workbook's parts of work come one right after another: a thread that has just finished one
    // looks for the next for a moment before it sleeps, since waking a sleeping thread takes longer
    // than the work it would do.
    template <typename Ready>
    static void waitBriefly(Ready ready)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(200);
        while (!ready() && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
    }

    std::mutex busy_;  // held by the caller whose task the helpers run
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    const std::function<void()>* task_ = nullptr;
    std::atomic<std::size_t> running_{0};
    std::atomic<std::uint64_t> generation_{0};
    std::vector<std::thread> threads_;
};

}  // namespace

void forEachInParallel(std::size_t count, const std::function<void(std::size_t)>& f)
{
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr first;
    std::mutex guard;
    const std::function<void()> work = [&] {
        for (std::size_t k; !failed && (k = next++) < count;) {
            try {
                f(k);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(guard);
                if (!first)
                    first = std::current_exception();
                failed = true;
            }
        }
    };
    if (count > 1)
        Helpers::shared().runEverywhere(work);
    else
        work();
    if (first)
        std::rethrow_exception(first);
}

void forEachInParallel(const std::vector<std::size_t>& sizes, const std::function<void(std::size_t)>& f)
{
    std::vector<std::size_t> order(sizes.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return sizes[x] > sizes[y]; });
    forEachInParallel(order.size(), [&](std::size_t k) { f(order[k]); });
}

}  // namespace ooxml
