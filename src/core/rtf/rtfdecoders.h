#pragma once
// Text bytes that need more than a table look-up: double-byte code pages and UTF-8, whose
// characters writers may spread over several tokens (\'hh by \'hh).

#include "rtf/codepage.h"

namespace qly::rtf {

// The units one byte completes: none while a character is incomplete, at most two (two
// bytes decode to no more).
struct DecodedUnits {
    char16_t units[2] = {};
    int count = 0;
};

// The state between the bytes of one character.
class ByteDecoder {
public:
    // Forgets a character begun: a change of font or destination ends it.
    void reset() {
        m_lead = -1;
        m_utf8Need = 0;
    }
    // A byte of a double-byte code page (932, 936, 949, 950 and the like).
    DecodedUnits doubleByte(const CodePage& cp, unsigned char b);
    // A byte of UTF-8. A broken sequence gives U+FFFD, after which the byte is read anew; a
    // byte that cannot start one reads as the code page's (Windows-1252) character.
    DecodedUnits utf8(const CodePage& cp, unsigned char b);

private:
    int m_lead = -1;    // a pending double-byte lead byte
    int m_utf8Need = 0; // continuation bytes a UTF-8 sequence still needs
    char32_t m_utf8Code = 0;
    char32_t m_utf8Min = 0;
};

} // namespace qly::rtf
