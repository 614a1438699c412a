#include "ooxml/CellText.h"

#include "ooxml/XmlParts.h"

#include "xls/Text.h"

namespace ooxml {

namespace {

int hexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

// The character of "_xHHHH_" at `at`, or -1 when there is none there.
int escapeAt(const std::u16string& s, std::size_t at)
{
    if (at + 7 > s.size() || s[at] != u'_' || s[at + 1] != u'x' || s[at + 6] != u'_')
        return -1;
    int value = 0;
    for (std::size_t k = at + 2; k < at + 6; ++k) {
        const int d = hexDigit(s[k]);
        if (d < 0)
            return -1;
        value = value * 16 + d;
    }
    return value;
}

std::u16string unescaped(const std::u16string& s)
{
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        const int c = escapeAt(s, i);
        if (c >= 0) {
            out.push_back(static_cast<char16_t>(c));
            i += 7;
        } else {
            out.push_back(s[i++]);
        }
    }
    return out;
}

std::string escape(char16_t c)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "_x";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += digits[(c >> shift) & 0xF];
    return out + "_";
}

}  // namespace

std::u16string itemText(const pugi::xml_node item)
{
    std::u16string text;
    for (const pugi::xml_node n : item.children()) {
        if (isElement(n, "t")) {
            text += xls::fromUtf8(n.text().get());
        } else if (isElement(n, "r")) {
            for (const pugi::xml_node t : n.children())
                if (isElement(t, "t"))
                    text += xls::fromUtf8(t.text().get());
        }
    }
    return unescaped(text);
}

std::string cellTextEscaped(const std::u16string& text)
{
    std::u16string kept;
    std::string out;
    auto flush = [&] {
        out += xls::utf8(kept);
        kept.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool control = (c < 0x20 && c != u'\t' && c != u'\n') || c == 0xFFFE || c == 0xFFFF;
        if (control || escapeAt(text, i) >= 0) {
            flush();
            out += escape(c);
        } else {
            kept.push_back(c);
        }
    }
    flush();
    return out;
}

std::u16string cellTextRoundTrip(const std::u16string& text)
{
    std::u16string out = text;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const bool high = out[i] >= 0xD800 && out[i] <= 0xDBFF;
        const bool low = out[i] >= 0xDC00 && out[i] <= 0xDFFF;
        if (high && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF)
            ++i;
        else if (high || low)
            out[i] = 0xFFFD;
    }
    return out;
}

}  // namespace ooxml
