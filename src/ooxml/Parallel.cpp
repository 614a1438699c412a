#include "ooxml/Parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace ooxml {

void forEachInParallel(std::size_t count, const std::function<void(std::size_t)>& f)
{
    // A few cores are plenty: the parts of a workbook are few and their sizes uneven.
    const std::size_t cores = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    const std::size_t tasks = std::min(count, cores);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr first;
    std::mutex guard;
    auto work = [&] {
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
    std::vector<std::future<void>> others;
    for (std::size_t t = 1; t < tasks; ++t)
        others.push_back(std::async(std::launch::async, work));
    work();
    for (std::future<void>& other : others)
        other.get();
    if (first)
        std::rethrow_exception(first);
}

}  // namespace ooxml
