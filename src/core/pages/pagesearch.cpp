#include "pages/pagesearch.h"

#include "model/pageletters.h"
#include "pages/pagestore.h"
#include "rtf/rtf.h"
#include "settings/error.h"

namespace qly {

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
        const QString file = pageFilePath(pageFolder, i);
        // Hidden and read-only files count; a dangling link is no file.
        const PageFileRead page = readPageFile(file);
        if (page.status == PageFileRead::Status::NoFile)
            continue;
        try {
            if (matcher.matches(rtf::plainText(page.bytesOrRaise(file))))
                result.pages.append(i);
        } catch (const Error& e) {
            result.error = e.message();
            break;
        }
    }
    return result;
}

} // namespace qly
