// The program-wide last resort: a failure that no procedure handled is shown with its number
// and description, and then the program ends with a non-zero status.
#pragma once

#include <exception>
#include <functional>

namespace tolvar {

class Failure;

constexpr int kLastResortExitStatus = 2;

// Shows the failure and ends the program through the terminate hook.
[[noreturn]] void reportUnhandled(const Failure& failure);
// Turns the exception in flight into a Failure and reports it.
[[noreturn]] void reportUnhandledCurrentException();

// Tests replace the ending of the process (it must not return: throw to unwind instead).
void setTerminateHookForTesting(std::function<void(int)> hook);

}  // namespace tolvar
