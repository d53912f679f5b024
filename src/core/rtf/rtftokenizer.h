#pragma once
// The RTF reader's first layer: a tokenizer over bytes. Text is scanned in runs over the
// input; nothing is allocated; nothing recurses.

#include "rtf/rtfreader.h"

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

class Tokenizer {
public:
    Tokenizer(const char* begin, const char* end) : p_(begin), end_(end) {}

    // The next byte to read.
    const char* pos() const { return p_; }
    const char* end() const { return end_; }
    // Goes on from p (at the end at the most): for a reader that passed over bytes itself.
    void seek(const char* p) { p_ = std::min(p, end_); }

    void next(Token& t) {
        for (;;) {
            if (p_ >= end_) {
                t.type = Tok::End;
                return;
            }
            const unsigned char c = static_cast<unsigned char>(*p_);
            if (c == '\r' || c == '\n') { // line breaks in RTF are no text
                ++p_;
                continue;
            }
            if (c == '{') {
                ++p_;
                t.type = Tok::Open;
                return;
            }
            if (c == '}') {
                ++p_;
                t.type = Tok::Close;
                return;
            }
            if (c == '\\') {
                controlWord(t);
                return;
            }
            const char* s = p_;
            while (p_ < end_ && !kSpecial[static_cast<unsigned char>(*p_)])
                ++p_;
            t.type = Tok::Text;
            t.ptr = s;
            t.len = p_ - s;
            return;
        }
    }

private:
    void controlWord(Token& t) {
        ++p_; // the backslash
        if (p_ >= end_) {
            t.type = Tok::End;
            return;
        }
        const unsigned char c = static_cast<unsigned char>(*p_);
        if (isLetter(c)) {
            word(t);
            return;
        }
        ++p_;
        if (c == '\'') {
            hex(t);
            return;
        }
        t.type = Tok::Symbol;
        t.symbol = char(c);
    }

    void word(Token& t) {
        const char* name = p_;
        while (p_ < end_ && isLetter(static_cast<unsigned char>(*p_)))
            ++p_;
        t.type = Tok::Word;
        t.ptr = name;
        t.len = p_ - name;
        parameter(t);
        if (p_ < end_ && *p_ == ' ') // only one blank is the delimiter
            ++p_;
        if (t.len == 3 && std::memcmp(name, "bin", 3) == 0) {
            // \binN: N raw bytes, clamped to what remains.
            qsizetype n = t.hasParam && t.param > 0 ? t.param : 0;
            if (n > end_ - p_)
                n = end_ - p_;
            t.type = Tok::Bin;
            t.ptr = p_;
            t.len = n;
            p_ += n;
        }
    }

    // A word's numeric parameter, saturated to 32 bits.
    void parameter(Token& t) {
        t.hasParam = false;
        t.param = 0;
        const bool negative =
            p_ + 1 < end_ && *p_ == '-' && isDigit(static_cast<unsigned char>(p_[1]));
        if (negative)
            ++p_;
        if (p_ >= end_ || !isDigit(static_cast<unsigned char>(*p_)))
            return;
        std::int64_t v = 0;
        while (p_ < end_ && isDigit(static_cast<unsigned char>(*p_))) {
            if (v < (std::int64_t(1) << 32))
                v = v * 10 + (*p_ - '0');
            ++p_;
        }
        t.hasParam = true;
        t.param = int(std::clamp<std::int64_t>(negative ? -v : v, INT32_MIN, INT32_MAX));
    }

    // \'hh: up to two hex digits.
    void hex(Token& t) {
        int v = 0, digits = 0;
        while (digits < 2 && p_ < end_) {
            const int h = hexValue(static_cast<unsigned char>(*p_));
            if (h < 0)
                break;
            v = v * 16 + h;
            ++p_;
            ++digits;
        }
        if (digits == 0) { // "\'" without hex digits: nothing
            t.type = Tok::Symbol;
            t.symbol = 0;
            return;
        }
        t.type = Tok::Hex;
        t.param = v;
    }

    const char* p_;
    const char* end_;
};

} // namespace qly::rtf
