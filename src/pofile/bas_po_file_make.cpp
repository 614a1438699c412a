#include "pofile/bas_po_file_make.h"

#include "db/Recordset.h"
#include "db/dbOpen.h"
#include "pofile/CellForms.h"
#include "pofile/PoWorkbook.h"
#include "settings/LoadSettings.h"
#include "util/Currency.h"
#include "util/Failure.h"
#include "util/FailureCodes.h"
#include "util/ProgramPaths.h"
#include "util/dbfRound.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cmath>
#include <limits>

namespace tolvar {

namespace {

const QString kDeliveryTemplate = QStringLiteral("海外納品情報");
const QString kOrderTemplate = QStringLiteral("Purchase Order");
constexpr int kFirstDeliveryRow = 34;
constexpr int kFirstOrderRow = 17;
constexpr int kLastDeliveryRow = 72;

// ---------------------------------------------------------------------------------------------
// Run state
// ---------------------------------------------------------------------------------------------

struct Run {
    Run(PoWorkbook b, Recordset& h, Recordset& l) : book(std::move(b)), header(h), lines(l) {}
    PoWorkbook book;
    Recordset& header;
    Recordset& lines;
    qint16 pageCount = 0;
    qint16 page = 1;
    qint32 deliveryRow = kFirstDeliveryRow;
    qint32 orderRow = kFirstOrderRow;
    int deliverySheet = 0;
    int orderSheet = 0;  // looked up only for order kind "0"
    Currency amountTotal;
    qint32 quantityTotal = 0;
};

QVariant field(const Recordset& rs, const char* column)
{
    return rs.Fields(QString::fromUtf8(column));
}

bool isPurchaseOrder(const Recordset& header)
{
    const QVariant kind = field(header, "発注区分");
    return !kind.isNull() && kind.toString() == QLatin1String("0");
}

QString joined(std::initializer_list<QVariant> parts, const QString& separator)
{
    QStringList texts;
    for (const QVariant& p : parts)
        texts << textForm(p);
    return texts.join(separator);
}

// ---------------------------------------------------------------------------------------------
// Header cells, written at the start of every page
// ---------------------------------------------------------------------------------------------

enum class Form { AsIs, AsIsDate };

// Writes one sheet's header cells from the header row.
struct HeaderWriter {
    PoWorkbook& book;
    int sheet;
    const Recordset& header;

    void asIs(const char* address, const char* column, bool date = false) const
    {
        book.setValue(sheet, address, tolvar::asIs(field(header, column), date));
    }
    void text(const char* address, const QString& value) const { book.setValue(sheet, address, textCell(value)); }
};

struct HeaderCell {
    const char* address;
    const char* column;
    Form form;
};

// The delivery sheet's "as is" cells, in the order they are written among the others.
void writeDeliveryHeader(Run& run)
{
    const Recordset& h = run.header;
    const HeaderWriter w{run.book, run.deliverySheet, h};

    w.text("I3", textForm(field(h, "発注先名")));
    w.asIs("AU1", "PO番号");
    w.text("BC3", dateText(field(h, "PO発行日")));
    w.text("BC2", QStringLiteral("%1/%2").arg(run.page).arg(run.pageCount));
    w.text("H5", joined({field(h, "得意先CD"), field(h, "得意先名")}, QStringLiteral(" ")));
    w.text("AT5", joined({field(h, "発注元担当者CD"), field(h, "発注元担当者名")}, QStringLiteral(" ")));
    w.asIs("L7", "納品先名");
    w.asIs("L8", "納品先名中文");
    w.text("L9", joined({field(h, "納品先住所1"), field(h, "納品先住所2")}, QStringLiteral(" ")));
    w.text("L10", joined({field(h, "納品先住所1中文"), field(h, "納品先住所2中文")}, QStringLiteral(" ")));
    const HeaderCell middle[] = {
        {"H11", "納品先TEL番号", Form::AsIs},
        {"X11", "納品先FAX番号", Form::AsIs},
        {"AN11", "納品先担当者名", Form::AsIs},
        {"BJ11", "納品先CD", Form::AsIs},
    };
    for (const HeaderCell& c : middle)
        w.asIs(c.address, c.column);
    w.text("H14", joined({field(h, "請求先名"), field(h, "請求先部門")}, QStringLiteral(" ")));
    w.text("H15", joined({field(h, "請求先住所1"), field(h, "請求先住所2")}, QStringLiteral(" ")));
    const HeaderCell billing[] = {
        {"H16", "請求先TEL番号", Form::AsIs},   {"X16", "請求先FAX番号", Form::AsIs},
        {"AN16", "請求先担当者名", Form::AsIs}, {"BD16", "請求先CD", Form::AsIs},
        {"K17", "希望納期", Form::AsIsDate},    {"K18", "納品形態", Form::AsIs},
        {"K19", "出荷方法", Form::AsIs},
    };
    for (const HeaderCell& c : billing)
        w.asIs(c.address, c.column, c.form == Form::AsIsDate);
    w.text("K20", numberReading(field(h, "運賃請求")) + 0 == 0 ? QStringLiteral("無し") : QStringLiteral("有り"));
    w.asIs("K21", "運賃形態");
    w.asIs("K22", "建値区分");
    w.asIs("K23", "通貨区分");
    const QVariant loss = field(h, "ロス率");
    w.text("AF17", loss.isNull() ? QString() : numberReading(loss) + 0 == 1 ? QStringLiteral("込み") : textForm(loss));
    w.text("AF18",
           numberReading(field(h, "ロス請求の有無")) + 0 == 0 ? QStringLiteral("不可") : QStringLiteral("可能"));
    const HeaderCell rest[] = {
        {"AF19", "販売形態", Form::AsIs},  {"AF20", "商品集積地", Form::AsIs}, {"AF22", "客先契約番号", Form::AsIs},
        {"AF23", "KP番号", Form::AsIs},    {"BA17", "決済経路1", Form::AsIs},  {"BA18", "決済経路2", Form::AsIs},
        {"BA19", "決済経路3", Form::AsIs}, {"BA20", "決済経路4", Form::AsIs},  {"BA21", "決済経路5", Form::AsIs},
        {"B27", "備考1", Form::AsIs},      {"B28", "備考2", Form::AsIs},       {"B29", "備考3", Form::AsIs},
        {"B30", "備考4", Form::AsIs},      {"B31", "備考5", Form::AsIs},       {"AR26", "ケースマーク", Form::AsIs},
        {"I75", "発注元名", Form::AsIs},
    };
    for (const HeaderCell& c : rest)
        w.asIs(c.address, c.column);
}

void writeOrderHeader(Run& run)
{
    const Recordset& h = run.header;
    const HeaderWriter w{run.book, run.orderSheet, h};

    w.asIs("H7", "発注先名");
    w.asIs("H8", "発注先住所1");
    w.asIs("H9", "発注先住所2");
    w.asIs("H11", "発注先TEL番号");
    w.asIs("H13", "発注先責任者名");
    const QString poNo = textForm(field(h, "PO番号"));
    w.text("AY7", run.pageCount > 1 ? poNo + QLatin1Char('-') + QString::number(run.page) : poNo);
    w.text("AU11", dateText(field(h, "PO発行日")));
    w.text("AU13", joined({field(h, "発注元担当者CD"), field(h, "発注元担当者名")}, QStringLiteral(" ")));
    w.text("J60",
           joined({field(h, "備考1"), field(h, "備考2"), field(h, "備考3"), field(h, "備考4"), field(h, "備考5")},
                  QString()));
    w.text("S62", joined({field(h, "請求先CD"), field(h, "請求先名"), field(h, "請求先部門")}, QStringLiteral(" ")));
    w.asIs("L63", "納品先名");
    w.asIs("S64", "希望納期", true);
    w.asIs("D71", "発注先名");
    w.asIs("AR71", "発注元名");
    w.text("AT57", textForm(field(h, "通貨区分")));
    w.text("AT60", textForm(field(h, "客先契約番号")));
}

void startPage(Run& run)
{
    run.deliverySheet = run.book.worksheet(QStringLiteral("納品情報%1").arg(run.page));
    if (isPurchaseOrder(run.header))
        run.orderSheet = run.book.worksheet(QStringLiteral("PO%1").arg(run.page));
    writeDeliveryHeader(run);
    if (isPurchaseOrder(run.header))
        writeOrderHeader(run);
}

// ---------------------------------------------------------------------------------------------
// Detail lines and totals
// ---------------------------------------------------------------------------------------------

QByteArray cellAddress(const char* column, qint32 row)
{
    return QByteArray(column) + QByteArray::number(row);
}

void writeLine(Run& run)
{
    if (run.deliveryRow == kFirstDeliveryRow)
        startPage(run);
    const Recordset& m = run.lines;

    // The product is rounded to four places first and only then cut to a whole number.
    const double product = numberReading(field(m, "数量")) * numberReading(field(m, "下代"));
    const qint16 digits = 0, mode = 2;
    const Currency lineAmount = Currency::fromDouble(dbfRound(Currency::fromDouble(product), digits, mode));
    run.amountTotal = run.amountTotal + lineAmount;
    const double quantitySum = run.quantityTotal + numberReading(field(m, "数量"));
    const double rounded = std::nearbyint(quantitySum);  // ties to the even neighbour
    if (!(rounded >= std::numeric_limits<qint32>::min() && rounded <= std::numeric_limits<qint32>::max()))
        throw Failure(toNumber(FailureCode::Overflow), failureText(FailureCode::Overflow));
    run.quantityTotal = static_cast<qint32>(rounded);

    PoWorkbook& book = run.book;
    auto text = [&](int sheet, const char* column, qint32 row, const char* source) {
        book.setValue(sheet, cellAddress(column, row).constData(), textCell(textForm(field(m, source))));
    };
    const int d = run.deliverySheet;
    const qint32 r = run.deliveryRow;
    text(d, "B", r, "商品CD");
    text(d, "J", r, "品名1");
    text(d, "J", r + 1, "品名2");
    text(d, "AI", r, "客先商品CD");
    text(d, "AR", r, "数量");
    text(d, "AY", r, "下代");
    text(d, "BF", r, "上代");
    if (isPurchaseOrder(run.header)) {
        const int o = run.orderSheet;
        const qint32 q = run.orderRow;
        text(o, "D", q, "商品CD");
        text(o, "L", q, "品名1");
        text(o, "L", q + 1, "品名2");
        text(o, "AK", q, "数量");
        text(o, "AT", q, "下代");
        book.setValue(o, cellAddress("BC", q).constData(), textCell(lineAmount.toString()));
        book.setValue(o, "AK57", textCell(QString::number(run.quantityTotal)));
        book.setValue(o, "BC57", textCell(run.amountTotal.toString()));
    }
    run.lines.MoveNext();
    run.deliveryRow += 2;
    run.orderRow += 2;
    if (run.deliveryRow > kLastDeliveryRow) {
        run.deliveryRow = kFirstDeliveryRow;
        run.orderRow = kFirstOrderRow;
        ++run.page;
    }
}

// ---------------------------------------------------------------------------------------------
// The output file
// ---------------------------------------------------------------------------------------------

void requireUsableName(const QString& poNo)
{
    // The PO number becomes a file name: nothing that would put the file elsewhere.
    if (poNo.isEmpty() || poNo.contains(QLatin1Char('/')) || poNo.contains(QChar(0)) || poNo == QLatin1String(".") ||
        poNo == QLatin1String(".."))
        throw Failure(toNumber(FailureCode::FileWriteFailed),
                      QStringLiteral("PO番号 \"%1\" はファイル名に使えません。").arg(poNo));
}

void requireReplaceable(const QString& path)
{
    const QFileInfo info(path);
    const QString lock = info.dir().filePath(QStringLiteral(".~lock.") + info.fileName() + QLatin1Char('#'));
    if (QFileInfo::exists(lock))
        throw Failure(toNumber(FailureCode::FileOpenInOtherProgram),
                      failureText(FailureCode::FileOpenInOtherProgram) + QLatin1Char(' ') + path);
    if (!info.dir().exists())
        throw Failure(toNumber(FailureCode::FolderMissing),
                      failureText(FailureCode::FolderMissing) + QLatin1Char(' ') + info.dir().path());
}

// Written beside the target and renamed over it: the older file stays until the new one is whole.
void moveIntoPlace(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw Failure(toNumber(FailureCode::FileWriteFailed), failureText(FailureCode::FileWriteFailed) +
                                                                  QLatin1Char(' ') + path + QStringLiteral(" (") +
                                                                  reason + QLatin1Char(')'));
    }
}

}  // namespace

QString poFilePath(const QString& saveFolder, const QString& poNo)
{
    QString folder = saveFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder + poNo + QStringLiteral(".xls");
}

PoFileResult po_file_make(const QString& poNo)
{
    return po_file_make(poNo, PoFileOptions{});
}

PoFileResult po_file_make(const QString& poNo, const PoFileOptions& options)
{
    if (!gCnPo)
        throw Failure(toNumber(FailureCode::DbNotOpen), failureText(FailureCode::DbNotOpen));
    Recordset header;
    header.Open(QStringLiteral("Select * From TBL_PO_H Where PO番号 = ? "), {poNo}, *gCnPo, adOpenStatic);
    if (header.Eof())
        return PoFileResult::NotFound;

    Recordset lines;
    lines.Open(QStringLiteral("Select * From TBL_PO_M Where PO番号 = ? Order By PO行 "), {poNo}, *gCnPo, adOpenStatic);
    const qint64 n = lines.RecordCount();
    if (n / 20 + 1 > std::numeric_limits<qint16>::max())
        throw Failure(toNumber(FailureCode::Overflow), failureText(FailureCode::Overflow));
    const auto pageCount = static_cast<qint16>(n % 20 ? n / 20 + 1 : n / 20);

    requireUsableName(poNo);
    const QString path = poFilePath(options.saveFolder.isEmpty() ? gPoSaveFolder : options.saveFolder, poNo);
    requireReplaceable(path);
    const QString templatePath =
        options.templatePath.isEmpty() ? programFile(QStringLiteral("MST_PO.xls")) : options.templatePath;

    Run run(PoWorkbook::open(templatePath), header, lines);
    // The sheet scheme works by position: the template must be exactly the two forms, in order.
    if (run.book.sheetCount() != 2 || run.book.worksheet(kDeliveryTemplate) != 1 ||
        run.book.worksheet(kOrderTemplate) != 2)
        throw Failure(toNumber(FailureCode::TemplateSheets),
                      failureText(FailureCode::TemplateSheets) + QLatin1Char(' ') + templatePath);
    run.pageCount = pageCount;
    for (int k = 2; k <= pageCount; ++k) {
        run.book.copyAfterLast(run.book.worksheet(kDeliveryTemplate));
        run.book.copyAfterLast(run.book.worksheet(kOrderTemplate));
    }
    for (int j = 1; j <= pageCount; ++j) {
        run.book.setName(2 * j - 1, QStringLiteral("納品情報%1").arg(j));
        run.book.setName(2 * j, QStringLiteral("PO%1").arg(j));
    }
    while (!run.lines.Eof())
        writeLine(run);
    run.lines.Close();
    run.header.Close();
    moveIntoPlace(path, run.book.saveToBytes());
    return PoFileResult::Written;
}

}  // namespace tolvar
