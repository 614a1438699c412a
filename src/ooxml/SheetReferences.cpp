#include "ooxml/SheetReferences.h"

namespace ooxml {

namespace {

// Characters of an unquoted sheet name: letters and digits of any script, '_', '.' and '\'.
bool nameChar(unsigned char c)
{
    return c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '\\';
}

// The new text of "first[:last]" as written, or empty when nothing changes.
std::string renamedRange(const std::string& written, const std::function<std::string(const std::string&)>& rename)
{
    const std::size_t colon = written.find(':');
    const std::string first = written.substr(0, colon);
    const std::string newFirst = rename(first);
    if (colon == std::string::npos)
        return newFirst;
    const std::string last = written.substr(colon + 1);
    const std::string newLast = rename(last);
    if (newFirst.empty() && newLast.empty())
        return {};
    return (newFirst.empty() ? first : newFirst) + ":" + (newLast.empty() ? last : newLast);
}

}  // namespace

std::string quotedSheetName(const std::string& name)
{
    std::string out = "'";
    for (const char c : name)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

std::string renameSheetReferences(const std::string& formula,
                                  const std::function<std::string(const std::string&)>& rename)
{
    return renameReferences(formula, rename, {});
}

std::string renameReferences(const std::string& formula, const std::function<std::string(const std::string&)>& rename,
                             const std::function<std::string(const std::string&)>& tables)
{
    std::string out;
    out.reserve(formula.size());
    std::size_t i = 0;
    while (i < formula.size()) {
        const char c = formula[i];
        if (c == '"') {
            // A string literal, "" inside it a quote.
            std::size_t j = i + 1;
            while (j < formula.size() && !(formula[j] == '"' && (j + 1 >= formula.size() || formula[j + 1] != '"')))
                j += formula[j] == '"' ? 2 : 1;
            out.append(formula, i, j + 1 - i);
            i = j + 1;
        } else if (c == '\'') {
            std::string name;
            std::size_t j = i + 1;
            while (j < formula.size()) {
                if (formula[j] == '\'') {
                    if (j + 1 < formula.size() && formula[j + 1] == '\'') {
                        name += '\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                name += formula[j++];
            }
            const bool sheet = j + 1 < formula.size() && formula[j + 1] == '!' && !name.empty() && name[0] != '[';
            const std::string renamed = sheet ? renamedRange(name, rename) : std::string();
            if (!renamed.empty())
                out += quotedSheetName(renamed);
            else
                out.append(formula, i, std::min(j + 1, formula.size()) - i);
            i = j + 1;
        } else if (c == '[') {
            // A structured reference's columns or another workbook's number, kept as written: what
            // is inside names no sheet or table of this workbook. A quote escapes the next character.
            std::size_t j = i, depth = 0;
            for (; j < formula.size(); ++j) {
                if (formula[j] == '\'') {
                    ++j;
                    continue;
                }
                depth += formula[j] == '[' ? 1 : 0;
                if (formula[j] == ']' && --depth == 0)
                    break;
            }
            out.append(formula, i, std::min(j + 1, formula.size()) - i);
            i = j + 1;
        } else if (nameChar(static_cast<unsigned char>(c))) {
            // After "]" the name is another workbook's sheet.
            const bool external = i > 0 && formula[i - 1] == ']';
            std::size_t j = i;
            while (j < formula.size() && (nameChar(static_cast<unsigned char>(formula[j])) ||
                                          (formula[j] == ':' && j + 1 < formula.size() &&
                                           nameChar(static_cast<unsigned char>(formula[j + 1])))))
                ++j;
            const std::string word = formula.substr(i, j - i);
            const char next = j < formula.size() ? formula[j] : '\0';
            if (!external && next == '!') {
                const std::string renamed = renamedRange(word, rename);
                out += renamed.empty() ? word : quotedSheetName(renamed);
            } else {
                // A table by its name: before its columns ("Table1[Amount]") or alone; never a
                // function's name, nor a name after a sheet's.
                const bool afterSheet = i > 0 && formula[i - 1] == '!';
                const std::string renamed = tables && !external && !afterSheet && next != '(' ? tables(word) : "";
                out += renamed.empty() ? word : renamed;
            }
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

}  // namespace ooxml
