// What the benchmarks share for timing: a program run as a shell runs it (no pipes, its output
// thrown away), and the median of a series of times.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <vector>

struct ProcessRun {
    int status = -1;  // the exit status; -1 when it did not start or did not exit
    double seconds = 0;
    long peakKilobytes = 0;
};

// arguments[0] is the program's path.
inline ProcessRun runQuietly(std::vector<QByteArray> arguments)
{
    std::vector<char*> argv;
    for (QByteArray& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ProcessRun run;
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.peakKilobytes = usage.ru_maxrss;
    }
    run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
