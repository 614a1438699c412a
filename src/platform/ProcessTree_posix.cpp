#include "platform/ProcessTree.h"

#include <unistd.h>
#include <QProcess>
#include <csignal>

namespace tolvar {

struct ProcessTree::Native {};

ProcessTree::ProcessTree(QProcess& process) : process_(process)
{
    // A session and so a process group of its own, which the program's children join.
    process_.setChildProcessModifier([] { ::setsid(); });
}

ProcessTree::~ProcessTree() = default;

void ProcessTree::started() {}

void ProcessTree::end()
{
    const qint64 pid = process_.processId();
    if (pid > 0)
        ::kill(-static_cast<pid_t>(pid), SIGKILL);
}

}  // namespace tolvar
