#pragma once

// The few Unicode rules kelvo applies to titles, tags and search text. Everything works on
// UTF-8 and on user-perceived characters (extended grapheme clusters); bytes that are not valid
// UTF-8 read as U+FFFD.

#include <string>
#include <string_view>
#include <vector>

namespace kelvo::text {

// The text split into user-perceived characters, each one UTF-8 string.
std::vector<std::string> graphemes(std::string_view utf8);

// Properties of one user-perceived character, judged by its first code point the way a
// reader would: "é" written as e + combining accent is a letter.
bool isWhitespace(std::string_view character);
bool isLetterOrNumber(std::string_view character);
// True when every code point of the character is a control (Cc) or format (Cf) code point.
bool isControlOrFormat(std::string_view character);

// The text without white space and line breaks (Unicode White_Space) at both ends.
std::string trimmed(std::string_view utf8);
// The Unicode lower-case mapping of the text (locale independent).
std::string lowercased(std::string_view utf8);
// The maximal runs of letter-or-number characters, in order; everything else separates.
std::vector<std::string> words(std::string_view utf8);

}  // namespace kelvo::text
