#pragma once

namespace qly {

// a * b / c in 64 bits, rounded to the nearest integer with halves away from zero, held to the
// int range. A zero divisor gives -1, as the title bar's gradient has always had it; callers
// for whom a zero divisor means something else check for it first.
int mulDiv(int a, int b, int c);

} // namespace qly
