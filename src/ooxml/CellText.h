// CellText: text in a cell of an Office Open XML sheet. Characters XML cannot carry (controls other
// than tab and line feed, U+FFFE, U+FFFF) travel as "_xHHHH_", and a "_xHHHH_" meant literally has
// its underscore escaped the same way; a string item's text is its runs' text, phonetic guides
// left out.
#pragma once

#include <pugixml.hpp>

#include <string>

namespace ooxml {

// The text of a string item (<si>, <is>) as a reader shows it.
std::u16string itemText(pugi::xml_node item);
// The UTF-8 to put in a <t> element for the text.
std::string cellTextEscaped(const std::u16string& text);
// The text as it reads back once written: an unpaired surrogate cannot be stored and reads U+FFFD.
std::u16string cellTextRoundTrip(const std::u16string& text);

}  // namespace ooxml
