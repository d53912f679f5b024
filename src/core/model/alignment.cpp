#include "model/alignment.h"

#include "model/document.h"

namespace qly {

Qt::Alignment qtAlignment(int code) {
    switch (code) {
    case AlignRight:
        return Qt::AlignRight;
    case AlignCenter:
        return Qt::AlignHCenter;
    case AlignJustify:
        return Qt::AlignJustify;
    default:
        return Qt::AlignLeft;
    }
}

int alignmentCode(Qt::Alignment alignment) {
    const Qt::Alignment h = alignment & Qt::AlignHorizontal_Mask;
    if (h & Qt::AlignJustify)
        return AlignJustify;
    if (h & Qt::AlignHCenter)
        return AlignCenter;
    if (h & (Qt::AlignRight | Qt::AlignTrailing))
        return AlignRight;
    return AlignLeft;
}

} // namespace qly
