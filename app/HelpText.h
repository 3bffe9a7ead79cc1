// Japanese text rules of the help viewer, on Shift-JIS text: where a line may wrap, and the
// order of keywords by their reading.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kaptor {

// Width in half-width columns: a double-byte character takes two.
int TextColumns(std::string_view text);

// One line wrapped to at most `columns` columns. A break falls between two characters where
// Japanese allows one: never inside a run of Latin letters, digits and ASCII signs, never
// before closing brackets, 、。, small kana, the long-vowel and voicing marks, never after
// opening brackets. Blanks at a break are dropped. Continuation lines start under the line's
// last column (the text after its last gap of two or more blanks), or else at its indent,
// as long as a third of the width stays for them.
// A piece that cannot be broken and is wider than the line stays whole.
std::vector<std::string> WrapLine(std::string_view line, int columns);
// Every line of the text wrapped; lines end in CR LF.
std::string WrapText(std::string_view text, int columns);

// Orders readings (hiragana, katakana, half-width katakana) as a Japanese index does: by the
// plain kana in あいうえお order first, the long-vowel mark read as the vowel before it;
// only where those are equal, small before large and plain before voiced (か, が; は, ば, ぱ).
// Other characters come before kana, in code order.
bool ReadingLess(std::string_view a, std::string_view b);

}  // namespace kaptor
