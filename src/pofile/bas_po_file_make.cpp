#include "pofile/bas_po_file_make.h"

#include "db/Recordset.h"
#include "db/dbOpen.h"
#include "platform/ReplacingFile.h"
#include "pofile/CellForms.h"
#include "pofile/PoForm.h"
#include "pofile/PoWorkbook.h"
#include "pofile/TemplateCheck.h"
#include "settings/LoadSettings.h"
#include "util/Currency.h"
#include "util/Failure.h"
#include "util/FailureCodes.h"
#include "util/ProgramPaths.h"
#include "util/dbfRound.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <limits>

namespace tolvar {

namespace {

using form::HeaderCell;
using form::LineCell;
using form::Source;

// ---------------------------------------------------------------------------------------------
// Run state
// ---------------------------------------------------------------------------------------------

// A row's values by the form's column names. The names are string literals, so each is looked up
// by name once a PO and then found by its address: most are read on every line.
class Columns {
public:
    explicit Columns(const Recordset& rs) : rs_(rs) {}
    QVariant operator()(const char* column) const
    {
        for (const auto& [name, ordinal] : known_)
            if (name == column)
                return rs_.Fields(ordinal);
        const int ordinal = rs_.ordinalOf(QString::fromUtf8(column));
        known_.emplace_back(column, ordinal);
        return rs_.Fields(ordinal);
    }

private:
    const Recordset& rs_;
    mutable std::vector<std::pair<const char*, int>> known_;
};

struct Run {
    Run(PoWorkbook b, Recordset& h, Recordset& l)
        : book(std::move(b)), header(h), lines(l), headerField(h), lineField(l)
    {
    }
    PoWorkbook book;
    Recordset& header;
    Recordset& lines;
    Columns headerField;
    Columns lineField;
    qint16 pageCount = 0;
    qint16 page = 1;
    qint32 deliveryRow = form::kFirstDeliveryRow;
    qint32 orderRow = form::kFirstOrderRow;
    int deliverySheet = 0;
    int orderSheet = 0;  // looked up only for order kind "0"
    Currency amountTotal;
    qint32 quantityTotal = 0;
};

bool isPurchaseOrder(const Run& run)
{
    const QVariant kind = run.headerField("発注区分");
    return !kind.isNull() && kind.toString() == QLatin1String("0");
}

// ---------------------------------------------------------------------------------------------
// Header cells, written at the start of every page
// ---------------------------------------------------------------------------------------------

xls::CellValue headerValue(const HeaderCell& c, const Run& run)
{
    const QVariant value = c.columns[0] ? run.headerField(c.columns[0]) : QVariant();
    switch (c.source) {
    case Source::AsIs: return asIs(value);
    case Source::AsIsDate: return asIs(value, true);
    case Source::Text: return textCell(textForm(value));
    case Source::DateText: return textCell(dateText(value));
    case Source::Joined: {
        QStringList parts;
        for (const char* column : c.columns)
            if (column)
                parts << textForm(run.headerField(column));
        return textCell(parts.join(QString::fromUtf8(c.separator)));
    }
    case Source::PageOfPages: return textCell(QStringLiteral("%1/%2").arg(run.page).arg(run.pageCount));
    case Source::PoNumberPage: {
        const QString poNo = textForm(value);
        return textCell(run.pageCount > 1 ? poNo + QLatin1Char('-') + QString::number(run.page) : poNo);
    }
    case Source::Choice:
        // A choice that writes the value itself leaves the cell empty for NULL.
        if (!c.otherwise && value.isNull())
            return textCell(QString());
        if (numberReading(value) + 0 == c.equalTo)
            return textCell(QString::fromUtf8(c.whenEqual));
        return textCell(c.otherwise ? QString::fromUtf8(c.otherwise) : textForm(value));
    }
    return xls::CellValue::empty();
}

void writeHeader(Run& run, int sheet, const std::vector<HeaderCell>& cells)
{
    for (const HeaderCell& c : cells)
        run.book.setValue(sheet, c.address, headerValue(c, run));
}

void startPage(Run& run)
{
    run.deliverySheet = run.book.worksheet(QString::fromStdString(form::deliverySheetName(run.page)));
    if (isPurchaseOrder(run))
        run.orderSheet = run.book.worksheet(QString::fromStdString(form::orderSheetName(run.page)));
    writeHeader(run, run.deliverySheet, form::deliveryHeader());
    if (isPurchaseOrder(run))
        writeHeader(run, run.orderSheet, form::orderHeader());
}

// ---------------------------------------------------------------------------------------------
// Detail lines and totals
// ---------------------------------------------------------------------------------------------

void writeLineCells(Run& run, int sheet, qint32 row, const std::vector<LineCell>& cells, const Currency& amount)
{
    for (const LineCell& c : cells) {
        const QString text = c.field ? textForm(run.lineField(c.field)) : amount.toString();
        run.book.setValue(sheet, form::address(c.column, row + c.rowOffset).c_str(), textCell(text));
    }
}

void writeLine(Run& run)
{
    if (run.deliveryRow == form::kFirstDeliveryRow)
        startPage(run);

    // The product is rounded to four places first and only then cut to a whole number.
    const double product = numberReading(run.lineField("数量")) * numberReading(run.lineField("下代"));
    const Currency lineAmount = Currency::fromDouble(dbfRound(Currency::fromDouble(product), 0, 2));
    run.amountTotal = run.amountTotal + lineAmount;
    const double quantitySum = run.quantityTotal + numberReading(run.lineField("数量"));
    const double rounded = std::nearbyint(quantitySum);  // ties to the even neighbour
    if (!(rounded >= std::numeric_limits<qint32>::min() && rounded <= std::numeric_limits<qint32>::max()))
        throw Failure::of(FailureCode::Overflow);
    run.quantityTotal = static_cast<qint32>(rounded);

    writeLineCells(run, run.deliverySheet, run.deliveryRow, form::deliveryLine(), lineAmount);
    if (isPurchaseOrder(run)) {
        writeLineCells(run, run.orderSheet, run.orderRow, form::orderLine(), lineAmount);
        run.book.setValue(run.orderSheet, form::kQuantityTotal, textCell(QString::number(run.quantityTotal)));
        run.book.setValue(run.orderSheet, form::kAmountTotal, textCell(run.amountTotal.toString()));
    }
    run.lines.MoveNext();
    run.deliveryRow += form::kBandRows;
    run.orderRow += form::kBandRows;
    if (run.deliveryRow > form::kLastDeliveryRow) {
        run.deliveryRow = form::kFirstDeliveryRow;
        run.orderRow = form::kFirstOrderRow;
        ++run.page;
    }
}

// ---------------------------------------------------------------------------------------------
// The output file
// ---------------------------------------------------------------------------------------------

// A name Windows gives to a device whatever its extension ("NUL.xls" is the null device), or one
// that it changes or refuses: characters it does not allow, and a dot or blank at the end, which
// it drops (the file would take another PO's name).
bool unusableOnWindows(const QString& poNo)
{
    for (const QChar c : poNo)
        if (c.unicode() < 0x20 || QStringView(u"<>\"|?*\\:").contains(c))
            return true;
    if (poNo.endsWith(QLatin1Char('.')) || poNo.endsWith(QLatin1Char(' ')))
        return true;
    const QString device = poNo.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    static const QStringList devices = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                        QStringLiteral("NUL")};
    if (devices.contains(device))
        return true;
    return device.size() == 4 && (device.startsWith(QLatin1String("COM")) || device.startsWith(QLatin1String("LPT"))) &&
           device.at(3) >= QLatin1Char('1') && device.at(3) <= QLatin1Char('9');
}

void requireUsableName(const QString& poNo)
{
    // The PO number becomes a file name: nothing that would put the file elsewhere, and on Windows
    // nothing the system would take for a device or change.
    const bool windowsNames = QDir::separator() == QLatin1Char('\\');
    if (poNo.isEmpty() || poNo.contains(QLatin1Char('/')) || poNo.contains(QChar(0)) || poNo == QLatin1String(".") ||
        poNo == QLatin1String("..") || (windowsNames && unusableOnWindows(poNo)))
        throw Failure::of(FailureCode::PoNumberNotFileName, QStringLiteral("\"%1\"").arg(poNo));
}

void requireReplaceable(const QString& path)
{
    const QFileInfo info(path);
    const QString lock = info.dir().filePath(QStringLiteral(".~lock.") + info.fileName() + QLatin1Char('#'));
    if (QFileInfo::exists(lock))
        throw Failure::of(FailureCode::FileOpenInOtherProgram, path);
    if (!info.dir().exists())
        throw Failure::of(FailureCode::FolderMissing, info.dir().path());
}

// A step of writing the workbook's file that failed is a Failure naming the file and why.
void requireWritten(bool done, const ReplacingFile& file, const QString& path)
{
    if (!done)
        throw Failure::of(FailureCode::FileWriteFailed,
                          path + QStringLiteral(" (") + file.errorString() + QLatin1Char(')'));
}

}  // namespace

QString poFilePath(const QString& saveFolder, const QString& poNo, const QString& templatePath)
{
    QString folder = saveFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    // A template that cannot be read is reported when it is opened; until then it counts as .xls.
    QFile file(templatePath);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const bool officeOpenXml = form::templateFormat(xls::ByteView(
                                   reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size()))) == form::TemplateFormat::OfficeOpenXml;
    return folder + poNo + (officeOpenXml ? QStringLiteral(".xlsx") : QStringLiteral(".xls"));
}

QString defaultTemplatePath()
{
    for (const char* name : {"MST_PO.xls", "MST_PO.xlsx", "MST_PO.xlsm"}) {
        const QString path = programFile(QString::fromLatin1(name));
        if (QFileInfo(path).isFile())
            return path;
    }
    return programFile(QStringLiteral("MST_PO.xls"));
}

QString poTemplatePath(const PoFileOptions& options)
{
    return options.templatePath.isEmpty() ? defaultTemplatePath() : options.templatePath;
}

PoFileResult po_file_make(const QString& poNo)
{
    return po_file_make(poNo, PoFileOptions{});
}

PoFileResult po_file_make(const QString& poNo, const PoFileOptions& options)
{
    if (!gCnPo)
        throw Failure::of(FailureCode::DbNotOpen);
    Recordset header;
    header.Open(QStringLiteral("Select * From TBL_PO_H Where PO番号 = ? "), {poNo}, *gCnPo, adOpenStatic);
    if (header.Eof())
        return PoFileResult::NotFound;

    Recordset lines;
    lines.Open(QStringLiteral("Select * From TBL_PO_M Where PO番号 = ? Order By PO行 "), {poNo}, *gCnPo, adOpenStatic);
    const qint64 n = lines.RecordCount();
    const long long pages = form::pageCount(n);
    if (pages > std::numeric_limits<qint16>::max())
        throw Failure::of(FailureCode::Overflow);

    requireUsableName(poNo);
    const QString templatePath = poTemplatePath(options);
    const QString path =
        poFilePath(options.saveFolder.isEmpty() ? gPoSaveFolder : options.saveFolder, poNo, templatePath);
    requireReplaceable(path);

    Run run(PoWorkbook::open(templatePath, options.keepTemplate), header, lines);
    // The sheet scheme works by position: the template must be exactly the two forms, in order.
    if (!run.book.hasFormSheets())
        throw Failure::of(FailureCode::TemplateSheets, templatePath);
    run.pageCount = static_cast<qint16>(pages);
    run.book.preparePages(run.pageCount);
    while (!run.lines.Eof())
        writeLine(run);
    run.lines.Close();
    run.header.Close();
    // The saved bytes are read back and must hold what was written before they replace anything.
    // They go to a new file beside the target first, and the disk starts on them, so that the
    // check overlaps the disk's work; a workbook that fails it never replaces anything.
    const xls::Bytes bytes = run.book.saveToBytes();
    ReplacingFile file(path);
    requireWritten(file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())), file,
                   path);
    run.book.verify(bytes);
    requireWritten(file.commit(), file, path);
    if (!options.checkedCopyFolder.isEmpty()) {
        const QString copy = QDir(options.checkedCopyFolder).filePath(QFileInfo(path).fileName());
        QFile out(copy);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
                static_cast<qint64>(bytes.size()) ||
            !out.flush())
            throw Failure::of(FailureCode::FileWriteFailed, copy + QStringLiteral(" (") + out.errorString() + ')');
    }
    return PoFileResult::Written;
}

}  // namespace tolvar
