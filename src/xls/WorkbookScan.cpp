#include "xls/WorkbookScan.h"

#include "xls/CellTable.h"
#include "xls/CompoundFile.h"
#include "xls/SharedStrings.h"
#include "xls/Text.h"

#include <algorithm>
#include <map>

namespace xls {

namespace {

// A record seen in place, without copying its data.
struct View {
    std::uint16_t type;
    ByteView data;
    std::size_t offset;
};

std::vector<View> records(ByteView stream)
{
    std::vector<View> out;
    std::size_t pos = 0;
    int depth = 0;
    while (pos + 4 <= stream.size()) {
        const std::uint16_t type = u16(stream, pos);
        const std::uint16_t length = u16(stream, pos + 2);
        if (type == 0 && length == 0 && depth == 0)
            break;
        requireRange(stream, pos + 4, length);
        out.push_back({type, stream.subspan(pos + 4, length), pos});
        if (type == rt::Bof)
            ++depth;
        else if (type == rt::Eof && depth > 0)
            --depth;
        pos += 4 + length;
    }
    return out;
}

Record copyOf(const View& v)
{
    return Record{v.type, Bytes(v.data.begin(), v.data.end()), v.offset};
}

// The cells of one worksheet substream, from its BOF at `start`.
void readSheet(const std::vector<View>& all, std::size_t start, const SharedStrings& strings, WorkbookScan& scan,
               WorkbookScan::Sheet& sheet)
{
    auto shared = [&](std::uint32_t index) -> const std::u16string& { return strings.text(index); };
    int depth = 0;
    for (std::size_t i = start; i < all.size(); ++i) {
        const View& v = all[i];
        if (v.type == rt::Bof) {
            ++depth;
            continue;
        }
        if (v.type == rt::Eof && --depth == 0)
            break;
        if (depth != 1 || !isCellRecord(v.type))
            continue;
        if (v.data.size() < 6)
            throw Error(ErrorCode::DamagedRecord, v.offset, "cell record too short");
        // A FORMULA with a text result has its STRING after it (past SHRFMLA, ARRAY or TABLE).
        ByteView stringResult;
        for (std::size_t j = i + 1; v.type == rt::Formula && j < all.size(); ++j) {
            if (all[j].type == rt::String)
                stringResult = all[j].data;
            if (!isFormulaFollower(all[j].type) && all[j].type != rt::Continue)
                break;
        }
        scan.labelSstCells += v.type == rt::LabelSst;
        const std::uint16_t row = u16(v.data, field::kCellRow);
        readCells(v.type, v.data, stringResult, shared, [&](std::uint16_t col, CellReading reading) {
            sheet.cells.push_back({WorkbookScan::key(row, col), std::move(reading)});
        });
    }
    // By address; of two records for one address the later one counts.
    std::stable_sort(sheet.cells.begin(), sheet.cells.end(),
                     [](const WorkbookScan::Cell& a, const WorkbookScan::Cell& b) { return a.key < b.key; });
    std::vector<WorkbookScan::Cell> unique;
    unique.reserve(sheet.cells.size());
    for (WorkbookScan::Cell& c : sheet.cells) {
        if (!unique.empty() && unique.back().key == c.key) {
            if (sheet.heldTwice.empty() || sheet.heldTwice.back() != c.key)
                sheet.heldTwice.push_back(c.key);
            unique.back() = std::move(c);
        } else {
            unique.push_back(std::move(c));
        }
    }
    sheet.cells = std::move(unique);
}

}  // namespace

WorkbookScan WorkbookScan::read(ByteView file, Offsets offsets)
{
    const CompoundFile cf = CompoundFile::parse(file);
    const int stream = cf.findRootStream(u"Workbook");
    if (stream < 0)
        throw Error(ErrorCode::NoWorkbookStream, "");
    return fromStream(cf.stream(stream), offsets);
}

WorkbookScan WorkbookScan::fromStream(ByteView stream, Offsets offsets)
{
    const std::vector<View> all = records(stream);

    WorkbookScan scan;
    SharedStrings strings;
    struct Bound {
        std::uint32_t offset;
        std::u16string name;
        bool worksheet;
    };
    std::vector<Bound> bounds;
    std::size_t i = 0;
    for (; i < all.size() && all[i].type != rt::Eof; ++i) {
        const View& v = all[i];
        if (v.type == rt::BoundSheet) {
            requireRange(v.data, 0, field::kSheetName + 1);
            bounds.push_back({u32(v.data, field::kSheetOffset),
                              readChars(v.data, field::kSheetName + 1, v.data[field::kSheetNameLength],
                                        v.data[field::kSheetName] & 0x01),
                              v.data[field::kSheetType] == 0});
        } else if (v.type == rt::Sst) {
            std::vector<Record> chain{copyOf(v)};
            while (i + 1 < all.size() && all[i + 1].type == rt::Continue)
                chain.push_back(copyOf(all[++i]));
            strings = SharedStrings(std::move(chain));
        }
    }
    scan.sstTotal = strings.statedTotal();
    scan.sstUnique = strings.statedUnique();
    scan.sstStrings = strings.count();

    std::map<std::size_t, std::size_t> bofAt;  // stream offset of each top-level BOF -> record
    std::vector<std::size_t> bofs;             // the same in stream order
    int depth = 0;
    for (std::size_t k = i + 1; k < all.size(); ++k) {
        if (all[k].type == rt::Bof && depth++ == 0) {
            bofAt[all[k].offset] = k;
            bofs.push_back(k);
        } else if (all[k].type == rt::Eof && depth > 0) {
            --depth;
        }
    }
    std::size_t nextInOrder = 0;
    for (const Bound& b : bounds) {
        std::size_t start;
        if (const auto at = bofAt.find(b.offset); at != bofAt.end())
            start = at->second;
        else if (offsets == Offsets::InOrderWhenWrong && nextInOrder < bofs.size())
            start = bofs[nextInOrder];
        else
            throw Error(ErrorCode::DamagedRecord, b.offset,
                        "sheet \"" + utf8(b.name) + "\" has no substream at its offset");
        nextInOrder = static_cast<std::size_t>(std::upper_bound(bofs.begin(), bofs.end(), start) - bofs.begin());
        Sheet sheet;
        sheet.name = b.name;
        const ByteView bof = all[start].data;
        sheet.worksheet = b.worksheet && bof.size() >= 4 && u16(bof, field::kBofType) == field::kBofWorksheet;
        if (sheet.worksheet)
            readSheet(all, start, strings, scan, sheet);
        scan.sheets.push_back(std::move(sheet));
    }
    return scan;
}

std::string WorkbookScan::address(std::uint32_t key)
{
    return cellName(static_cast<std::uint16_t>(key >> 16), static_cast<std::uint16_t>(key & 0xFFFF));
}

}  // namespace xls
