#include "xls/SharedStrings.h"

#include <algorithm>

namespace xls {

namespace {

// A cursor over the data of the records of the chain, as one logical sequence.
class ChainCursor {
public:
    explicit ChainCursor(const std::vector<Record>& chain) : chain_(chain) {}

    std::size_t record() const { return record_; }
    std::size_t offset() const { return offset_; }
    bool atEnd()
    {
        skipExhausted();
        return record_ >= chain_.size();
    }
    void seek(std::size_t record, std::size_t offset)
    {
        record_ = record;
        offset_ = offset;
    }
    // Moves to the next record when this one is used up (no option byte involved).
    void skipExhausted()
    {
        while (record_ < chain_.size() && offset_ >= chain_[record_].data.size()) {
            ++record_;
            offset_ = 0;
        }
    }
    std::size_t available() const { return record_ < chain_.size() ? chain_[record_].data.size() - offset_ : 0; }
    std::uint8_t byte()
    {
        skipExhausted();
        if (record_ >= chain_.size())
            throw Error(ErrorCode::DamagedRecord, "shared string table ends inside a string");
        return chain_[record_].data[offset_++];
    }
    std::uint16_t u16v()
    {
        const std::uint8_t a = byte();
        return static_cast<std::uint16_t>(a | (byte() << 8));
    }
    std::uint32_t u32v()
    {
        const std::uint32_t a = u16v();
        return a | (static_cast<std::uint32_t>(u16v()) << 16);
    }
    void skip(std::size_t n)
    {
        while (n > 0) {
            skipExhausted();
            if (record_ >= chain_.size())
                throw Error(ErrorCode::DamagedRecord, "shared string table ends inside a string");
            const std::size_t step = std::min(n, available());
            offset_ += step;
            n -= step;
        }
    }
    // cch characters, starting in `high` width; each CONTINUE the text reaches begins with an
    // option byte that sets the width of its part.
    std::u16string chars(std::size_t cch, bool high)
    {
        std::u16string out;
        out.reserve(cch);
        while (out.size() < cch) {
            if (available() == 0) {
                ++record_;
                offset_ = 0;
                if (record_ >= chain_.size())
                    throw Error(ErrorCode::DamagedRecord, "shared string table ends inside a string");
                high = (chain_[record_].data.empty() ? 0 : chain_[record_].data[0]) & 0x01;
                offset_ = 1;
                continue;
            }
            if (high) {
                if (available() < 2)
                    throw Error(ErrorCode::DamagedRecord, chain_[record_].offset, "a character split over two records");
                const auto& d = chain_[record_].data;
                out.push_back(static_cast<char16_t>(d[offset_] | (d[offset_ + 1] << 8)));
                offset_ += 2;
            } else {
                out.push_back(chain_[record_].data[offset_++]);
            }
        }
        return out;
    }

private:
    const std::vector<Record>& chain_;
    std::size_t record_ = 0;
    std::size_t offset_ = 0;
};

}  // namespace

SharedStrings::SharedStrings(std::vector<Record> chain) : chain_(std::move(chain))
{
    if (chain_.empty() || chain_[0].data.size() < 8)
        throw Error(ErrorCode::DamagedRecord, chain_.empty() ? 0 : chain_[0].offset, "SST record too short");
    const std::uint32_t unique = u32(chain_[0].data, 4);
    ChainCursor c(chain_);
    c.seek(0, 8);
    // cstUnique can lie either way. The strings it counts must be whole; after them, the strings
    // that are whole count too, and the first that is not ends the table: its bytes belong to no
    // string a cell can name and are dropped, so that the strings appended later follow the last
    // one directly and are read back where they were put.
    while (!c.atEnd()) {
        const Position at{c.record(), c.offset()};
        try {
            const std::uint16_t cch = c.u16v();
            const std::uint8_t flags = c.byte();
            const std::uint16_t runs = (flags & 0x08) ? c.u16v() : 0;
            const std::uint32_t ext = (flags & 0x04) ? c.u32v() : 0;
            std::u16string text = c.chars(cch, flags & 0x01);
            c.skip(static_cast<std::size_t>(runs) * 4);
            c.skip(ext);
            isPlain_.push_back(runs == 0 && ext == 0);
            positions_.push_back(at);
            texts_.push_back(std::move(text));
        } catch (const Error&) {
            if (texts_.size() < unique)
                throw;
            chain_[at.record].data.resize(at.offset);
            chain_.resize(at.record + 1);
            if (chain_.size() > 1 && chain_.back().data.empty())
                chain_.pop_back();
            break;
        }
    }
}

const std::u16string& SharedStrings::text(std::uint32_t index) const
{
    if (index >= texts_.size())
        throw Error(ErrorCode::DamagedRecord,
                    "shared string " + std::to_string(index) + " of " + std::to_string(texts_.size()));
    return texts_[index];
}

std::uint32_t SharedStrings::statedTotal() const
{
    return chain_.empty() ? 0 : u32(chain_[0].data, 0);
}

std::uint32_t SharedStrings::statedUnique() const
{
    return chain_.empty() ? 0 : u32(chain_[0].data, 4);
}

std::uint32_t SharedStrings::add(const std::u16string& text)
{
    if (!indexed_) {
        for (std::size_t i = 0; i < texts_.size(); ++i)
            if (isPlain_[i])
                plain_.emplace(texts_[i], static_cast<std::uint32_t>(i));  // the first of equal texts stays
        indexed_ = true;
    }
    if (const auto it = plain_.find(text); it != plain_.end())
        return it->second;
    if (chain_.empty()) {
        Record sst;
        sst.type = rt::Sst;
        sst.data.assign(8, 0);
        chain_.push_back(std::move(sst));
    }
    appendString(text);
    const auto index = static_cast<std::uint32_t>(texts_.size());
    texts_.push_back(text);
    isPlain_.push_back(true);
    plain_.emplace(text, index);
    return index;
}

void SharedStrings::appendString(const std::u16string& text)
{
    const bool high = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
    const std::size_t width = high ? 2 : 1;
    auto newContinue = [this] {
        Record r;
        r.type = rt::Continue;
        chain_.push_back(std::move(r));
    };
    // The 3-byte header and at least one character must fit, or the string starts a new record.
    if (kMaxRecordData - chain_.back().data.size() < 3 + width)
        newContinue();
    positions_.push_back({chain_.size() - 1, chain_.back().data.size()});
    Bytes* d = &chain_.back().data;
    put16(*d, static_cast<std::uint16_t>(text.size()));
    d->push_back(high ? 0x01 : 0x00);
    for (char16_t ch : text) {
        if (kMaxRecordData - d->size() < width) {
            newContinue();
            d = &chain_.back().data;
            d->push_back(high ? 0x01 : 0x00);  // the option byte of the continued characters
        }
        if (high)
            put16(*d, ch);
        else
            d->push_back(static_cast<std::uint8_t>(ch));
    }
}

std::vector<Record> SharedStrings::records(std::uint32_t totalReferences) const
{
    std::vector<Record> out = chain_;
    if (!out.empty()) {
        set32(out[0].data, 0, totalReferences);
        set32(out[0].data, 4, count());
    }
    return out;
}

Record SharedStrings::extSst(std::size_t streamOffset) const
{
    const std::uint32_t unique = count();
    const std::uint16_t dsst = static_cast<std::uint16_t>(std::max<std::uint32_t>(unique / 128 + 1, 8));
    std::vector<std::size_t> recordStart(chain_.size());
    std::size_t at = streamOffset;
    for (std::size_t i = 0; i < chain_.size(); ++i) {
        recordStart[i] = at;
        at += 4 + chain_[i].data.size();
    }
    Record r;
    r.type = rt::ExtSst;
    put16(r.data, dsst);
    for (std::uint32_t i = 0; i < unique; i += dsst) {
        const Position& p = positions_[i];
        put32(r.data, static_cast<std::uint32_t>(recordStart[p.record] + 4 + p.offset));
        put16(r.data, static_cast<std::uint16_t>(4 + p.offset));
        put16(r.data, 0);
    }
    return r;
}

}  // namespace xls
