#include "xls/Drawing.h"

#include <algorithm>

namespace xls {

namespace {

constexpr std::uint16_t kDggContainer = 0xF000, kBStoreContainer = 0xF001, kFdgg = 0xF006, kFbse = 0xF007,
                        kFdg = 0xF008, kFsp = 0xF00A, kOpt = 0xF00B, kTertiaryOpt = 0xF122, kConnectorRule = 0xF012,
                        kArcRule = 0xF014, kCalloutRule = 0xF017;

}  // namespace

// The bytes of several records seen as one sequence, patched in place.
class JoinedRecords {
public:
    explicit JoinedRecords(std::vector<Record*> records) : records_(std::move(records))
    {
        for (Record* r : records_)
            size_ += r->data.size();
    }
    std::size_t size() const { return size_; }
    std::uint8_t& at(std::size_t p)
    {
        for (Record* r : records_) {
            if (p < r->data.size())
                return r->data[p];
            p -= r->data.size();
        }
        throw Error(ErrorCode::DamagedRecord, "drawing data ends inside a record");
    }
    std::uint32_t read(std::size_t p, int bytes)
    {
        std::uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= static_cast<std::uint32_t>(at(p + static_cast<std::size_t>(i))) << (8 * i);
        return v;
    }
    void write(std::size_t p, std::uint32_t v, int bytes)
    {
        for (int i = 0; i < bytes; ++i)
            at(p + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(v >> (8 * i));
    }

private:
    std::vector<Record*> records_;
    std::size_t size_ = 0;
};

DrawingGroup::DrawingGroup(const std::vector<Record>& globals)
{
    for (std::size_t i = 0; i < globals.size(); ++i) {
        if (globals[i].type != rt::MsoDrawingGroup)
            continue;
        chainStart_ = static_cast<int>(i);
        std::size_t j = i;
        do {
            data_.insert(data_.end(), globals[j].data.begin(), globals[j].data.end());
            ++j;
        } while (j < globals.size() && globals[j].type == rt::Continue);
        chainLength_ = static_cast<int>(j - i);
        break;
    }
    if (!present())
        return;
    // Walk the records in order: a container's children follow its header.
    for (std::size_t p = 0; p + 8 <= data_.size();) {
        const std::uint16_t verInst = u16(data_, p);
        const std::uint16_t type = u16(data_, p + 2);
        const std::uint32_t length = u32(data_, p + 4);
        if (type == kDggContainer)
            dggAt_ = p;
        if (type == kFdgg) {
            fdggAt_ = p;
            const std::uint32_t cidcl = u32(data_, p + 12);
            for (std::uint32_t k = 0; k + 1 < cidcl; ++k)
                clusters_.push_back({u32(data_, p + 24 + 8 * k), u32(data_, p + 28 + 8 * k)});
        }
        if (type == kFbse)
            blipRefAt_.push_back(p + 8 + 24);
        if ((verInst & 0x000F) == 0x000F || type == kBStoreContainer)
            p += 8;
        else
            p += 8 + length;
    }
    if (!fdggAt_ && u16(data_, 2) != kFdgg)
        throw Error(ErrorCode::DamagedRecord, globals[static_cast<std::size_t>(chainStart_)].offset,
                    "drawing group without FDGG");
}

// Renumbers one shape record of the copied drawing in place; keeps what the group needs to know.
void DrawingGroup::renumberRecord(JoinedRecords& d, std::size_t p, const Renumbering& r, CopiedDrawing& seen)
{
    const std::uint32_t verInst = d.read(p, 2);
    const std::uint32_t type = d.read(p + 2, 2);
    const std::uint32_t length = d.read(p + 4, 4);
    const std::size_t body = p + 8;
    switch (type) {
    case kFdg:
        d.write(p, (verInst & 0x000F) | (r.newDgid << 4), 2);
        seen.csp = d.read(body, 4);
        d.write(body + 4, r.rebase(d.read(body + 4, 4)), 4);
        seen.highest = std::max(seen.highest, r.rebase(d.read(body + 4, 4)));
        break;
    case kFsp: {
        const std::uint32_t spid = r.rebase(d.read(body, 4));
        d.write(body, spid, 4);
        seen.highest = std::max(seen.highest, spid);
        break;
    }
    case kOpt:
    case kTertiaryOpt: {
        const std::uint32_t count = verInst >> 4;
        for (std::uint32_t k = 0; k < count && 6 * (k + 1) <= length; ++k) {
            const std::size_t at = body + 6 * k;
            const std::uint32_t id = d.read(at, 2) & 0x3FFF;
            const std::uint32_t value = d.read(at + 2, 4);
            if (id == 0x0104 && value >= 1 && value <= blipRefAt_.size()) {  // pib: a picture
                const std::size_t ref = blipRefAt_[value - 1];
                set32(data_, ref, u32(data_, ref) + 1);
            } else if (id == 0x0301 && value) {  // hspMaster
                d.write(at + 2, r.rebase(value), 4);
            }
        }
        break;
    }
    case kConnectorRule:
        for (std::size_t k = 1; k <= 3; ++k)
            d.write(body + 4 * k, r.rebase(d.read(body + 4 * k, 4)), 4);
        break;
    case kArcRule:
    case kCalloutRule: d.write(body + 4, r.rebase(d.read(body + 4, 4)), 4); break;
    default: break;
    }
}

void DrawingGroup::adoptCopy(std::vector<Record*> drawingRecords)
{
    if (!present())
        throw Error(ErrorCode::Unsupported, "sheet drawing without a drawing group");
    JoinedRecords d(std::move(drawingRecords));
    std::uint32_t maxDgid = 0;
    for (const Idcl& c : clusters_)
        maxDgid = std::max(maxDgid, c.dgid);
    Renumbering renumbering{maxDgid + 1, static_cast<std::uint32_t>(clusters_.size() + 1) * 1024, {}};
    if (renumbering.newDgid > 0xFFE)
        throw Error(ErrorCode::Unsupported,
                    "more than 4 094 sheets with drawings (pictures, shapes or comments), "
                    "which the format does not allow: make a PO of fewer pages or a form "
                    "with fewer drawings");
    // The drawing's own id is in the FDG right after the container's header; its clusters, in
    // order, each get a new one at the end of the group's list.
    std::vector<std::size_t> sources;
    if (d.size() >= 16 && d.read(10, 2) == kFdg) {
        const std::uint32_t dgid = d.read(8, 2) >> 4;
        for (std::size_t k = 0; k < clusters_.size(); ++k)
            if (clusters_[k].dgid == dgid) {
                renumbering.bases[static_cast<std::uint32_t>(k + 1)] =
                    static_cast<std::uint32_t>(clusters_.size() + sources.size() + 1) * 1024;
                sources.push_back(k);
            }
    }

    CopiedDrawing seen{0, renumbering.base};
    for (std::size_t p = 0; p + 8 <= d.size();) {
        renumberRecord(d, p, renumbering, seen);
        // A container's children follow its header; an atom is skipped whole.
        p += (d.read(p, 2) & 0x000F) == 0x000F ? 8 : 8 + d.read(p + 4, 4);
    }
    addClusters(renumbering, seen, sources);
}

// FDGG: one more cluster (8 bytes) for each of the copied drawing's, the saved counts, the highest id.
void DrawingGroup::addClusters(const Renumbering& r, const CopiedDrawing& seen, const std::vector<std::size_t>& sources)
{
    std::vector<std::uint32_t> counts;
    for (const std::size_t k : sources)
        counts.push_back(clusters_[k].cspidCur);
    if (counts.empty())
        counts.push_back(seen.highest - r.base + 1);
    for (const std::uint32_t cspidCur : counts) {
        Bytes idcl;
        put32(idcl, r.newDgid);
        put32(idcl, cspidCur);
        const std::size_t insertAt = fdggAt_ + 24 + 8 * clusters_.size();
        data_.insert(data_.begin() + static_cast<std::ptrdiff_t>(insertAt), idcl.begin(), idcl.end());
        clusters_.push_back({r.newDgid, cspidCur});
        set32(data_, fdggAt_ + 4, u32(data_, fdggAt_ + 4) + 8);
        set32(data_, dggAt_ + 4, u32(data_, dggAt_ + 4) + 8);
        for (std::size_t& ref : blipRefAt_)
            if (ref > insertAt)
                ref += 8;
    }
    set32(data_, fdggAt_ + 8, std::max(u32(data_, fdggAt_ + 8), seen.highest + 1));
    set32(data_, fdggAt_ + 12, static_cast<std::uint32_t>(clusters_.size() + 1));
    set32(data_, fdggAt_ + 16, u32(data_, fdggAt_ + 16) + seen.csp);
    set32(data_, fdggAt_ + 20, u32(data_, fdggAt_ + 20) + 1);
}

void DrawingGroup::writeBack(std::vector<Record>& globals) const
{
    if (!present())
        return;
    std::vector<Record> chain = splitRecord(rt::MsoDrawingGroup, data_);
    const auto at = globals.begin() + chainStart_;
    globals.erase(at, at + chainLength_);
    globals.insert(globals.begin() + chainStart_, chain.begin(), chain.end());
}

}  // namespace xls
