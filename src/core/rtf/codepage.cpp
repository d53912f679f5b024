#include "rtf/codepage.h"

#include <algorithm>
#include <cstring>

namespace qly::rtf {
namespace {
#include "codepages_tables.inc"

const SingleByteTable* builtinTable(int cp) {
    for (const SingleByteTable& t : kSingleByteTables)
        if (t.codePage == cp)
            return &t;
    return nullptr;
}

// The double-byte pages; the Mac ones decode as their Windows relatives, which hold them.
const char* doubleByteName(int cp) {
    switch (cp) {
    case 932:
        return "windows-31j";
    case 10001:
        return "Shift_JIS";
    case 936:
    case 10008:
        return "GBK";
    case 949:
    case 10003:
        return "windows-949";
    case 950:
    case 10002:
        return "Big5";
    }
    return nullptr;
}
bool isDoubleBytePage(int cp) {
    return doubleByteName(cp) != nullptr;
}
} // namespace

int codePageForCharset(int charset, int ansiCodePage) {
    switch (charset) {
    case 0:
        return 1252;
    case 2:
        return kSymbolCodePage;
    case 77:
        return 10000;
    case 78:
        return 10001;
    case 79:
    case 82:
        return 10003;
    case 80:
        return 10008;
    case 81:
        return 10002;
    case 83:
        return 10005;
    case 84:
        return 10004;
    case 85:
        return 10006;
    case 86:
        return 10081;
    case 87:
        return 10021;
    case 88:
        return 10029;
    case 89:
        return 10007;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return ansiCodePage;
    }
}

bool CodePage::isLeadByte(unsigned char b) const {
    if (m_number == 932 || m_number == 10001)
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    return b >= 0x81 && b <= 0xFE;
}

void CodePage::appendDecoded(QString& out, const char* bytes, qsizetype n) const {
    if (n <= 0)
        return;
    const qsizetype old = out.size();
    out.resize(old + n); // a byte never makes more than one UTF-16 unit in these pages
    QChar* end = m_decoder->appendToBuffer(out.data() + old, QByteArrayView(bytes, n));
    out.truncate(end - out.constData());
}

namespace {

void copyHigh1252(char16_t* table) {
    std::copy(std::begin(builtinTable(1252)->high), std::end(builtinTable(1252)->high),
              table + 0x80);
}

// A double-byte page: Qt's decoder, no single bytes but those Mac Japanese adds to
// Shift_JIS; Windows-1252 when Qt lacks it.
void makeDoubleByte(std::unique_ptr<QStringDecoder>& decoder, char16_t* table, int cp) {
    auto dec =
        std::make_unique<QStringDecoder>(doubleByteName(cp), QStringDecoder::Flag::Stateless);
    if (!dec->isValid()) {
        copyHigh1252(table); // the number stays, so that the lookup is cached
        return;
    }
    decoder = std::move(dec);
    for (int b = 0x80; b < 0x100; ++b)
        table[b] = 0xFFFD;
    if (cp == 10001) { // Mac Japanese: the single bytes it adds to Shift_JIS
        table[0x80] = '\\';
        table[0xA0] = 0x00A0;
        table[0xFD] = 0x00A9;
        table[0xFE] = 0x2122;
        table[0xFF] = 0x2026;
    }
}

// A code page without a built-in table: Qt (ICU) asked once for its 128 upper bytes.
void makeFromQt(char16_t* table, int cp) {
    const QByteArray names[] = {"windows-" + QByteArray::number(cp), "cp" + QByteArray::number(cp),
                                "ibm" + QByteArray::number(cp)};
    for (const QByteArray& name : names) {
        QStringDecoder dec(name.constData(), QStringDecoder::Flag::Stateless);
        if (!dec.isValid())
            continue;
        for (int b = 0x80; b < 0x100; ++b) {
            const char c = char(b);
            const QString s = dec.decode(QByteArrayView(&c, 1));
            table[b] = s.size() == 1 ? char16_t(s.at(0).unicode()) : char16_t(0xFFFD);
        }
        return;
    }
    copyHigh1252(table);
}

} // namespace

const CodePage& CodePages::get(int cp) {
    for (const auto& p : m_pages)
        if (p->m_number == cp)
            return *p;
    auto page = std::make_unique<CodePage>();
    page->m_number = cp;
    for (int b = 0; b < 0x80; ++b)
        page->m_table[b] = char16_t(b);
    if (cp == kUtf8CodePage) // bytes outside a sequence: as Windows-1252
        copyHigh1252(page->m_table);
    else if (cp == kSymbolCodePage)
        std::memcpy(page->m_table, kSymbolTable, sizeof kSymbolTable);
    else if (isDoubleBytePage(cp))
        makeDoubleByte(page->m_decoder, page->m_table, cp);
    else if (const SingleByteTable* t = builtinTable(cp))
        std::copy(std::begin(t->high), std::end(t->high), page->m_table + 0x80);
    else
        makeFromQt(page->m_table, cp);
    m_pages.push_back(std::move(page));
    return *m_pages.back();
}

int windows1252Byte(char16_t c) {
    if (c < 0x80)
        return c;
    if (c >= 0xA0 && c <= 0xFF)
        return c;
    if (c < 0x152 || c > 0x2122) // outside the characters of 0x80..0x9F
        return -1;
    static const char16_t* high = builtinTable(1252)->high;
    for (int i = 0; i < 32; ++i)
        if (high[i] == c)
            return 0x80 + i;
    return -1;
}

int symbolByte(char16_t c) {
    if (c < 0x20)
        return -1;
    for (int b = 0x20; b < 0x100; ++b)
        if (kSymbolTable[b] == c)
            return b;
    return -1;
}

} // namespace qly::rtf
