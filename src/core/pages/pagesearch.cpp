#include "pages/pagesearch.h"

#include "pages/pagestore.h"
#include "rtf/rtftext.h"
#include "settings/error.h"

#include <QFile>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <exception>
#include <map>
#include <optional>
#include <thread>

namespace qly {

// The locale's upper case of each UTF-16 unit, worked out for a block of 256 units when a
// text first holds one of them, and kept for the process: the same for every search.
// Surrogates and units without case are their own upper case; so only units that have a
// case ask the locale.
class CaseFold {
public:
    explicit CaseFold(const QLocale& locale) : m_locale(locale) {}

    // A unit's upper case: one unit, or kExpansion + the index of its several units.
    static constexpr std::uint32_t kExpansion = 0x10000;
    std::uint32_t upper(char16_t c) {
        const auto& block = m_blocks[c >> 8];
        if (!block)
            fill(c >> 8);
        return (*m_blocks[c >> 8])[c & 0xFF];
    }
    QStringView expansion(std::uint32_t upper) const { return m_expansions[upper - kExpansion]; }

    static std::shared_ptr<CaseFold> forSystemLocale() {
        thread_local std::map<QString, std::shared_ptr<CaseFold>> folds;
        const QLocale locale = QLocale::system();
        std::shared_ptr<CaseFold>& fold =
            folds[locale.name() + QLatin1Char('/') + locale.bcp47Name()];
        if (!fold)
            fold = std::make_shared<CaseFold>(locale);
        return fold;
    }

private:
    void fill(int block) {
        auto table = std::make_unique<std::array<std::uint32_t, 256>>();
        for (int i = 0; i < 256; ++i) {
            const char16_t c = char16_t(block << 8 | i);
            std::uint32_t& u = (*table)[size_t(i)];
            u = c;
            const QChar q(c);
            if (q.isSurrogate())
                continue;
            const QChar::Category cat = q.category();
            if (cat != QChar::Letter_Uppercase && cat != QChar::Letter_Lowercase &&
                cat != QChar::Letter_Titlecase && q.toUpper() == q && q.toLower() == q)
                continue;
            const QString up = m_locale.toUpper(QString(q));
            if (up.size() == 1) {
                u = up.at(0).unicode();
            } else if (up.size() > 1) {
                u = kExpansion + std::uint32_t(m_expansions.size());
                m_expansions.push_back(up);
            }
        }
        m_blocks[size_t(block)] = std::move(table);
    }

    QLocale m_locale;
    std::array<std::unique_ptr<std::array<std::uint32_t, 256>>, 256> m_blocks;
    std::vector<QString> m_expansions;
};

#if defined(__SSE2__)
namespace {
// Whether the units outside ASCII are all of one block.
bool allInBlock(__m128i units, __m128i ascii, char16_t block) {
    const __m128i same = _mm_cmpeq_epi16(_mm_srli_epi16(units, 8), _mm_set1_epi16(short(block)));
    return _mm_movemask_epi8(_mm_or_si128(same, ascii)) == 0xFFFF;
}
} // namespace
#endif

TextMatcher::TextMatcher(const QString& searchText, bool caseSensitive)
    : m_text(searchText), m_caseSensitive(caseSensitive) {
    if (m_caseSensitive)
        return;
    m_fold = CaseFold::forSystemLocale();
    for (QChar c : searchText) {
        const std::uint32_t u = m_fold->upper(c.unicode());
        if (u < CaseFold::kExpansion) {
            m_folded.push_back(char16_t(u));
        } else {
            const QStringView e = m_fold->expansion(u);
            m_folded.insert(m_folded.end(), e.utf16(), e.utf16() + e.size());
        }
    }
    m_firstUnit.assign(65536 / 64, ~std::uint64_t(0));
    if (m_folded.empty())
        return;
    learnBlock(0);
    // A letter's two cases at the most; 0x80 stands for none (it is never ASCII)
    m_asciiFirst = {0x80, 0x80};
    size_t found = 0;
    for (char16_t c = 0; c < 0x80; ++c)
        if (m_firstUnit[c >> 6] >> (c & 63) & 1 && found++ < m_asciiFirst.size())
            m_asciiFirst[found - 1] = c;
    m_skipAscii = found <= m_asciiFirst.size();
}

TextMatcher::~TextMatcher() = default;

// The block's units whose upper case holds the search text's first unit.
void TextMatcher::learnBlock(char16_t c) const {
    const int block = c >> 8;
    m_blockKnown[size_t(block)] = true;
    m_blockMay[size_t(block)] = false;
    const char16_t first = m_folded.front();
    for (int i = 0; i < 256; ++i) {
        const char16_t unit = char16_t(block << 8 | i);
        const std::uint32_t u = m_fold->upper(unit);
        const bool holds =
            u < CaseFold::kExpansion ? u == first : m_fold->expansion(u).contains(QChar(first));
        std::uint64_t& word = m_firstUnit[unit >> 6];
        const std::uint64_t bit = std::uint64_t(1) << (unit & 63);
        word = holds ? word | bit : word & ~bit;
        m_blockMay[size_t(block)] = m_blockMay[size_t(block)] || holds;
    }
}

// Whether the search text, upper-cased, starts at unit i of the text (from the offset'th
// unit of its upper case).
bool TextMatcher::matchesAt(const char16_t* s, qsizetype n, qsizetype i, qsizetype offset) const {
    size_t j = 0;
    while (j < m_folded.size()) {
        if (i >= n)
            return false;
        const std::uint32_t u = m_fold->upper(s[i++]);
        if (u < CaseFold::kExpansion) {
            if (char16_t(u) != m_folded[j++])
                return false;
        } else {
            const QStringView e = m_fold->expansion(u);
            for (qsizetype k = offset; k < e.size() && j < m_folded.size(); ++k)
                if (e.at(k).unicode() != m_folded[j++])
                    return false;
        }
        offset = 0;
    }
    return true;
}

// From i on, the first unit whose upper case may hold the search text's first unit: eight
// units at a time where they are ASCII, as most text is.
qsizetype TextMatcher::nextCandidate(const char16_t* s, qsizetype n, qsizetype i) const {
    if (!m_skipAscii)
        return i;
#if defined(__SSE2__)
    const __m128i firstUnit = _mm_set1_epi16(short(m_asciiFirst[0]));
    const __m128i other = _mm_set1_epi16(short(m_asciiFirst[1]));
    const __m128i zero = _mm_setzero_si128();
    for (; n - i >= 8; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i high = _mm_srli_epi16(v, 7); // 0: ASCII
        const __m128i ascii = _mm_cmpeq_epi16(high, zero);
        const __m128i first =
            _mm_or_si128(_mm_cmpeq_epi16(v, firstUnit), _mm_cmpeq_epi16(v, other));
        const unsigned found = unsigned(_mm_movemask_epi8(first)); // two bits a unit
        const unsigned outside = ~unsigned(_mm_movemask_epi8(ascii)) & 0xFFFF;
        if (!found && !outside)
            continue;
        // Units outside ASCII of one block that holds no candidate, as a word in another
        // script is, are passed over together; others are looked up one by one.
        if (!found) {
            const char16_t block = s[i + std::countr_zero(outside) / 2] >> 8;
            if (m_blockKnown[block] && !m_blockMay[block] && allInBlock(v, ascii, block))
                continue;
        }
        for (unsigned lanes = found | outside; lanes; lanes &= ~(3u << std::countr_zero(lanes))) {
            const int bit = std::countr_zero(lanes);
            if (found >> bit & 1 || mayStartMatch(s[i + bit / 2]))
                return i + bit / 2;
        }
    }
#endif
    for (; i < n; ++i)
        if (s[i] < 0x80 ? s[i] == m_asciiFirst[0] || s[i] == m_asciiFirst[1] : mayStartMatch(s[i]))
            return i;
    return n;
}

bool TextMatcher::matches(QStringView text) const {
    if (m_caseSensitive || m_text.isEmpty())
        return text.contains(m_text, Qt::CaseSensitive);
    const char16_t* s = text.utf16();
    const qsizetype n = text.size();
    const char16_t first = m_folded.front();
    for (qsizetype i = nextCandidate(s, n, 0); i < n; i = nextCandidate(s, n, i + 1)) {
        const char16_t c = s[i];
        if (!mayStartMatch(c))
            continue;
        if (!m_blockKnown[c >> 8]) {
            learnBlock(c);
            if (!mayStartMatch(c))
                continue;
        }
        const std::uint32_t u = m_fold->upper(c);
        if (u < CaseFold::kExpansion) {
            if (matchesAt(s, n, i, 0))
                return true;
            continue;
        }
        const QStringView e = m_fold->expansion(u);
        for (qsizetype k = 0; k < e.size(); ++k)
            if (e.at(k).unicode() == first && matchesAt(s, n, i, k))
                return true;
    }
    return false;
}

namespace {

enum class ReadStatus { Read, NoFile, Failed };

template <typename Id> Id fileId(const struct stat& st) {
    return Id{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), std::int64_t(st.st_size),
              std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// Reads a page file into the buffer, which is reused from page to page; what readPageFile
// refuses fails here (it is asked again for the reason).
template <typename Id>
ReadStatus readInto(const QString& path, QByteArray& buffer, qsizetype& length, Id& id) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadStatus::NoFile : ReadStatus::Failed;
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > MaxPageFileSize)
        return ReadStatus::Failed;
    id = fileId<Id>(st);
    length = 0;
    if (buffer.size() < qsizetype(st.st_size) + 1)
        buffer.resize(qsizetype(st.st_size) + 1);
    for (;;) {
        if (length == buffer.size()) { // the file grew while it was read
            if (buffer.size() > MaxPageFileSize)
                return ReadStatus::Failed;
            buffer.resize(buffer.size() * 2);
        }
        const ssize_t n = ::read(fd, buffer.data() + length, size_t(buffer.size() - length));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ReadStatus::Failed;
        if (n == 0)
            break;
        length += n;
    }
    if (length > MaxPageFileSize)
        return ReadStatus::Failed;
    return ReadStatus::Read;
}

} // namespace

PageTextCache::PageTextCache() = default;
PageTextCache::~PageTextCache() = default;

PieceMatcher::PieceMatcher(const TextMatcher& matcher, QString* keep)
    : m_matcher(matcher), m_around(std::max<qsizetype>(matcher.longestMatch() - 1, 0)),
      m_keep(keep) {}

bool PieceMatcher::take(QStringView piece) {
    if (m_keep)
        m_keep->append(piece);
    if (m_found)
        return m_keep != nullptr;
    if (!m_tail.isEmpty()) {
        m_joint = m_tail;
        m_joint.append(piece.first(std::min(m_around, piece.size())));
        m_found = m_matcher.matches(m_joint);
    }
    m_found = m_found || m_matcher.matches(piece);
    m_tail.append(piece.last(std::min(m_around, piece.size())));
    m_tail.remove(0, std::max<qsizetype>(0, m_tail.size() - m_around));
    return m_keep != nullptr || !m_found;
}

qsizetype PageTextCache::bytesKept() const {
    qsizetype n = 0;
    for (const Page& p : m_pages)
        n += p.text.capacity() * qsizetype(sizeof(QChar));
    return n;
}

namespace {

// A page's text for the search: scanned from its file, or kept from the search before.
class PageReader {
public:
    explicit PageReader(PageTextCache::Pages* kept) : m_kept(kept) {}

    enum class Outcome { Text, NoFile, Failed };
    // Whether the page file of `index` holds what the matcher looks for; with Failed, the
    // reason in `error`.
    Outcome search(const QString& file, int index, const TextMatcher& matcher, bool& found,
                   QString& error);
    int filesRead() const { return m_filesRead; }

private:
    bool fromCache(const QString& file, PageTextCache::Page& kept, bool& noFile);
    Outcome fromFile(const QString& file, PageTextCache::FileId& id, QByteArrayView& bytes,
                     QString& error);

    PageTextCache::Pages* m_kept;
    rtf::TextScanner m_scanner;
    QByteArray m_buffer;
    PageFileRead m_retry;
    int m_filesRead = 0;
};

// Whether the kept text is still the file's; a page without a file is forgotten.
bool PageReader::fromCache(const QString& file, PageTextCache::Page& kept, bool& noFile) {
    struct stat st = {};
    noFile = ::stat(QFile::encodeName(file).constData(), &st) != 0 &&
             (errno == ENOENT || errno == ENOTDIR); // a dangling link is no file either
    if (!noFile && kept.path == file && S_ISREG(st.st_mode) &&
        fileId<PageTextCache::FileId>(st) == kept.id)
        return true;
    kept = {};
    return false;
}

PageReader::Outcome PageReader::fromFile(const QString& file, PageTextCache::FileId& id,
                                         QByteArrayView& bytes, QString& error) {
    qsizetype length = 0;
    const ReadStatus status = readInto(file, m_buffer, length, id);
    if (status == ReadStatus::NoFile)
        return Outcome::NoFile;
    bytes = QByteArrayView(m_buffer.constData(), length);
    if (status == ReadStatus::Failed) {
        // Hidden and read-only files count; a dangling link is no file.
        m_retry = readPageFile(file);
        if (m_retry.status == PageFileRead::Status::NoFile)
            return Outcome::NoFile;
        try {
            bytes = m_retry.bytesOrRaise(file);
        } catch (const Error& e) {
            error = e.message();
            return Outcome::Failed;
        }
        id = {}; // read on a second try: not kept
    }
    return Outcome::Text;
}

PageReader::Outcome PageReader::search(const QString& file, int index, const TextMatcher& matcher,
                                       bool& found, QString& error) {
    PageTextCache::Page* kept = m_kept ? &(*m_kept)[size_t(index)] : nullptr;
    bool noFile = false;
    if (kept && fromCache(file, *kept, noFile)) {
        found = matcher.matches(kept->text);
        return Outcome::Text;
    }
    if (noFile)
        return Outcome::NoFile;
    PageTextCache::FileId id;
    QByteArrayView bytes;
    const Outcome outcome = fromFile(file, id, bytes, error);
    if (outcome != Outcome::Text)
        return outcome;
    QString text;
    const bool keep = kept && id.size >= 0;
    PieceMatcher pieces(matcher, keep ? &text : nullptr);
    m_scanner.scan(bytes, pieces);
    found = pieces.found();
    if (keep) {
        text.squeeze(); // kept for long: no room to grow
        *kept = {file, id, std::move(text)};
        ++m_filesRead;
    }
    return outcome;
}

} // namespace

namespace {

// What the search made of one page.
struct PageOutcome {
    PageReader::Outcome outcome = PageReader::Outcome::NoFile;
    bool found = false;
    QString error;
};

// How many threads read pages at once: pages are independent, and reading and scanning them
// is most of a first search. A few are enough to reach the speed of memory.
int searchThreads() {
    return int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

// Runs work on `count` threads, this one among them; an exception thrown by any of them
// reaches the caller once all have ended.
template <typename Work> void runOnThreads(int count, const Work& work) {
    std::vector<std::exception_ptr> thrown(static_cast<size_t>(count));
    const auto guarded = [&](int i) {
        try {
            work();
        } catch (...) {
            thrown[size_t(i)] = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> threads;
        for (int i = 1; i < count; ++i)
            threads.emplace_back(guarded, i);
        guarded(0);
    }
    for (const std::exception_ptr& e : thrown)
        if (e)
            std::rethrow_exception(e);
}

} // namespace

PageSearchResult searchPages(const QString& pageFolder, const QString& searchText,
                             bool caseSensitive, PageTextCache* cache, const ShownPage* shown) {
    std::array<PageOutcome, PageCount> outcomes;
    std::atomic<int> next = 0;
    std::atomic<int> firstFailed = PageCount; // no page after it counts
    std::atomic<int> filesRead = 0;
    runOnThreads(searchThreads(), [&] {
        const TextMatcher matcher(searchText, caseSensitive); // it learns as it goes: one each
        PageReader reader(cache ? &cache->m_pages : nullptr);
        for (int i = next++; i < PageCount && i < firstFailed; i = next++) {
            PageOutcome& o = outcomes[size_t(i)];
            if (shown && shown->index == i) {
                o.outcome = PageReader::Outcome::Text;
                o.found = matcher.matches(shown->text);
                continue;
            }
            o.outcome = reader.search(pageFilePath(pageFolder, i), i, matcher, o.found, o.error);
            for (int f = firstFailed; o.outcome == PageReader::Outcome::Failed && i < f;)
                firstFailed.compare_exchange_weak(f, i);
        }
        filesRead += reader.filesRead();
    });
    PageSearchResult result;
    for (int i = 0; i < firstFailed; ++i)
        if (outcomes[size_t(i)].found)
            result.pages.append(i);
    if (firstFailed < PageCount)
        result.error = outcomes[size_t(firstFailed.load())].error;
    if (cache)
        cache->m_filesRead += filesRead;
    return result;
}

} // namespace qly
