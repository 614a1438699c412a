#include "pofile/PoWorkbook.h"

#include "pofile/TemplateCheck.h"

#include "util/Failure.h"
#include "util/FailureCodes.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <future>
#include <optional>

namespace tolvar {

namespace {

template <typename F>
auto engine(F&& f) -> decltype(f())
{
    try {
        return f();
    } catch (const xls::Error& e) {
        throw Failure(PoWorkbook::failureNumber(e),
                      failureText(FailureCode::WorkbookEngine) + QLatin1Char(' ') + QString::fromUtf8(e.what()));
    }
}

}  // namespace

qint32 PoWorkbook::failureNumber(const xls::Error& error)
{
    return toNumber(FailureCode::WorkbookEngine) - static_cast<qint32>(error.code());
}

namespace {

// A batch opens the same template for every PO: it is read once and copied, for as long as the
// file stays the same (its path, size and time of change).
struct Opened {
    QString path;
    qint64 size = -1;
    QDateTime changed;
    std::optional<PoWorkbook::Book> book;

    bool holds(const QFileInfo& info) const
    {
        return book && path == info.absoluteFilePath() && size == info.size() && changed == info.lastModified();
    }
    // The book goes in last, so that a failure on the way leaves no book under another file's name.
    void remember(const QFileInfo& info, PoWorkbook::Book read)
    {
        book.reset();
        path = info.absoluteFilePath();
        size = info.size();
        changed = info.lastModified();
        book = std::move(read);
    }
};
Opened opened;
// A read-ahead in flight, which alone touches `opened` until it is waited for. Both are touched
// only by the thread that opens templates and its read-ahead; declared after `opened`, it is waited
// for before `opened` goes at exit.
std::future<void> readingAhead;

void waitForReadAhead()
{
    if (readingAhead.valid())
        readingAhead.get();
}

PoWorkbook::Book readTemplate(const QString& templatePath)
{
    QFile file(templatePath);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure::of(FailureCode::FileMissing, templatePath);
    const QByteArray bytes = file.readAll();
    const xls::ByteView view(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                             static_cast<std::size_t>(bytes.size()));
    return engine([&]() -> PoWorkbook::Book {
        if (form::templateFormat(view) == form::TemplateFormat::OfficeOpenXml)
            return ooxml::Workbook::fromBytes(view);
        return xls::Workbook::fromBytes(view);
    });
}

}  // namespace

void PoWorkbook::readAhead(const QString& templatePath)
{
    waitForReadAhead();
    readingAhead = std::async(std::launch::async, [templatePath] {
        // What goes wrong here, open() meets again and reports in its place.
        try {
            const QFileInfo info(templatePath);
            if (opened.holds(info))
                return;
            opened.book.reset();
            opened.remember(info, readTemplate(templatePath));
        } catch (...) {
        }
    });
}

PoWorkbook PoWorkbook::open(const QString& templatePath, bool keep)
{
    waitForReadAhead();
    const QFileInfo info(templatePath);
    if (opened.holds(info)) {
        if (keep)
            return PoWorkbook(*opened.book);
        PoWorkbook last(std::move(*opened.book));
        opened.book.reset();
        return last;
    }

    opened.book.reset();
    Book book = readTemplate(templatePath);
    if (!keep)
        return PoWorkbook(std::move(book));
    opened.remember(info, std::move(book));
    return PoWorkbook(*opened.book);
}

int PoWorkbook::sheetCount() const
{
    return std::visit([](const auto& b) { return b.sheetCount(); }, book_);
}

bool PoWorkbook::hasFormSheets() const
{
    return std::visit([](const auto& b) { return form::hasFormSheets(b); }, book_);
}

void PoWorkbook::preparePages(int pages)
{
    engine([&] {
        std::visit([&](auto& b) { form::preparePages(b, pages); }, book_);
        return 0;
    });
}

void PoWorkbook::verify(xls::ByteView saved) const
{
    const std::vector<std::string> differences =
        engine([&] { return std::visit([&](const auto& b) { return b.verify(saved); }, book_); });
    if (differences.empty())
        return;
    // The first few say enough; the count says how far it goes.
    QStringList shown;
    for (std::size_t i = 0; i < differences.size() && i < 3; ++i)
        shown << QString::fromStdString(differences[i]);
    if (differences.size() > 3)
        shown << QStringLiteral("... (%1 in all)").arg(differences.size());
    throw Failure::of(FailureCode::WorkbookCheckFailed, shown.join(QStringLiteral("; ")));
}

int PoWorkbook::worksheet(const QString& name) const
{
    return engine(
        [&] { return std::visit([&](const auto& b) { return b.sheetPosition(name.toStdU16String()); }, book_); });
}

void PoWorkbook::copyAfterLast(int position)
{
    engine([&] { return std::visit([&](auto& b) { return b.copySheetToEnd(position); }, book_); });
}

void PoWorkbook::setName(int position, const QString& name)
{
    engine([&] {
        std::visit([&](auto& b) { b.renameSheet(position, name.toStdU16String()); }, book_);
        return 0;
    });
}

void PoWorkbook::setValue(int position, const char* address, const xls::CellValue& value)
{
    engine([&] {
        std::visit([&](auto& b) { b.setCell(position, address, value); }, book_);
        return 0;
    });
}

xls::Bytes PoWorkbook::saveToBytes() const
{
    return engine([&] { return std::visit([](const auto& b) { return b.saveToBytes(); }, book_); });
}

}  // namespace tolvar
