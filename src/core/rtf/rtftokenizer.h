#pragma once
// The RTF reader's first layer: a tokenizer over bytes. Text is scanned in runs over the
// input; nothing is allocated; nothing recurses.

#include "rtf/rtfreader.h"

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace qly::rtf {

enum class Tok : std::uint8_t { End, Text, Word, Symbol, Hex, Bin, Open, Close };

struct Token {
    Tok type = Tok::End;
    const char* ptr = nullptr; // Text: the run; Word: the name; Bin: the data
    qsizetype len = 0;         // Text and Bin: bytes; Word: name length
    bool hasParam = false;     // Word
    int param = 0;             // Word: the parameter, saturated to 32 bits; Hex: the byte
    char symbol = 0;           // Symbol
};

// Bytes that end a text run.
constexpr std::array<bool, 256> kSpecial = [] {
    std::array<bool, 256> t{};
    t['\\'] = t['{'] = t['}'] = t['\r'] = t['\n'] = true;
    return t;
}();

inline bool isLetter(unsigned char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}
inline bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// A word's numeric parameter at p, saturated to 32 bits; p moves past it. False, p where it
// was, when no number follows.
Q_ALWAYS_INLINE bool readParameter(const char*& p, const char* end, int& value) {
    const bool negative = end - p > 1 && *p == '-' && isDigit(static_cast<unsigned char>(p[1]));
    const char* q = p + (negative ? 1 : 0);
    if (q >= end || !isDigit(static_cast<unsigned char>(*q)))
        return false;
    std::int64_t v = 0;
    for (; q < end && isDigit(static_cast<unsigned char>(*q)); ++q)
        if (v < (std::int64_t(1) << 32))
            v = v * 10 + (*q - '0');
    value = int(std::clamp<std::int64_t>(negative ? -v : v, INT32_MIN, INT32_MAX));
    p = q;
    return true;
}

// Called once for every token of a page: the whole path is kept inline in the reader's loop.
class Tokenizer {
public:
    Tokenizer(const char* begin, const char* end) : m_p(begin), m_end(end) {}

    // The next byte to read.
    const char* pos() const { return m_p; }
    const char* end() const { return m_end; }
    // Goes on from p (at the end at the most): for a reader that passed over bytes itself.
    void seek(const char* p) { m_p = std::min(p, m_end); }

    Q_ALWAYS_INLINE void next(Token& t) {
        for (;;) {
            if (m_p >= m_end) {
                t.type = Tok::End;
                return;
            }
            const unsigned char c = static_cast<unsigned char>(*m_p);
            if (c == '\r' || c == '\n') { // line breaks in RTF are no text
                ++m_p;
                continue;
            }
            if (c == '{') {
                ++m_p;
                t.type = Tok::Open;
                return;
            }
            if (c == '}') {
                ++m_p;
                t.type = Tok::Close;
                return;
            }
            if (c == '\\') {
                controlWord(t);
                return;
            }
            const char* s = m_p;
            while (m_p < m_end && !kSpecial[static_cast<unsigned char>(*m_p)])
                ++m_p;
            t.type = Tok::Text;
            t.ptr = s;
            t.len = m_p - s;
            return;
        }
    }

private:
    Q_ALWAYS_INLINE void controlWord(Token& t) {
        ++m_p; // the backslash
        if (m_p >= m_end) {
            t.type = Tok::End;
            return;
        }
        const unsigned char c = static_cast<unsigned char>(*m_p);
        if (isLetter(c)) {
            word(t);
            return;
        }
        ++m_p;
        if (c == '\'') {
            hex(t);
            return;
        }
        t.type = Tok::Symbol;
        t.symbol = char(c);
    }

    Q_ALWAYS_INLINE void word(Token& t) {
        const char* name = m_p;
        while (m_p < m_end && isLetter(static_cast<unsigned char>(*m_p)))
            ++m_p;
        t.type = Tok::Word;
        t.ptr = name;
        t.len = m_p - name;
        parameter(t);
        if (m_p < m_end && *m_p == ' ') // only one blank is the delimiter
            ++m_p;
        if (t.len == 3 && std::memcmp(name, "bin", 3) == 0) {
            // \binN: N raw bytes, clamped to what remains.
            qsizetype n = t.hasParam && t.param > 0 ? t.param : 0;
            if (n > m_end - m_p)
                n = m_end - m_p;
            t.type = Tok::Bin;
            t.ptr = m_p;
            t.len = n;
            m_p += n;
        }
    }

    Q_ALWAYS_INLINE void parameter(Token& t) {
        t.param = 0;
        t.hasParam = readParameter(m_p, m_end, t.param);
    }

    // \'hh: up to two hex digits.
    Q_ALWAYS_INLINE void hex(Token& t) {
        const int high = m_p < m_end ? hexValue(static_cast<unsigned char>(*m_p)) : -1;
        if (high < 0) { // "\'" without hex digits: nothing
            t.type = Tok::Symbol;
            t.symbol = 0;
            return;
        }
        ++m_p;
        const int low = m_p < m_end ? hexValue(static_cast<unsigned char>(*m_p)) : -1;
        t.type = Tok::Hex;
        t.param = high;
        if (low >= 0) {
            t.param = high * 16 + low;
            ++m_p;
        }
    }

    const char* m_p;
    const char* m_end;
};

} // namespace qly::rtf
