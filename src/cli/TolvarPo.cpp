#include "cli/TolvarPo.h"

#include "db/dbOpen.h"
#include "pofile/bas_po_file_make.h"
#include "settings/LoadSettings.h"
#include "util/Failure.h"
#include "util/ProgramPaths.h"

namespace tolvar {

namespace {

constexpr int kWritten = 0, kFailed = 1, kUsage = 2, kNotFound = 3;

const char kUsageText[] =
    "usage: tolvar-po [--settings FILE] [--template FILE] [--out DIR] PO_NUMBER...\n"
    "Writes the purchase-order workbook of each PO as DIR/PO_NUMBER.xls and prints its path.\n"
    "  --settings FILE  the settings file (default: tolvar.ini beside the program)\n"
    "  --template FILE  the template (default: MST_PO.xls beside the program)\n"
    "  --out DIR        the output folder (default: PO_SAVE_FOLDER of the settings)\n"
    "Exit status: 0 all written, 3 some PO not found, 2 usage error, 1 other failure.\n";

}  // namespace

int runTolvarPo(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    QString settings = programFile(QStringLiteral("tolvar.ini"));
    PoFileOptions options;
    QStringList numbers;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            out << kUsageText;
            return kWritten;
        }
        if (a == QLatin1String("--settings") || a == QLatin1String("--template") || a == QLatin1String("--out")) {
            if (i + 1 >= arguments.size()) {
                err << a << " needs a value\n" << kUsageText;
                return kUsage;
            }
            const QString value = arguments[++i];
            if (a == QLatin1String("--settings"))
                settings = value;
            else if (a == QLatin1String("--template"))
                options.templatePath = value;
            else
                options.saveFolder = value;
        } else if (a == QLatin1String("--")) {
            numbers += arguments.mid(i + 1);
            break;
        } else if (a.startsWith(QLatin1String("--"))) {
            err << "unknown option " << a << "\n" << kUsageText;
            return kUsage;
        } else {
            numbers << a;
        }
    }
    if (numbers.isEmpty()) {
        err << kUsageText;
        return kUsage;
    }
    // LoadSettings and dbOpen show their own messages on standard error.
    if (LoadSettings(settings) != 0)
        return kFailed;
    if (options.saveFolder.isEmpty() && gPoSaveFolder.isEmpty()) {
        err << "no output folder: give --out DIR or set PO_SAVE_FOLDER\n";
        return kUsage;
    }
    qint32 kind = kPoDatabase;
    if (dbOpen(kind) != 0)
        return kFailed;
    int status = kWritten;
    try {
        for (const QString& number : numbers) {
            if (po_file_make(number, options) == PoFileResult::NotFound) {
                err << "PO not found: " << number << "\n";
                status = kNotFound;
            } else {
                out << poFilePath(options.saveFolder.isEmpty() ? gPoSaveFolder : options.saveFolder, number) << "\n";
                out.flush();
            }
        }
    } catch (const Failure& failure) {
        err << failure.description() << " (" << failure.number() << ")\n";
        status = kFailed;
    }
    dbClose(kind);
    return status;
}

}  // namespace tolvar
