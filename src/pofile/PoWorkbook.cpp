#include "pofile/PoWorkbook.h"

#include "util/Failure.h"
#include "util/FailureCodes.h"

#include <QFile>

namespace tolvar {

namespace {

template <typename F>
auto engine(F&& f) -> decltype(f())
{
    try {
        return f();
    } catch (const xls::Error& e) {
        throw Failure(PoWorkbook::failureNumber(e), QString::fromUtf8(e.what()));
    }
}

}  // namespace

qint32 PoWorkbook::failureNumber(const xls::Error& error)
{
    return -4000 - static_cast<qint32>(error.code());
}

PoWorkbook PoWorkbook::open(const QString& templatePath)
{
    QFile file(templatePath);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(toNumber(FailureCode::FileMissing),
                      failureText(FailureCode::FileMissing) + QLatin1Char(' ') + templatePath);
    const QByteArray bytes = file.readAll();
    return engine([&] {
        return PoWorkbook(xls::Workbook::fromBytes(xls::ByteView(
            reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()))));
    });
}

int PoWorkbook::worksheet(const QString& name) const
{
    return engine([&] { return book_.sheetPosition(name.toStdU16String()); });
}

void PoWorkbook::copyAfterLast(int position)
{
    engine([&] { return book_.copySheetToEnd(position); });
}

void PoWorkbook::setName(int position, const QString& name)
{
    engine([&] {
        book_.renameSheet(position, name.toStdU16String());
        return 0;
    });
}

void PoWorkbook::setValue(int position, const char* address, const xls::CellValue& value)
{
    engine([&] {
        book_.setCell(position, address, value);
        return 0;
    });
}

QByteArray PoWorkbook::saveToBytes() const
{
    return engine([&] {
        const xls::Bytes bytes = book_.saveToBytes();
        return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    });
}

}  // namespace tolvar
