// The formula-token grammar: every kind of token walked to its length, the extra data after the
// tokens, the fields a copy rewrites, and refusals that name the token.
#include "unit/XlsTestSupport.h"
#include "xls/Formula.h"
#include "xls/Workbook.h"

#include <gtest/gtest.h>

using namespace xls;
using tolvar::test::codeOf;

namespace {

struct Walked {
    std::vector<std::string> names;
    std::vector<std::size_t> lengths;
    std::vector<std::size_t> extraLengths;
};

Walked walkAll(const Bytes& rgce, const Bytes& rgcb = {})
{
    Walked w;
    formula::walk(rgce, rgcb, "the test formula", [&](const formula::Token& t) {
        w.names.push_back(formula::tokenName(t.ptg, t.subtype));
        w.lengths.push_back(t.length);
        w.extraLengths.push_back(t.extraLength);
    });
    return w;
}

}  // namespace

TEST(xls_formula, every_kind_of_token_has_its_length)
{
    struct Row {
        Bytes rgce;
        const char* name;
        std::size_t length;
    };
    const Row rows[] = {
        {{0x01, 1, 0, 2, 0}, "PtgExp (0x01)", 5},
        {{0x02, 1, 0, 2, 0}, "PtgTbl (0x02)", 5},
        {{0x03}, "PtgAdd (0x03)", 1},
        {{0x11}, "PtgRange (0x11)", 1},
        {{0x16}, "PtgMissArg (0x16)", 1},
        {{0x17, 3, 0, 'a', 'b', 'c'}, "PtgStr (0x17)", 6},
        {{0x17, 2, 1, 0x42, 0x30, 0x43, 0x30}, "PtgStr (0x17)", 7},  // UTF-16 characters
        {{0x18, 0x0A, 0, 0, 0x0C, 0x80}, "PtgElfRadical (0x18 0x0A)", 6},
        {{0x18, 0x1D, 1, 0, 0, 0}, "PtgSxName (0x18 0x1D)", 6},
        {{0x19, 0x10, 0, 0}, "PtgAttrSum (0x19 0x10)", 4},
        {{0x19, 0x40, 0, 1}, "PtgAttrSpace (0x19 0x40)", 4},
        {{0x19, 0x04, 2, 0, 6, 0, 10, 0, 14, 0}, "PtgAttrChoose (0x19 0x04)", 10},  // three jump offsets
        {{0x1C, 0x17}, "PtgErr (0x1C)", 2},
        {{0x1D, 1}, "PtgBool (0x1D)", 2},
        {{0x1E, 7, 0}, "PtgInt (0x1E)", 3},
        {{0x1F, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}, "PtgNum (0x1F)", 9},
        {{0x21, 4, 0}, "PtgFunc (0x21)", 3},
        {{0x42, 2, 4, 0}, "PtgFuncVar (0x42)", 4},
        {{0x43, 1, 0, 0, 0}, "PtgName (0x43)", 5},
        {{0x24, 0, 0, 0, 0xC0}, "PtgRef (0x24)", 5},
        {{0x65, 0, 0, 1, 0, 0, 0xC0, 1, 0xC0}, "PtgArea (0x65)", 9},
        {{0x27, 0, 0, 0, 0, 0, 0}, "PtgMemErr (0x27)", 7},
        {{0x2A, 0, 0, 0, 0}, "PtgRefErr (0x2A)", 5},
        {{0x2D, 0, 0, 1, 0, 0, 0, 1, 0}, "PtgAreaN (0x2D)", 9},
        {{0x39, 1, 0, 2, 0, 0, 0}, "PtgNameX (0x39)", 7},
        {{0x5A, 1, 0, 0, 0, 0, 0}, "PtgRef3d (0x5A)", 7},
        {{0x3B, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0}, "PtgArea3d (0x3B)", 11},
        {{0x3C, 1, 0, 0, 0, 0, 0}, "PtgRefErr3d (0x3C)", 7},
        {{0x7D, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0}, "PtgAreaErr3d (0x7D)", 11},
    };
    for (const Row& row : rows) {
        const Walked w = walkAll(row.rgce);
        ASSERT_EQ(w.names.size(), 1u) << row.name;
        EXPECT_EQ(w.names[0], row.name);
        EXPECT_EQ(w.lengths[0], row.length) << row.name;
    }
}

TEST(xls_formula, memory_tokens_are_followed_by_their_sub_expression)
{
    // PtgMemFunc over Area3d, Area3d, Union: the names' form for two print-title ranges.
    const Bytes rgce = {0x29, 0x17, 0x00, 0x3B, 0, 0, 0, 0, 0xFF, 0xFF, 0,    0, 2,
                        0,    0x3B, 0,    0,    0, 0, 1, 0, 0,    0,    0xFF, 0, 0x10};
    const Walked w = walkAll(rgce);
    EXPECT_EQ(w.names, (std::vector<std::string>{"PtgMemFunc (0x29)", "PtgArea3d (0x3B)", "PtgArea3d (0x3B)",
                                                 "PtgUnion (0x10)"}));
    // A sub-expression longer than what is left is a damaged formula.
    const Bytes cut = {0x29, 0x20, 0x00, 0x10};
    EXPECT_EQ(codeOf([&] { walkAll(cut); }), ErrorCode::DamagedRecord);
}

TEST(xls_formula, extra_data_after_the_tokens_is_walked_in_their_order)
{
    // {1,"ab";TRUE,#N/A} then a PtgMemArea with two ranges, then a multi-cell natural label.
    const Bytes rgce = {0x60, 0,    0, 0,    0, 0, 0, 0,  // PtgArray
                        0x26, 0,    0, 0,    0, 4, 0,     // PtgMemArea, a sub-expression of 4 bytes:
                        0x1E, 1,    0, 0x15,              // PtgInt 1, PtgParen
                        0x18, 0x0D, 0, 0,    0, 0};       // PtgElfColS
    Bytes rgcb = {1, 1, 0};                               // 2 columns, 2 rows
    rgcb.insert(rgcb.end(), {0x01, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F});
    rgcb.insert(rgcb.end(), {0x02, 2, 0, 0, 'a', 'b'});
    rgcb.insert(rgcb.end(), {0x04, 1, 0, 0, 0, 0, 0, 0, 0});
    rgcb.insert(rgcb.end(), {0x10, 0x2A, 0, 0, 0, 0, 0, 0, 0});
    rgcb.insert(rgcb.end(), {2, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8, 0});  // PtgExtraMem, 2 ranges
    rgcb.insert(rgcb.end(), {1, 0, 0, 0x80, 3, 0, 4, 0});                             // PtgExtraElf, 1 cell
    const Walked w = walkAll(rgce, rgcb);
    ASSERT_EQ(w.names.size(), 5u);
    EXPECT_EQ(w.extraLengths, (std::vector<std::size_t>{3 + 9 + 6 + 9 + 9, 18, 0, 0, 8}));
    // The same formula with its extra data cut short anywhere is refused, never read past.
    for (std::size_t cut = 0; cut < rgcb.size(); ++cut)
        EXPECT_EQ(codeOf([&] { walkAll(rgce, Bytes(rgcb.begin(), rgcb.begin() + static_cast<std::ptrdiff_t>(cut))); }),
                  ErrorCode::DamagedRecord)
            << cut;
}

TEST(xls_formula, unknown_and_truncated_tokens_are_refused_with_their_name)
{
    for (const Bytes& unknown : {Bytes{0x00}, Bytes{0x1A}, Bytes{0x2E, 0, 0}, Bytes{0x80},
                                 Bytes{0x18, 0x05, 0, 0, 0, 0}, Bytes{0x19, 0x03, 0, 0}}) {
        try {
            walkAll(unknown);
            ADD_FAILURE() << "walked an unknown token";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::Unsupported);
            EXPECT_NE(std::string(e.what()).find("the test formula"), std::string::npos) << e.what();
        }
    }
    for (const Bytes& cut : {Bytes{0x17, 5, 0, 'a'}, Bytes{0x1F, 0, 0}, Bytes{0x3B, 1, 0},
                             Bytes{0x19, 0x04, 3, 0, 1, 0}, Bytes{0x23, 1}, Bytes{0x17}}) {
        try {
            walkAll(cut);
            ADD_FAILURE() << "walked a token cut short";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), ErrorCode::DamagedRecord);
            EXPECT_NE(std::string(e.what()).find("cut short"), std::string::npos) << e.what();
        }
    }
}

TEST(xls_formula, formulas_are_found_in_their_records)
{
    Bytes formula(20, 0);
    put16(formula, 3);
    formula.insert(formula.end(), {0x1E, 5, 0});
    const formula::Location f = formula::locate(rt::Formula, formula);
    EXPECT_TRUE(f.found);
    EXPECT_EQ(f.rgce, 22u);
    EXPECT_EQ(f.cce, 3u);
    // A NAME's formula follows its name, whose characters are 8 or 16 bits wide.
    Bytes name = {0, 0, 0, 2, 3, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0x42, 0x30, 0x43, 0x30, 0x1E, 5, 0};
    const formula::Location n = formula::locate(rt::Name, name);
    EXPECT_TRUE(n.found);
    EXPECT_EQ(n.rgce, 19u);
    name[4] = 9;  // cce beyond the record
    EXPECT_FALSE(formula::locate(rt::Name, name).found);
    EXPECT_FALSE(formula::locate(rt::Number, formula).found);
}

TEST(xls_formula, a_copy_renames_the_names_of_its_sheet_in_names_and_cells)
{
    // xlrd's namesdemo: Sheet3 has local names, and its cells' formulas use global and local ones.
    Workbook wb = Workbook::fromBytes(tolvar::test::xlsBytes("xlrd-namesdemo.xls"));
    const int copy = wb.copySheetToEnd(3);
    const Bytes saved = wb.saveToBytes();
    EXPECT_TRUE(wb.verify(saved).empty());
    // Three more names, scoped to the copy: Localrange, Print_Area and Print_Titles.
    int names = 0, scopedToCopy = 0;
    const CompoundFile cf = CompoundFile::parse(saved);
    for (const Record& r : parseRecords(cf.stream(cf.findRootStream(u"Workbook")))) {
        if (r.type != rt::Name)
            continue;
        ++names;
        scopedToCopy += u16(r.data, field::kNameSheet) == copy;
    }
    EXPECT_EQ(names, 34 + 3);
    EXPECT_EQ(scopedToCopy, 3);
}
