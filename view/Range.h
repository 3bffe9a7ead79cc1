// What copy, save and print share about the framed range besides TKaptor32's own members.
#pragma once

namespace kaptor {

class TKaptor32;

namespace texts {
// Copy, save and print refuse a range with no area: nothing could be written.
inline constexpr const char* EmptyRange = "範囲の幅または高さが 0 です。範囲を指定し直してください";
}

// True when a range is framed (range mode on and the second corner placed): the commands
// then work on the range only.
bool RangeActive(TKaptor32& form);
// True when the framed range has no width or no height.
bool RangeEmpty(const TKaptor32& form);

}  // namespace kaptor
