#include "db/dbOpen.h"

#include "settings/LoadSettings.h"
#include "util/Failure.h"
#include "util/FailureCodes.h"
#include "util/Messages.h"
#include "util/ProgramPaths.h"

#include <QCoreApplication>

namespace tolvar {

std::unique_ptr<Connection> gCnPo;

namespace {

// Qt SQL connections must go before the application object does.
void releaseAtExit()
{
    static const bool registered = [] {
        qAddPostRoutine([] { gCnPo.reset(); });
        return true;
    }();
    (void)registered;
}

qint32 openConnection(qint32 kind)
{
    releaseAtExit();
    try {
        // The previous connection object is released; every task gets a new one.
        gCnPo.reset();
        gCnPo = std::make_unique<Connection>();
        if (kind != kPoDatabase)
            throw Failure::of(FailureCode::DbUnknownKind, QStringLiteral("(%1)").arg(kind));
        const DriverInventory drivers =
            dependsOnDrivers(gPoDbSetting) ? DriverInventory::ofThisMachine() : DriverInventory{};
        gCnPo->open(planConnection(gPoDbSetting, programFolder(), drivers));
        return 0;
    } catch (const Failure& failure) {
        MsgBox(failure.messageText(), MsgIcon::Critical, QStringLiteral("dbOpen"));
        return failure.number() != 0 ? failure.number() : toNumber(FailureCode::DbOpenFailed);
    }
}

void closeConnection(qint32 kind)
{
    if (kind == kPoDatabase && gCnPo)
        gCnPo->close();
}

}  // namespace

qint32 dbOpen()
{
    return openConnection(kPoDatabase);
}

void dbClose()
{
    closeConnection(kPoDatabase);
}

qint32 dbOpen(qint32& kind)
{
    return openConnection(kind);
}

void dbClose(qint32& kind)
{
    closeConnection(kind);
}

}  // namespace tolvar
