// ProcessTree: a started program together with every process it starts, so that all of them can be
// ended at once. LibreOffice runs as a launcher and a child that does the work; stopping the
// launcher alone would leave the child converting (and holding its profile). On Linux the program
// gets a process group of its own; on Windows it starts suspended, joins a job object and only then
// runs, so that no child can escape the job.
//   ProcessTree tree(process);   // before process.start()
//   process.start(...); if (process.waitForStarted()) tree.started();
//   tree.end();                  // ends the program and everything it started
#pragma once

#include <memory>

class QProcess;

namespace tolvar {

class ProcessTree {
public:
    explicit ProcessTree(QProcess& process);
    ~ProcessTree();
    ProcessTree(const ProcessTree&) = delete;
    ProcessTree& operator=(const ProcessTree&) = delete;

    // After the program has started: lets it run inside the tree.
    void started();
    // Ends every process of the tree, at once and without asking.
    void end();

private:
    struct Native;
    QProcess& process_;
    std::unique_ptr<Native> native_;
};

}  // namespace tolvar
