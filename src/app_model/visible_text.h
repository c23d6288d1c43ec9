#pragma once

#include <string>
#include <string_view>

namespace vellumark {

// Bytes from outside, such as a file name, as UTF-8 text in which every character shows: each ill-formed
// sequence becomes U+FFFD, and the characters that would break a line, move text or hide are written as
// escapes, so that a name cannot add lines to a report or reorder the text around it. Escaped are the C0
// controls ("\t", "\n" and "\r" by letter, the others as "\u001B"), DEL and the C1 controls, the line and
// paragraph separators U+2028 and U+2029, and the bidirectional controls (U+061C, U+200E, U+200F,
// U+202A to U+202E, U+2066 to U+2069).
//   "a\nb"          -> "a\\nb"
//   "x\u202Etxt.sh" -> "x\\u202Etxt.sh"
//   "caf\xE9"       -> "caf\uFFFD"
// A backslash stays as it is, so a text that went through once is left alone the next time; a name with
// a backslash followed by "n" then reads like one with a line break, but adds no line.
std::string visibleText(std::string_view bytes);
// The same text at the end of `to`.
void appendVisibleText(std::string& to, std::string_view bytes);

}  // namespace vellumark
