#include "rtf/rtfdecoders.h"

#include <QString>

namespace qly::rtf {
namespace {

void add(DecodedUnits& out, char16_t c) {
    if (out.count < 2)
        out.units[out.count++] = c;
}

void addDecoded(DecodedUnits& out, const CodePage& cp, const char* bytes, qsizetype n) {
    QString tmp;
    cp.appendDecoded(tmp, bytes, n);
    for (QChar q : std::as_const(tmp))
        add(out, q.unicode());
}

} // namespace

DecodedUnits ByteDecoder::doubleByte(const CodePage& cp, unsigned char b) {
    DecodedUnits out;
    if (m_lead >= 0) {
        const char pair[2] = {char(m_lead), char(b)};
        reset();
        addDecoded(out, cp, pair, 2);
    } else if (b < 0x80) {
        add(out, b);
    } else if (cp.isLeadByte(b)) {
        m_lead = b;
    } else if (cp.single(b) != 0xFFFD) { // a single byte the page adds (Mac Japanese)
        add(out, cp.single(b));
    } else {
        const char one = char(b);
        addDecoded(out, cp, &one, 1);
    }
    return out;
}

DecodedUnits ByteDecoder::utf8(const CodePage& cp, unsigned char b) {
    DecodedUnits out;
    if (m_utf8Need > 0) {
        if ((b & 0xC0) == 0x80) {
            m_utf8Code = m_utf8Code << 6 | (b & 0x3F);
            if (--m_utf8Need > 0)
                return out;
            const char32_t c = m_utf8Code;
            if (c < m_utf8Min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
                add(out, 0xFFFD);
            } else if (c > 0xFFFF) {
                add(out, char16_t(0xD7C0 + (c >> 10)));
                add(out, char16_t(0xDC00 | (c & 0x3FF)));
            } else {
                add(out, char16_t(c));
            }
            return out;
        }
        m_utf8Need = 0;
        add(out, 0xFFFD);
    }
    if (b < 0x80) {
        add(out, b);
    } else if (b >= 0xC2 && b <= 0xDF) {
        m_utf8Need = 1, m_utf8Code = b & 0x1F, m_utf8Min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        m_utf8Need = 2, m_utf8Code = b & 0x0F, m_utf8Min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        m_utf8Need = 3, m_utf8Code = b & 0x07, m_utf8Min = 0x10000;
    } else {
        add(out, cp.single(b));
    }
    return out;
}

} // namespace qly::rtf
