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

// The one place that sets what range mode switches: which of the two buttons is down, the
// menu items, the zoom box, resize and the view's cursor; leaving also drops the range being
// marked (the picture itself is the caller's business).
void ApplyRangeMode(TKaptor32& form, bool on);

}  // namespace kaptor
