#include "cli/TolvarPo.h"

#include "db/dbOpen.h"
#include "pofile/TemplateCheck.h"
#include "pofile/bas_po_file_make.h"
#include "settings/LoadSettings.h"
#include "util/Failure.h"
#include "util/ProgramPaths.h"

#include <QFile>
#include <optional>

namespace tolvar {

namespace {

constexpr int kWritten = 0, kFailed = 1, kUsage = 2, kNotFound = 3;

const char kUsageText[] =
    "usage: tolvar-po [--settings FILE] [--template FILE] [--out DIR] PO_NUMBER...\n"
    "       tolvar-po --check-template [FILE]\n"
    "Writes the purchase-order workbook of each PO as DIR/PO_NUMBER.xls and prints its path.\n"
    "  --settings FILE        the settings file (default: tolvar.ini beside the program)\n"
    "  --template FILE        the template (default: MST_PO.xls beside the program)\n"
    "  --out DIR              the output folder (default: PO_SAVE_FOLDER of the settings)\n"
    "  --check-template FILE  tells whether a template can be used (default: the one beside the\n"
    "                         program); needs no database. Exit status 0 usable, 1 not.\n"
    "Exit status: 0 all written, 3 some PO not found, 2 usage error, 1 other failure.\n";

struct Options {
    QString settings = programFile(QStringLiteral("tolvar.ini"));
    PoFileOptions file;
    QStringList numbers;
    std::optional<QString> checkTemplate;
};

enum class Parsed { Run, Help, Usage };

Parsed parse(const QStringList& arguments, Options& o, QTextStream& err)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            return Parsed::Help;
        if (a == QLatin1String("--check-template")) {
            // The file is optional: the template beside the program when none follows.
            const bool named = i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1String("--"));
            o.checkTemplate = named ? arguments[++i] : programFile(QStringLiteral("MST_PO.xls"));
        } else if (a == QLatin1String("--settings") || a == QLatin1String("--template") ||
                   a == QLatin1String("--out")) {
            if (i + 1 >= arguments.size()) {
                err << a << " needs a value\n";
                return Parsed::Usage;
            }
            const QString value = arguments[++i];
            if (a == QLatin1String("--settings"))
                o.settings = value;
            else if (a == QLatin1String("--template"))
                o.file.templatePath = value;
            else
                o.file.saveFolder = value;
        } else if (a == QLatin1String("--")) {
            o.numbers += arguments.mid(i + 1);
            break;
        } else if (a.startsWith(QLatin1String("--"))) {
            err << "unknown option " << a << "\n";
            return Parsed::Usage;
        } else {
            o.numbers << a;
        }
    }
    if (o.checkTemplate && !o.numbers.isEmpty()) {
        err << "--check-template takes no PO numbers\n";
        return Parsed::Usage;
    }
    if (!o.checkTemplate && o.numbers.isEmpty())
        return Parsed::Usage;
    return Parsed::Run;
}

// One line per finding, then "OK" or the number of problems.
int checkTemplate(const QString& path, QTextStream& out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out << "problem: the template " << path << " cannot be read: " << file.errorString() << "\n1 problem\n";
        return kFailed;
    }
    const QByteArray bytes = file.readAll();
    const std::vector<form::Finding> findings = form::checkTemplate(xls::ByteView(
        reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
    int problems = 0;
    for (const form::Finding& f : findings) {
        out << (f.problem ? "problem: " : "note: ") << QString::fromStdString(f.text) << "\n";
        problems += f.problem;
    }
    if (problems == 0)
        out << "OK\n";
    else
        out << problems << (problems == 1 ? " problem\n" : " problems\n");
    return problems == 0 ? kWritten : kFailed;
}

int makeWorkbooks(const Options& o, QTextStream& out, QTextStream& err)
{
    // LoadSettings and dbOpen show their own messages on standard error.
    if (LoadSettings(o.settings) != 0)
        return kFailed;
    if (o.file.saveFolder.isEmpty() && gPoSaveFolder.isEmpty()) {
        err << "no output folder: give --out DIR or set PO_SAVE_FOLDER\n";
        return kUsage;
    }
    if (dbOpen() != 0)
        return kFailed;
    int status = kWritten;
    try {
        for (const QString& number : o.numbers) {
            if (po_file_make(number, o.file) == PoFileResult::NotFound) {
                err << "PO not found: " << number << "\n";
                status = kNotFound;
            } else {
                out << poFilePath(o.file.saveFolder.isEmpty() ? gPoSaveFolder : o.file.saveFolder, number) << "\n";
                out.flush();
            }
        }
    } catch (const Failure& failure) {
        err << failure.description() << " (" << failure.number() << ")\n";
        status = kFailed;
    }
    dbClose();
    return status;
}

}  // namespace

int runTolvarPo(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    Options options;
    switch (parse(arguments, options, err)) {
    case Parsed::Help: out << kUsageText; return kWritten;
    case Parsed::Usage: err << kUsageText; return kUsage;
    case Parsed::Run: break;
    }
    if (options.checkTemplate)
        return checkTemplate(*options.checkTemplate, out);
    return makeWorkbooks(options, out, err);
}

}  // namespace tolvar
