#include "parallel/parallel_for.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace talvik {

void parallel_for(size_t count, unsigned threads, const std::function<void(size_t)>& body) {
    const size_t workers = std::min<size_t>(std::max(1u, threads), count);
    if (workers <= 1) {
        for (size_t i = 0; i < count; ++i) {
            body(i);
        }
        return;
    }
    std::atomic<size_t> next{0};
    std::exception_ptr failure;
    std::mutex failure_mutex;
    auto work = [&] {
        try {
            for (size_t i; (i = next.fetch_add(1)) < count;) {
                body(i);
            }
        } catch (...) {
            std::lock_guard lock(failure_mutex);
            failure = std::current_exception();
            next = count;
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(workers - 1);
    for (size_t t = 1; t < workers; ++t) {
        // Under a process limit (containers, batch systems) a thread may not be granted: the
        // pieces are shared by whoever runs, the calling thread at least.
        try {
            pool.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& thread : pool) {
        thread.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace talvik
