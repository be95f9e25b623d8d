// Splitting independent pieces of work over threads. Every caller gives each piece its own
// output, so results never depend on the thread count.
#pragma once

#include <cstddef>
#include <functional>

namespace talvik {

// Runs body(0) .. body(count - 1), each exactly once, on up to `threads` threads; on fewer
// when the system grants fewer, down to the calling thread alone.
void parallel_for(size_t count, unsigned threads, const std::function<void(size_t)>& body);

}  // namespace talvik
