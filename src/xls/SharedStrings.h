// SharedStrings: the workbook's shared string table (SST and its CONTINUE records). The table
// read from the file is kept byte for byte; new strings are appended at its end, split over
// CONTINUE records as Excel splits them (a string's header never split, characters continued
// with an option byte). The EXTSST index is computed from where each string lands.
#pragma once

#include "xls/Record.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace xls {

class SharedStrings {
public:
    SharedStrings() = default;
    // chain: the SST record and the CONTINUE records that follow it.
    explicit SharedStrings(std::vector<Record> chain);

    std::uint32_t count() const { return static_cast<std::uint32_t>(texts_.size()); }
    // The text of the string at the index; throws DamagedRecord for an index beyond the table.
    const std::u16string& text(std::uint32_t index) const;
    const std::vector<std::u16string>& texts() const { return texts_; }
    // cstTotal and cstUnique as the SST record states them.
    std::uint32_t statedTotal() const;
    std::uint32_t statedUnique() const;
    // The index of the text, appended when no plain string (no formatting runs, no phonetic
    // data) holds it yet. The first call indexes the table's plain strings: a table only read
    // never pays for that.
    std::uint32_t add(const std::u16string& text);
    // The texts, moved out: the table is of no further use.
    std::vector<std::u16string> releaseTexts() { return std::move(texts_); }

    // The SST chain with the counts set; totalReferences is the number of LABELSST cells.
    std::vector<Record> records(std::uint32_t totalReferences) const;
    // EXTSST for the chain as laid out from streamOffset (the SST record's header).
    Record extSst(std::size_t streamOffset) const;

private:
    struct Position {
        std::size_t record;  // index in chain_
        std::size_t offset;  // within that record's data
    };
    void appendString(const std::u16string& text);

    std::vector<Record> chain_;
    std::vector<std::u16string> texts_;
    std::vector<Position> positions_;
    std::vector<bool> isPlain_;  // by index: no formatting runs, no phonetic data
    std::unordered_map<std::u16string, std::uint32_t> plain_;
    bool indexed_ = false;
};

}  // namespace xls
