#include "startup/LastResort.h"

#include "util/Failure.h"
#include "util/FailureCodes.h"
#include "util/Messages.h"

#include <cstdio>
#include <cstdlib>

namespace tolvar {

namespace {

std::function<void(int)> terminateHook;

[[noreturn]] void endProgram(int status)
{
    if (terminateHook)
        terminateHook(status);
    std::fflush(nullptr);
    // Immediate termination: no further clean-up code runs on a broken state.
    std::_Exit(status);
}

}  // namespace

void reportUnhandled(const Failure& failure)
{
    MsgBox(QStringLiteral("予期しないエラーが発生しました。プログラムを終了します。\r\n") + failure.messageText(),
           MsgIcon::Critical, applicationTitle());
    endProgram(kLastResortExitStatus);
}

void reportUnhandledCurrentException()
{
    try {
        throw;
    } catch (const Failure& failure) {
        reportUnhandled(failure);
    } catch (const std::exception& e) {
        reportUnhandled(Failure::of(FailureCode::Unexpected, QString::fromLocal8Bit(e.what())));
    } catch (...) {
        reportUnhandled(Failure::of(FailureCode::Unexpected));
    }
}

TerminateHookForTesting::TerminateHookForTesting(std::function<void(int)> hook)
    : ScopedSeam(terminateHook, std::move(hook))
{
}

}  // namespace tolvar
