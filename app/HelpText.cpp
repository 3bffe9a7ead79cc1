#include "app/HelpText.h"

#include <algorithm>
#include <cstdint>

namespace kaptor {

namespace {

bool LeadByte(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Length in bytes of the character at text[at].
size_t CharLength(std::string_view text, size_t at) {
    return LeadByte(static_cast<std::uint8_t>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

// Whether the one character ch is among the characters of set (both Shift-JIS).
bool OneOf(std::string_view ch, std::string_view set) {
    for (size_t i = 0; i < set.size(); i += CharLength(set, i))
        if (set.substr(i, CharLength(set, i)) == ch) return true;
    return false;
}

// Characters that may not begin a line, and those that may not end one.
constexpr std::string_view NoLineStart =
    "、。，．・：；？！ー～）］｝」』】〕〉》’”ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ々ゝゞヽヾ゛゜"
    "｡｣､･ｰｧｨｩｪｫｬｭｮｯﾞﾟ)]},.!?:;%";
constexpr std::string_view NoLineEnd = "（［｛「『【〔〈《‘“｢([{";

// A piece of a line that is never broken: a run of Latin letters, digits and ASCII signs, a
// run of blanks, or one other character.
struct Piece {
    std::string_view Text;
    int Columns = 0;
    bool Blank = false;
    bool NoBreakBefore = false;
    bool NoBreakAfter = false;
};

bool Latin(char c) { return c > ' ' && static_cast<std::uint8_t>(c) < 0x80; }

std::vector<Piece> Pieces(std::string_view line) {
    std::vector<Piece> pieces;
    size_t i = 0;
    while (i < line.size()) {
        size_t end = i + CharLength(line, i);
        const bool blank = line[i] == ' ';
        if (blank || Latin(line[i])) {
            while (end < line.size() && (blank ? line[end] == ' ' : Latin(line[end]))) ++end;
        }
        Piece p;
        p.Text = line.substr(i, end - i);
        p.Columns = TextColumns(p.Text);
        p.Blank = blank;
        p.NoBreakBefore = OneOf(p.Text.substr(0, CharLength(p.Text, 0)), NoLineStart);
        // A run's last byte is its last character; any other piece is one character.
        const std::string_view lastChar = blank || Latin(line[i]) ? p.Text.substr(p.Text.size() - 1) : p.Text;
        p.NoBreakAfter = OneOf(lastChar, NoLineEnd);
        pieces.push_back(p);
        i = end;
    }
    return pieces;
}

// Where continuation lines start: after the last gap of two or more blanks that follows
// text, else at the line's indent; either only while a third of the width stays for text.
int Hang(const std::vector<Piece>& pieces, int columns) {
    int col = 0, indent = 0, hang = -1;
    bool text = false;
    for (const Piece& p : pieces) {
        if (p.Blank && !text) indent = p.Columns;
        if (p.Blank && text && p.Columns >= 2) hang = col + p.Columns;
        text = text || !p.Blank;
        col += p.Columns;
    }
    const auto roomy = [&](int at) { return columns - at >= columns / 3; };
    return hang >= 0 && roomy(hang) ? hang : (roomy(indent) ? indent : 0);
}

}  // namespace

int TextColumns(std::string_view text) {
    int columns = 0;
    for (size_t i = 0; i < text.size(); i += CharLength(text, i)) columns += static_cast<int>(CharLength(text, i));
    return columns;
}

std::vector<std::string> WrapLine(std::string_view line, int columns) {
    if (TextColumns(line) <= columns) return {std::string(line)};
    const std::vector<Piece> pieces = Pieces(line);
    const std::string hang(static_cast<size_t>(Hang(pieces, columns)), ' ');
    auto canBreak = [&](size_t at) {
        return !pieces[at].NoBreakBefore && !pieces[at - 1].NoBreakAfter;
    };
    std::vector<std::string> lines;
    size_t start = 0;
    const size_t n = pieces.size();
    while (start < n) {
        const std::string lead = lines.empty() ? std::string() : hang;
        int used = static_cast<int>(lead.size());
        size_t end = start;
        while (end < n && (pieces[end].Blank || used + pieces[end].Columns <= columns)) used += pieces[end++].Columns;
        size_t at = end;
        if (end < n) {
            // The last allowed break with text before it, else where the line is full.
            auto hasText = [&](size_t to) {
                return std::any_of(pieces.begin() + static_cast<std::ptrdiff_t>(start),
                                   pieces.begin() + static_cast<std::ptrdiff_t>(to), [](const Piece& p) { return !p.Blank; });
            };
            while (at > start && !(canBreak(at) && hasText(at))) --at;
            if (at == start) at = std::max(end, start + 1);
        }
        size_t last = at;
        while (last > start && pieces[last - 1].Blank) --last;
        std::string out = lead;
        for (size_t i = start; i < last; ++i) out += pieces[i].Text;
        lines.push_back(out);
        start = at;
        while (start < n && pieces[start].Blank) ++start;
    }
    return lines;
}

std::string WrapText(std::string_view text, int columns) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t end = text.find('\n', i);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(i, end - i);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        for (const std::string& l : WrapLine(line, columns)) out += l + "\r\n";
        i = end + 1;
    }
    return out;
}

// ---------------------------------------------------------------- reading order

namespace {

// Hiragana in code order, ぁ (0x829F) to ん (0x82F1), is あいうえお order with small and
// voiced kana beside their plain ones. For each: its plain kana, and its vowel.
constexpr std::string_view Plain =
    "ああいいううええおおかかききくくけけここささししすすせせそそたたちちつつつててととなにぬねのはははひひひ"
    "ふふふへへへほほほまみむめもややゆゆよよらりるれろわわゐゑをん";
constexpr std::string_view Vowel =
    "ああいいううええおおああいいううええおおああいいううええおおああいいうううええおおあいうえおあああいいい"
    "うううえええおおおあいうえおああううおおあいうえおああいえおん";
// Half-width katakana ｦ (0xA6) to ﾝ (0xDD) as hiragana; ｰ is the long-vowel mark.
constexpr std::string_view HalfWidth = "をぁぃぅぇぉゃゅょっーあいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわん";
constexpr int KanaCount = 83;
constexpr int LongVowel = -1;

int HiraganaIndex(std::string_view twoBytes) {
    return static_cast<std::uint8_t>(twoBytes[1]) - 0x9F;
}

// Kana index (0 to 82) of each character of a reading, LongVowel for the long-vowel mark, or
// -2 - code for anything else.
std::vector<int> KanaIndices(std::string_view text) {
    std::vector<int> out;
    for (size_t i = 0; i < text.size(); i += CharLength(text, i)) {
        const size_t len = CharLength(text, i);
        const auto b0 = static_cast<std::uint8_t>(text[i]);
        const unsigned code = len == 2 ? (b0 << 8 | static_cast<std::uint8_t>(text[i + 1])) : b0;
        if (code >= 0x829F && code <= 0x82F1) {
            out.push_back(static_cast<int>(code - 0x829F));
        } else if (code >= 0x8340 && code <= 0x8396) {
            const int k = static_cast<int>(code - 0x8340) - (code > 0x837F ? 1 : 0);
            out.push_back(k < KanaCount ? k : -2 - static_cast<int>(code));
        } else if (code == 0x815B || code == 0xB0) {
            out.push_back(LongVowel);
        } else if (code >= 0xA6 && code <= 0xDD) {
            out.push_back(HiraganaIndex(HalfWidth.substr((code - 0xA6) * 2, 2)));
        } else if ((code == 0xDE || code == 0xDF) && !out.empty() && out.back() >= 0) {
            // ﾞ and ﾟ voice the kana before them where it has such a form (か→が, は→ぱ).
            const int voiced = out.back() + (code == 0xDE ? 1 : 2);
            const auto plainOf = [](int k) { return HiraganaIndex(Plain.substr(static_cast<size_t>(k) * 2, 2)); };
            if (voiced < KanaCount && plainOf(voiced) == plainOf(out.back())) out.back() = voiced;
        } else {
            out.push_back(-2 - static_cast<int>(code));
        }
    }
    return out;
}

// The plain-kana sequence (the first key) and the exact one (the second). Kana come after
// every other character.
void Keys(std::string_view text, std::vector<int>& first, std::vector<int>& second) {
    int previous = -1;
    for (int k : KanaIndices(text)) {
        if (k == LongVowel && previous >= 0) {
            first.push_back(0x10000 + HiraganaIndex(Vowel.substr(static_cast<size_t>(previous) * 2, 2)));
            second.push_back(0x10000 + KanaCount);  // after the written vowel
            continue;
        }
        const int key = k >= 0 ? 0x10000 + HiraganaIndex(Plain.substr(static_cast<size_t>(k) * 2, 2)) : -2 - k;
        first.push_back(key);
        second.push_back(k >= 0 ? 0x10000 + k : key);
        previous = k;
    }
}

}  // namespace

bool ReadingLess(std::string_view a, std::string_view b) {
    std::vector<int> a1, a2, b1, b2;
    Keys(a, a1, a2);
    Keys(b, b1, b2);
    if (a1 != b1) return a1 < b1;
    if (a2 != b2) return a2 < b2;
    return a < b;
}

}  // namespace kaptor
