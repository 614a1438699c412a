#include "cli/TolvarPo.h"

#include "db/OdbcDriver.h"
#include "db/Recordset.h"
#include "db/dbOpen.h"
#include "platform/Console.h"
#include "pofile/CellForms.h"
#include "pofile/PoBatch.h"
#include "pofile/PoWorkbook.h"
#include "pofile/TemplateCheck.h"
#include "pofile/bas_po_file_make.h"
#include "search/SearchStatement.h"
#include "settings/LoadSettings.h"
#include "util/Clock.h"
#include "util/DateFormat.h"
#include "util/Failure.h"
#include "util/ProgramPaths.h"

#include <QFile>
#include <optional>

namespace tolvar {

namespace {

// Exit statuses.
constexpr int kAllMade = 0, kSomeFailed = 1, kBadArguments = 2, kSomeNotFound = 3;

const char kUsageText[] =
    "usage: tolvar-po [OPTION...] PO_NUMBER...\n"
    "       tolvar-po [OPTION...] [--list] [--staff CODE] [--kind 0|1] [--customer CODE]\n"
    "                 [--from YYYY/MM/DD] [--to YYYY/MM/DD]\n"
    "       tolvar-po --check-template [FILE]\n"
    "Makes the purchase-order workbook of each PO as DIR/PO_NUMBER.xls (.xlsx from an .xlsx or\n"
    ".xlsm template) and prints its path: the POs named, or those the search conditions select, as\n"
    "the search window selects them (newest PO number first).\n"
    "  --settings FILE        the settings file (default: tolvar.ini beside the program)\n"
    "  --template FILE        the template, .xls, .xlsx or .xlsm (default: MST_PO.xls beside the\n"
    "                         program, else MST_PO.xlsx, else MST_PO.xlsm)\n"
    "  --out DIR              the output folder (default: PO_SAVE_FOLDER of the settings)\n"
    "  --pdf                  also print each workbook to PO_NUMBER.pdf beside it (LibreOffice)\n"
    "  --pdf-timeout SECONDS  how long LibreOffice may take for one PDF, its start included\n"
    "                         for the first (default 120)\n"
    "  --staff CODE           staff codes that begin with CODE\n"
    "  --kind 0|1             order kind 0 (PO) or 1 (GK); both when not given\n"
    "  --customer CODE        customer codes that begin with CODE\n"
    "  --from, --to DATE      the first and last issue date; without either, any date\n"
    "  --list                 print the POs the conditions select (number, kind, issue date,\n"
    "                         customer) instead of making workbooks\n"
    "  --check-template FILE  tells whether a template can be used (default: the one beside the\n"
    "                         program); needs no database. Exit status 0 usable, 1 not.\n"
    "  --version              prints the version\n"
    "Exit status: 0 every workbook (and PDF) made; 3 some PO not found, the others made;\n"
    "1 some workbook or PDF failed, the others made; 2 bad arguments.\n";

struct Options {
    QString settings = programFile(QStringLiteral("tolvar.ini"));
    PoFileOptions file;
    QStringList numbers;
    std::optional<QString> checkTemplate;
    bool pdf = false;
    int pdfTimeout = PdfPrinter::kDefaultTimeoutSeconds;
    bool list = false;
    bool select = false;  // POs chosen by search conditions
    SearchConditions conditions;
    std::optional<QDate> from, to;
};

enum class Parsed { Run, Help, Version, Bad };

// A date of the form YYYY/MM/DD that exists.
std::optional<QDate> dateArgument(const QString& text)
{
    const QDate d = QDate::fromString(text, kDateFormat);
    return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
}

Parsed parseOption(const QStringList& arguments, qsizetype& i, Options& o, QTextStream& err)
{
    const QString& a = arguments[i];
    static const QStringList valued = {
        QStringLiteral("--settings"),    QStringLiteral("--template"), QStringLiteral("--out"),
        QStringLiteral("--pdf-timeout"), QStringLiteral("--staff"),    QStringLiteral("--kind"),
        QStringLiteral("--customer"),    QStringLiteral("--from"),     QStringLiteral("--to")};
    if (a == QLatin1String("--pdf")) {
        o.pdf = true;
        return Parsed::Run;
    }
    if (a == QLatin1String("--list")) {
        o.list = o.select = true;
        return Parsed::Run;
    }
    if (!valued.contains(a)) {
        err << "unknown option " << a << "\n";
        return Parsed::Bad;
    }
    if (i + 1 >= arguments.size()) {
        err << a << " needs a value\n";
        return Parsed::Bad;
    }
    const QString value = arguments[++i];
    if (a == QLatin1String("--settings")) {
        o.settings = value;
    } else if (a == QLatin1String("--template")) {
        o.file.templatePath = value;
    } else if (a == QLatin1String("--out")) {
        o.file.saveFolder = value;
    } else if (a == QLatin1String("--pdf-timeout")) {
        bool ok = false;
        o.pdfTimeout = value.toInt(&ok);
        if (!ok || o.pdfTimeout < 1) {
            err << "--pdf-timeout needs a number of seconds, not " << value << "\n";
            return Parsed::Bad;
        }
    } else if (a == QLatin1String("--staff")) {
        o.conditions.tantoCd = value;
        o.select = true;
    } else if (a == QLatin1String("--customer")) {
        o.conditions.tokCd = value;
        o.select = true;
    } else if (a == QLatin1String("--kind")) {
        if (value != QLatin1String("0") && value != QLatin1String("1")) {
            err << "--kind is 0 (PO) or 1 (GK), not " << value << "\n";
            return Parsed::Bad;
        }
        o.conditions.kbnText = value == QLatin1String("0") ? QStringLiteral("PO") : QStringLiteral("GK");
        o.select = true;
    } else {
        const std::optional<QDate> d = dateArgument(value);
        if (!d) {
            err << a << " " << value << " is not a date of the form YYYY/MM/DD\n";
            return Parsed::Bad;
        }
        (a == QLatin1String("--from") ? o.from : o.to) = d;
        o.select = true;
    }
    return Parsed::Run;
}

Parsed parse(const QStringList& arguments, Options& o, QTextStream& err)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            return Parsed::Help;
        if (a == QLatin1String("--version"))
            return Parsed::Version;
        if (a == QLatin1String("--check-template")) {
            // The file is optional: the template beside the program when none follows.
            const bool named = i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1String("--"));
            o.checkTemplate = named ? arguments[++i] : defaultTemplatePath();
        } else if (a == QLatin1String("--")) {
            o.numbers += arguments.mid(i + 1);
            break;
        } else if (a.startsWith(QLatin1String("--"))) {
            if (parseOption(arguments, i, o, err) == Parsed::Bad)
                return Parsed::Bad;
        } else {
            o.numbers << a;
        }
    }
    if (o.checkTemplate && (!o.numbers.isEmpty() || o.select)) {
        err << "--check-template takes no PO numbers or conditions\n";
        return Parsed::Bad;
    }
    if (o.select && !o.numbers.isEmpty()) {
        err << "give PO numbers or search conditions, not both\n";
        return Parsed::Bad;
    }
    if (o.from && o.to && *o.from > *o.to) {
        err << "--from " << o.from->toString(kDateFormat) << " is later than --to " << o.to->toString(kDateFormat)
            << "\n";
        return Parsed::Bad;
    }
    if (!o.checkTemplate && !o.select && o.numbers.isEmpty())
        return Parsed::Bad;
    return Parsed::Run;
}

// One line per finding, then "OK" or the number of problems.
int checkTemplate(const QString& path, QTextStream& out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out << "problem: the template " << path << " cannot be read: " << file.errorString() << "\n1 problem\n";
        return kSomeFailed;
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
    return problems == 0 ? kAllMade : kSomeFailed;
}

// The POs the conditions select, through the search window's own statement. Without dates the
// statement has no date condition; dates given are always applied (the window drops them when
// both are today, which a command has no reason to).
struct Selected {
    QString poNo, kind, issued, customer, customerName;
};

std::vector<Selected> select(Options& o)
{
    SearchConditions c = o.conditions;
    if (!o.from && !o.to) {
        c.today = c.sDate = c.eDate = today();
    } else {
        c.sDate = o.from.value_or(QDate(1, 1, 1));
        c.eDate = o.to.value_or(QDate(9999, 12, 31));
        c.today = QDate();
    }
    const SearchStatement statement = buildSearchStatement(c);
    Recordset rs;
    // Through ODBC the dates go as dates, as the search window binds them there.
    rs.Open(statement.text, statement.valuesFor(odbcConnectionHandle(gCnPo->database()) != nullptr), *gCnPo,
            adOpenForwardOnly);
    std::vector<Selected> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
        auto text = [&](int i) { return rs.Fields(i).toString(); };
        // The issue date as yyyy/MM/dd, whether the column holds a date, a date and time, or text.
        rows.push_back({text(1), text(0), dateText(rs.Fields(2)), text(3), text(4)});
    }
    rs.Close();
    return rows;
}

// A progress line on standard error when it is a terminal; nothing when it is a file or a pipe.
PoBatch::Progress progressLine(QTextStream& err)
{
    if (!isTerminal(stderr))
        return {};
    return [&err](const PoBatch::Step& s) {
        if (s.pdfPhase)
            err << "\rPDF " << s.done << " / " << s.total << "   " << s.poNo << "          ";
        else
            err << "\r" << s.done + 1 << " / " << s.total << "   " << s.poNo << "          ";
        err.flush();
        return true;
    };
}

int makeWorkbooks(const Options& o, const QStringList& numbers, QTextStream& out, QTextStream& err)
{
    // The program ends after its batch: the last PO takes the template as read.
    PoFileOptions file = o.file;
    file.keepTemplate = false;
    const PoBatchResult result = PoBatch(file, o.pdf, o.pdfTimeout).run(numbers, progressLine(err));
    if (isTerminal(stderr))
        err << "\r" << QString(60, QLatin1Char(' ')) << "\r";
    for (const PoBatchItem& item : result.items) {
        switch (item.outcome) {
        case PoBatchItem::Outcome::Made: out << item.workbook << "\n"; break;
        case PoBatchItem::Outcome::NotFound: err << "PO not found: " << item.poNo << "\n"; break;
        case PoBatchItem::Outcome::Failed:
            err << item.poNo << ": " << item.description << " (" << item.number << ")\n";
            break;
        case PoBatchItem::Outcome::NotReached: break;
        }
        if (item.pdfMade)
            out << PdfPrinter::pdfPathFor(item.workbook) << "\n";
        else if (!item.pdfError.isEmpty())
            err << item.poNo << ": no PDF: " << item.pdfError << " (" << item.pdfNumber << ")\n";
    }
    const int made = result.count(PoBatchItem::Outcome::Made);
    const int missing = result.count(PoBatchItem::Outcome::NotFound);
    const int failed = result.count(PoBatchItem::Outcome::Failed);
    err << made << " of " << numbers.size() << " workbooks made, " << missing << " not found, " << failed << " failed";
    if (o.pdf)
        err << "; " << result.pdfsMade() << " PDFs made, " << result.pdfsFailed() << " failed";
    err << "\n";
    out.flush();
    if (failed > 0 || result.pdfsFailed() > 0)
        return kSomeFailed;
    return missing > 0 ? kSomeNotFound : kAllMade;
}

int run(Options& o, QTextStream& out, QTextStream& err)
{
    // The template is read on the side while the settings are read and the database opened and asked.
    if (!o.list)
        PoWorkbook::readAhead(poTemplatePath(o.file));
    // LoadSettings and dbOpen show their own messages on standard error.
    if (LoadSettings(o.settings) != 0)
        return kSomeFailed;
    if (!o.list && o.file.saveFolder.isEmpty() && gPoSaveFolder.isEmpty()) {
        err << "no output folder: give --out DIR or set PO_SAVE_FOLDER\n";
        return kBadArguments;
    }
    if (dbOpen() != 0)
        return kSomeFailed;
    int status = kAllMade;
    try {
        QStringList numbers = o.numbers;
        if (o.select) {
            const std::vector<Selected> rows = select(o);
            for (const Selected& r : rows) {
                if (o.list)
                    out << r.poNo << "\t" << r.kind << "\t" << r.issued << "\t" << r.customer << "\t" << r.customerName
                        << "\n";
                numbers << r.poNo;
            }
            if (!o.list)
                err << numbers.size() << " POs selected\n";
        }
        if (!o.list)
            status = makeWorkbooks(o, numbers, out, err);
    } catch (const Failure& failure) {
        err << failure.description() << " (" << failure.number() << ")\n";
        status = kSomeFailed;
    }
    dbClose();
    return status;
}

}  // namespace

int runTolvarPo(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    Options options;
    switch (parse(arguments, options, err)) {
    case Parsed::Help: out << kUsageText; return kAllMade;
    case Parsed::Version: out << "tolvar-po " << TOLVAR_VERSION << "\n"; return kAllMade;
    case Parsed::Bad: err << kUsageText; return kBadArguments;
    case Parsed::Run: break;
    }
    if (options.checkTemplate)
        return checkTemplate(*options.checkTemplate, out);
    return run(options, out, err);
}

}  // namespace tolvar
