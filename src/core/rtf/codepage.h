#pragma once
// Code pages of RTF text: which code page a font's \fcharset names, and how its bytes
// become UTF-16. Single-byte pages come from built-in tables (the same on every platform);
// the double-byte pages 932, 936, 949 and 950 go through QStringDecoder.

#include <QString>
#include <QStringDecoder>

#include <memory>
#include <vector>

namespace qly::rtf {

inline constexpr int kSymbolCodePage = 2; // pseudo code page: the Symbol character set
inline constexpr int kUtf8CodePage = 65001;

// The code page that a font of this \fcharset uses; ansiCodePage for DEFAULT_CHARSET (1)
// and for character sets that name no code page.
int codePageForCharset(int charset, int ansiCodePage);

// How the bytes of one code page become UTF-16.
class CodePage {
public:
    int number() const { return m_number; }
    bool isDoubleByte() const { return m_decoder != nullptr; }
    bool isSymbol() const { return m_number == kSymbolCodePage; }
    bool isUtf8() const { return m_number == kUtf8CodePage; }
    // Single-byte pages and Symbol: the character of a byte.
    char16_t single(unsigned char b) const { return m_table[b]; }
    // Double-byte pages: whether the byte starts a two-byte character (Mac Japanese: not
    // the single bytes 0x80, 0xA0 and 0xFD..0xFF it adds).
    bool isLeadByte(unsigned char b) const;
    // Double-byte pages: decodes bytes (whole characters) and appends them to out.
    void appendDecoded(QString& out, const char* bytes, qsizetype n) const;

private:
    friend class CodePages;
    int m_number = 1252;
    char16_t m_table[256] = {};
    std::unique_ptr<QStringDecoder> m_decoder;
};

// A small cache of the code pages one reader uses. Not thread-safe; one per reader.
class CodePages {
public:
    const CodePage& get(int codePage);

private:
    std::vector<std::unique_ptr<CodePage>> m_pages;
};

// Writer side: the Windows-1252 byte of a character, or -1 when 1252 has none.
int windows1252Byte(char16_t c);
// Writer side: the Symbol-charset byte of a character, or -1.
int symbolByte(char16_t c);

} // namespace qly::rtf
