// The desktop program tolvar. Its whole argument text is the staff code.

#include "startup/Main.h"
#include "platform/KeepFreedMemory.h"
#include "search/frmMain.h"
#include "startup/QtMessageSink.h"
#include "startup/SingleInstance.h"
#include "startup/TolvarApplication.h"
#include "util/Messages.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // Answered before the application starts, so it needs no display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tolvar %s\n", TOLVAR_VERSION);
        return 0;
    }
    tolvar::keepFreedMemory();
    tolvar::TolvarApplication app(argc, argv);
    tolvar::QtMessageSink sink;
    tolvar::ScopedMessageSink messages(sink);
    tolvar::SingleInstance instance(QCoreApplication::applicationFilePath());
    std::unique_ptr<tolvar::frmMain> window;
    const tolvar::StartupOutcome outcome = tolvar::Main(instance, app.arguments(), window);
    if (outcome != tolvar::StartupOutcome::Running)
        return tolvar::exitStatusFor(outcome);
    // The program ends when the search window is closed.
    return app.exec();
}
