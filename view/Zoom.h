// The view's one rounding rule for a zoomed size, shared by the zoom box and resize.
#pragma once

namespace kaptor {

// zoom% of a natural size: the product in 32-bit arithmetic, divided by 100 and rounded
// half away from zero, as the number is formatted without decimals and read back.
int ZoomedSide(int zoom, int natural);

}  // namespace kaptor
