// ScopedSeam: a test's stand-in for a platform service (the clock, the shell, the folder picker,
// the end of the process), set for as long as the guard lives. The guard puts the previous value
// back when it goes, even when a failed assertion leaves the test early, so that no stand-in leaks
// into the next test.
#pragma once

#include <utility>

namespace tolvar {

template <typename T>
class ScopedSeam {
public:
    ScopedSeam(T& seam, T value) : seam_(seam), previous_(std::exchange(seam, std::move(value))) {}
    ~ScopedSeam() { seam_ = std::move(previous_); }
    ScopedSeam(const ScopedSeam&) = delete;
    ScopedSeam& operator=(const ScopedSeam&) = delete;

private:
    T& seam_;
    T previous_;
};

}  // namespace tolvar
