#include "platform/ProcessTree.h"

#include <windows.h>
#include <QProcess>

namespace tolvar {

struct ProcessTree::Native {
    HANDLE job = nullptr;
    PROCESS_INFORMATION* info = nullptr;  // QProcess's own, valid while the program runs
};

ProcessTree::ProcessTree(QProcess& process) : process_(process), native_(std::make_unique<Native>())
{
    native_->job = CreateJobObjectW(nullptr, nullptr);
    if (native_->job) {
        // Closing the job's last handle (this object going, or this process ending) ends the tree.
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(native_->job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    Native* native = native_.get();
    process_.setCreateProcessArgumentsModifier([native](QProcess::CreateProcessArguments* args) {
        args->flags |= CREATE_SUSPENDED;
        native->info = args->processInformation;
    });
}

ProcessTree::~ProcessTree()
{
    if (native_->job)
        CloseHandle(native_->job);
}

void ProcessTree::started()
{
    PROCESS_INFORMATION* info = native_->info;
    if (!info || !info->hProcess)
        return;
    if (native_->job)
        AssignProcessToJobObject(native_->job, info->hProcess);
    ResumeThread(info->hThread);
}

void ProcessTree::end()
{
    if (native_->job)
        TerminateJobObject(native_->job, 1);
    else if (native_->info && native_->info->hProcess)
        TerminateProcess(native_->info->hProcess, 1);
}

}  // namespace tolvar
