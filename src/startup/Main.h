// Main: the start-up path. Refuses a second copy, takes the staff code from the command line,
// loads the settings, proves once that the PO database can be reached, takes the machine name
// and shows the search window. Each failure ends start-up after its messages.
#pragma once

#include <QStringList>
#include <memory>

namespace tolvar {

class SingleInstance;
class frmMain;

enum class StartupOutcome { Running, AlreadyRunning, SettingsFailed, DatabaseFailed };

// arguments: the process's own, the program name first. window receives the shown frmMain.
StartupOutcome Main(SingleInstance& instance, const QStringList& arguments, std::unique_ptr<frmMain>& window);

// The process exit status for an outcome that ends the program.
int exitStatusFor(StartupOutcome outcome);

}  // namespace tolvar
