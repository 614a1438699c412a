// The OfficeArt drawings of a workbook: the drawing group in the globals (MSODRAWINGGROUP, with
// the FDGG shape-id clusters and the picture store) and a sheet's drawing (its MSODRAWING
// records). Copying a sheet gives its drawing a new drawing id and new clusters of shape ids (one
// for each the drawing had: a cluster holds 1 024 ids), so that ids stay unique in the workbook
// while OBJ and NOTE records keep pointing right.
#pragma once

#include "xls/Record.h"

#include <map>
#include <vector>

namespace xls {

class JoinedRecords;

class DrawingGroup {
public:
    // globals: the workbook's globals records; the group is read from its MSODRAWINGGROUP chain.
    explicit DrawingGroup(const std::vector<Record>& globals);
    bool present() const { return chainStart_ >= 0; }

    // Renumbers the drawing in the MSODRAWING records (a copy of a sheet's) and records the new
    // drawing in the group. Throws Unsupported when the drawing cannot be copied faithfully.
    void adoptCopy(std::vector<Record*> drawingRecords);
    // Puts the group back into the globals records.
    void writeBack(std::vector<Record>& globals) const;

private:
    // The new drawing id and, for each cluster of shape ids the drawing had (by spid / 1024), the
    // first id of the new cluster that takes its place; rebase maps an old shape id, keeping its
    // place in its cluster (the OBJ and NOTE ids depend on it).
    struct Renumbering {
        std::uint32_t newDgid;
        std::uint32_t base;  // the first new cluster's, for an id outside the drawing's clusters
        std::map<std::uint32_t, std::uint32_t> bases;
        std::uint32_t rebase(std::uint32_t spid) const
        {
            if (spid == 0)
                return 0;
            const auto it = bases.find(spid / 1024);
            return (it != bases.end() ? it->second : base) + spid % 1024;
        }
    };
    // What the walk over the copied drawing found: its shape count and its highest id.
    struct CopiedDrawing {
        std::uint32_t csp;
        std::uint32_t highest;
    };
    void renumberRecord(JoinedRecords& d, std::size_t p, const Renumbering& r, CopiedDrawing& seen);
    void addClusters(const Renumbering& r, const CopiedDrawing& seen, const std::vector<std::size_t>& sources);

    struct Idcl {
        std::uint32_t dgid;
        std::uint32_t cspidCur;
    };
    std::size_t fdggAt_ = 0;  // offset of the FDGG record header in data_
    std::size_t dggAt_ = 0;   // offset of the DggContainer header
    std::vector<Idcl> clusters_;
    std::vector<std::size_t> blipRefAt_;  // offset of each FBSE's cRef, by 1-based BLIP index - 1
    Bytes data_;
    int chainStart_ = -1;
    int chainLength_ = 0;
};

}  // namespace xls
