#include "model/alignment.h"

#include "model/document.h"

namespace qly {

Qt::Alignment qtAlignment(int code) {
    switch (code) {
    case int(Alignment::Right):
        return Qt::AlignRight;
    case int(Alignment::Center):
        return Qt::AlignHCenter;
    case int(Alignment::Justify):
        return Qt::AlignJustify;
    default:
        return Qt::AlignLeft;
    }
}

int alignmentCode(Qt::Alignment alignment) {
    const Qt::Alignment h = alignment & Qt::AlignHorizontal_Mask;
    if (h & Qt::AlignJustify)
        return int(Alignment::Justify);
    if (h & Qt::AlignHCenter)
        return int(Alignment::Center);
    if (h & (Qt::AlignRight | Qt::AlignTrailing))
        return int(Alignment::Right);
    return int(Alignment::Left);
}

} // namespace qly
