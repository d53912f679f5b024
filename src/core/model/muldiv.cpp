#include "model/muldiv.h"

#include <cstdint>
#include <limits>

namespace qly {

int mulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;
    const std::int64_t product = std::int64_t(a) * b;
    const std::int64_t absProduct = product < 0 ? -product : product;
    const std::int64_t absDivisor = c < 0 ? -std::int64_t(c) : std::int64_t(c);
    const std::int64_t rounded = (absProduct + absDivisor / 2) / absDivisor;
    const std::int64_t q = (product < 0) != (c < 0) ? -rounded : rounded;
    if (q > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (q < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return int(q);
}

} // namespace qly
