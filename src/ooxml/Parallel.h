// forEachInParallel: the engine's work on a package's parts (packing, unpacking, parsing, reading
// cells back) spread over the machine's cores. Each index is taken by one task at a time, in no
// fixed order; the caller's thread works too, and the call returns when all are done.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace ooxml {

// Runs f(0) .. f(count - 1). What a call throws (the first caught, when several do) is thrown again
// here once every task has stopped; the indexes not yet taken by then are not run.
void forEachInParallel(std::size_t count, const std::function<void(std::size_t)>& f);
// The same over sizes.size() indexes, taken largest first: the work ends evenly on every core when
// the small pieces come last.
void forEachInParallel(const std::vector<std::size_t>& sizes, const std::function<void(std::size_t)>& f);

}  // namespace ooxml
