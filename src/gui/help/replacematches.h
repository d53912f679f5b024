#pragma once

#include <QRegularExpression>
#include <QString>

namespace qly {

// The text with each match of the expression replaced by what `with` makes of it.
template <typename With>
QString replaceMatches(const QString& text, const QRegularExpression& expression, With with) {
    QString out;
    qsizetype last = 0;
    for (auto it = expression.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(text).mid(last, m.capturedStart() - last);
        out += with(m);
        last = m.capturedEnd();
    }
    out += QStringView(text).mid(last);
    return out;
}

} // namespace qly
