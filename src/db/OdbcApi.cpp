#include "db/OdbcApi.h"

#include "util/Failure.h"
#include "util/FailureCodes.h"

#include <QLibrary>
#include <iterator>

namespace tolvar {

namespace {

#ifdef _WIN32
const char kLibraryName[] = "odbc32";
const int kLibraryVersion = -1;
const char kLibraryShown[] = "odbc32.dll";
#else
const char kLibraryName[] = "odbc";
const int kLibraryVersion = 2;
const char kLibraryShown[] = "libodbc.so.2 (unixODBC)";
#endif

// The library and its functions, or why they are not there. Loaded once, kept to the end.
struct Loaded {
    OdbcApi api{};
    QString missing;
};

template <typename F>
bool resolve(QLibrary& library, F& into, const char* name)
{
    into = reinterpret_cast<F>(library.resolve(name));
    return into != nullptr;
}

Loaded load()
{
    Loaded loaded;
    // Never unloaded: drivers the driver manager loads stay in the process until it ends.
    static QLibrary library(QString::fromLatin1(kLibraryName), kLibraryVersion);
    if (!library.load()) {
        loaded.missing = QString::fromLatin1(kLibraryShown);
        return loaded;
    }
    bool all = true;
#define TOLVAR_ODBC_RESOLVE(member, function) all = resolve(library, loaded.api.member, #function) && all;
    TOLVAR_ODBC_FUNCTIONS(TOLVAR_ODBC_RESOLVE)
#undef TOLVAR_ODBC_RESOLVE
    if (!all)
        loaded.missing = QString::fromLatin1(kLibraryShown) + QStringLiteral(": ") + library.errorString();
    return loaded;
}

const Loaded& loaded()
{
    static const Loaded once = load();
    return once;
}

// An environment handle for asking the driver manager, freed when it goes.
class Environment {
public:
    explicit Environment(const OdbcApi& api) : api_(api)
    {
        if (!SQL_SUCCEEDED(api_.AllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_)))
            env_ = SQL_NULL_HANDLE;
        else
            api_.SetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    }
    ~Environment()
    {
        if (env_ != SQL_NULL_HANDLE)
            api_.FreeHandle(SQL_HANDLE_ENV, env_);
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;
    SQLHENV get() const { return env_; }

private:
    const OdbcApi& api_;
    SQLHENV env_ = SQL_NULL_HANDLE;
};

}  // namespace

const OdbcApi& odbcApi()
{
    const Loaded& l = loaded();
    if (!l.missing.isEmpty())
        throw Failure::of(FailureCode::DbDriverMissing, QStringLiteral("ODBC: ") + l.missing);
    return l.api;
}

std::optional<OdbcInventory> odbcInventory()
{
    if (!loaded().missing.isEmpty())
        return std::nullopt;
    const OdbcApi& api = odbcApi();
    const Environment env(api);
    if (env.get() == SQL_NULL_HANDLE)
        return std::nullopt;
    OdbcInventory inventory;
    SQLWCHAR name[512];
    SQLWCHAR attributes[4096];
    SQLSMALLINT nameLength = 0, attributesLength = 0;
    const auto text = [](const SQLWCHAR* buffer, SQLSMALLINT length, qsizetype room) {
        return fromSqlText(buffer, qBound<qsizetype>(0, qsizetype(length), room - 1));
    };
    // SQL_NO_DATA after the last entry; a name longer than the buffer comes back cut, not lost.
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST;
         SQL_SUCCEEDED(api.Drivers(env.get(), direction, name, SQLSMALLINT(std::size(name)), &nameLength, attributes,
                                   SQLSMALLINT(std::size(attributes)), &attributesLength));
         direction = SQL_FETCH_NEXT) {
        const QString driver = text(name, nameLength, qsizetype(std::size(name)));
        inventory.drivers << driver;
        // The attributes: "key=value" texts one after another, each ended by a NUL.
        const QString all = text(attributes, attributesLength, qsizetype(std::size(attributes)));
        for (const QString& pair : all.split(QChar(0), Qt::SkipEmptyParts))
            if (pair.section(QLatin1Char('='), 0, 0).trimmed().compare(QLatin1String("Driver"), Qt::CaseInsensitive) ==
                0)
                inventory.driverFiles.insert(driver.toLower(), pair.section(QLatin1Char('='), 1).trimmed());
    }
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST;
         SQL_SUCCEEDED(api.DataSources(env.get(), direction, name, SQLSMALLINT(std::size(name)), &nameLength,
                                       attributes, SQLSMALLINT(std::size(attributes)), &attributesLength));
         direction = SQL_FETCH_NEXT)
        inventory.dataSources.insert(text(name, nameLength, qsizetype(std::size(name))).toLower(),
                                     text(attributes, attributesLength, qsizetype(std::size(attributes))));
    return inventory;
}

}  // namespace tolvar
