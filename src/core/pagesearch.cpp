#include "pagesearch.h"

#include "error.h"
#include "mainsettings.h"
#include "rtf/rtf.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qly {

namespace {
// A page is text: anything far larger is not a page the program could have written.
constexpr qint64 MaxPageFileSize = qint64(1) << 31;

[[noreturn]] void cannotOpen(const QString& path, const QString& reason) {
    throw Error(
        QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(path), reason));
}
} // namespace

QByteArray readPageFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        cannotOpen(path, f.errorString());
    if (f.size() > MaxPageFileSize)
        cannotOpen(path, QStringLiteral("The file is too large"));
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        cannotOpen(path, f.errorString());
    return bytes;
}

TextMatcher::TextMatcher(const QString& searchText, bool caseSensitive)
    : m_locale(QLocale::system()), m_text(searchText), m_caseSensitive(caseSensitive) {
    if (!m_caseSensitive)
        m_upperText = m_locale.toUpper(m_text);
}

bool TextMatcher::matches(const QString& text) const {
    if (text.contains(m_text, Qt::CaseSensitive))
        return true;
    return !m_caseSensitive && m_locale.toUpper(text).contains(m_upperText, Qt::CaseSensitive);
}

PageSearchResult searchPages(const QString& pageFolder, const QString& searchText,
                             bool caseSensitive) {
    const TextMatcher matcher(searchText, caseSensitive);
    PageSearchResult result;
    for (int i = 0; i < PageCount; ++i) {
        const QString file = pageFolder + pageLetter(i) + QStringLiteral(".rtf");
        // Hidden and read-only files count; a dangling link is no file.
        if (!QFileInfo::exists(file))
            continue;
        try {
            if (matcher.matches(rtf::plainText(readPageFile(file))))
                result.pages.append(i);
        } catch (const Error& e) {
            result.error = e.message();
            break;
        }
    }
    return result;
}

} // namespace qly
