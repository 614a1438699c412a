#include "pofile/PoForm.h"

namespace tolvar::form {

namespace {

HeaderCell asIs(const char* address, const char* column)
{
    return {address, Source::AsIs, {column}};
}

HeaderCell joined(const char* address, std::array<const char*, 5> columns, const char* separator)
{
    return {address, Source::Joined, columns, separator};
}

}  // namespace

const std::vector<HeaderCell>& deliveryHeader()
{
    static const std::vector<HeaderCell> cells = {
        {"I3", Source::Text, {"発注先名"}},
        asIs("AU1", "PO番号"),
        {"BC3", Source::DateText, {"PO発行日"}},
        {"BC2", Source::PageOfPages, {}},
        joined("H5", {"得意先CD", "得意先名"}, " "),
        joined("AT5", {"発注元担当者CD", "発注元担当者名"}, " "),
        asIs("L7", "納品先名"),
        asIs("L8", "納品先名中文"),
        joined("L9", {"納品先住所1", "納品先住所2"}, " "),
        joined("L10", {"納品先住所1中文", "納品先住所2中文"}, " "),
        asIs("H11", "納品先TEL番号"),
        asIs("X11", "納品先FAX番号"),
        asIs("AN11", "納品先担当者名"),
        asIs("BJ11", "納品先CD"),
        joined("H14", {"請求先名", "請求先部門"}, " "),
        joined("H15", {"請求先住所1", "請求先住所2"}, " "),
        asIs("H16", "請求先TEL番号"),
        asIs("X16", "請求先FAX番号"),
        asIs("AN16", "請求先担当者名"),
        asIs("BD16", "請求先CD"),
        {"K17", Source::AsIsDate, {"希望納期"}},
        asIs("K18", "納品形態"),
        asIs("K19", "出荷方法"),
        {"K20", Source::Choice, {"運賃請求"}, "", 0, "無し", "有り"},
        asIs("K21", "運賃形態"),
        asIs("K22", "建値区分"),
        asIs("K23", "通貨区分"),
        {"AF17", Source::Choice, {"ロス率"}, "", 1, "込み", nullptr},
        {"AF18", Source::Choice, {"ロス請求の有無"}, "", 0, "不可", "可能"},
        asIs("AF19", "販売形態"),
        asIs("AF20", "商品集積地"),
        asIs("AF22", "客先契約番号"),
        asIs("AF23", "KP番号"),
        asIs("BA17", "決済経路1"),
        asIs("BA18", "決済経路2"),
        asIs("BA19", "決済経路3"),
        asIs("BA20", "決済経路4"),
        asIs("BA21", "決済経路5"),
        asIs("B27", "備考1"),
        asIs("B28", "備考2"),
        asIs("B29", "備考3"),
        asIs("B30", "備考4"),
        asIs("B31", "備考5"),
        asIs("AR26", "ケースマーク"),
        asIs("I75", "発注元名"),
    };
    return cells;
}

const std::vector<HeaderCell>& orderHeader()
{
    static const std::vector<HeaderCell> cells = {
        asIs("H7", "発注先名"),
        asIs("H8", "発注先住所1"),
        asIs("H9", "発注先住所2"),
        asIs("H11", "発注先TEL番号"),
        asIs("H13", "発注先責任者名"),
        {"AY7", Source::PoNumberPage, {"PO番号"}},
        {"AU11", Source::DateText, {"PO発行日"}},
        joined("AU13", {"発注元担当者CD", "発注元担当者名"}, " "),
        joined("J60", {"備考1", "備考2", "備考3", "備考4", "備考5"}, ""),
        joined("S62", {"請求先CD", "請求先名", "請求先部門"}, " "),
        asIs("L63", "納品先名"),
        {"S64", Source::AsIsDate, {"希望納期"}},
        asIs("D71", "発注先名"),
        asIs("AR71", "発注元名"),
        {"AT57", Source::Text, {"通貨区分"}},
        {"AT60", Source::Text, {"客先契約番号"}},
    };
    return cells;
}

const std::vector<LineCell>& deliveryLine()
{
    static const std::vector<LineCell> cells = {
        {"B", 0, "商品CD"}, {"J", 0, "品名1"}, {"J", 1, "品名2"}, {"AI", 0, "客先商品CD"},
        {"AR", 0, "数量"},  {"AY", 0, "下代"}, {"BF", 0, "上代"},
    };
    return cells;
}

const std::vector<LineCell>& orderLine()
{
    static const std::vector<LineCell> cells = {
        {"D", 0, "商品CD"}, {"L", 0, "品名1"}, {"L", 1, "品名2"},
        {"AK", 0, "数量"},  {"AT", 0, "下代"}, {"BC", 0, nullptr},
    };
    return cells;
}

std::string address(const char* column, int row)
{
    return std::string(column) + std::to_string(row);
}

std::string deliverySheetName(int page)
{
    return kDeliveryPrefix + std::to_string(page);
}

std::string orderSheetName(int page)
{
    return kOrderPrefix + std::to_string(page);
}

long long pageCount(long long lines)
{
    return lines % kLinesPerPage ? lines / kLinesPerPage + 1 : lines / kLinesPerPage;
}

}  // namespace tolvar::form
