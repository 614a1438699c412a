// The program-wide last resort: a failure that no procedure handled is shown with its number
// and description, and then the program ends with a non-zero status.
#pragma once

#include "util/ScopedSeam.h"

#include <exception>
#include <functional>

namespace tolvar {

class Failure;

constexpr int kLastResortExitStatus = 2;

// Shows the failure and ends the program through the terminate hook.
[[noreturn]] void reportUnhandled(const Failure& failure);
// Turns the exception in flight into a Failure and reports it.
[[noreturn]] void reportUnhandledCurrentException();

// While it lives, the program ends through `hook` instead of ending the process (the hook must not
// return: a test throws to unwind).
class TerminateHookForTesting : public ScopedSeam<std::function<void(int)>> {
public:
    explicit TerminateHookForTesting(std::function<void(int)> hook);
};

}  // namespace tolvar
