#include "xls/ExternSheets.h"

namespace xls {

namespace {

constexpr std::size_t kXtiSize = 6;

}  // namespace

ExternSheets::ExternSheets(std::vector<Record>& globals)
{
    int books = 0;
    for (std::size_t k = 0; k < globals.size(); ++k) {
        Record& r = globals[k];
        if (r.type == rt::SupBook) {
            if (r.data.size() >= 4 && u16(r.data, field::kSupBookKind) == field::kSupBookSelf)
                selfBook_ = books;
            ++books;
        } else if (r.type == rt::ExternSheet) {
            if (k + 1 < globals.size() && globals[k + 1].type == rt::Continue)
                throw Error(ErrorCode::Unsupported, r.offset, "a continued EXTERNSHEET record");
            record_ = &r;
        }
    }
}

int ExternSheets::find(int sheet) const
{
    if (!record_ || selfBook_ < 0)
        return -1;
    const Bytes& d = record_->data;
    const std::uint16_t n = u16(d, 0);
    for (std::uint16_t x = 0; x < n; ++x) {
        const std::size_t at = 2 + kXtiSize * x;
        if (u16(d, at) == selfBook_ && u16(d, at + 2) == sheet && u16(d, at + 4) == sheet)
            return x;
    }
    return -1;
}

int ExternSheets::findOrAdd(int sheet)
{
    if (const int x = find(sheet); x >= 0)
        return x;
    if (!record_ || selfBook_ < 0)
        throw Error(ErrorCode::Unsupported,
                    "a reference to a copied sheet without the workbook's own EXTERNSHEET entry");
    Bytes& d = record_->data;
    const std::uint16_t n = u16(d, 0);
    put16(d, static_cast<std::uint16_t>(selfBook_));
    put16(d, static_cast<std::uint16_t>(sheet));
    put16(d, static_cast<std::uint16_t>(sheet));
    set16(d, 0, static_cast<std::uint16_t>(n + 1));
    return n;
}

std::optional<int> ExternSheets::soleSheet(int xti) const
{
    if (!record_ || selfBook_ < 0 || xti < 0 || xti >= u16(record_->data, 0))
        return std::nullopt;
    const std::size_t at = 2 + kXtiSize * static_cast<std::size_t>(xti);
    const Bytes& d = record_->data;
    if (at + kXtiSize > d.size() || u16(d, at) != selfBook_ || u16(d, at + 2) != u16(d, at + 4))
        return std::nullopt;
    return u16(d, at + 2);
}

}  // namespace xls
