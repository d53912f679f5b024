#include "rtf/rtfpictures.h"

#include "rtf/rtfreader.h"

#include <algorithm>
#include <array>

namespace qly::rtf {
namespace {

constexpr int kTwipsPerPixel = 15; // 96 pixels an inch, as the editor lays out

std::uint32_t be32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}
std::uint32_t be16(const unsigned char* p) {
    return std::uint32_t(p[0]) << 8 | p[1];
}
std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}
std::uint32_t le16(const unsigned char* p) {
    return std::uint32_t(p[1]) << 8 | p[0];
}

int clampTwips(long long v) {
    return int(std::clamp<long long>(v, 0, kMaxPictureTwips));
}

const std::array<std::uint32_t, 256>& crcTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

void putBe32(QByteArray& out, std::uint32_t v) {
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

void pngChunk(QByteArray& out, const char* type, QByteArrayView data) {
    putBe32(out, std::uint32_t(data.size()));
    const qsizetype start = out.size();
    out.append(type, 4);
    out.append(data);
    std::uint32_t c = 0xFFFFFFFFu;
    const auto& table = crcTable();
    for (qsizetype i = start; i < out.size(); ++i)
        c = table[(c ^ static_cast<unsigned char>(out[i])) & 0xFF] ^ (c >> 8);
    putBe32(out, c ^ 0xFFFFFFFFu);
}

} // namespace

void PictReader::begin(bool keepData) {
    *this = PictReader{};
    m_keep = keepData;
}

void PictReader::setBlip(Blip blip) {
    m_blip = blip;
}

void PictReader::setSize(PictSize which, int value) {
    m_sizes[int(which)] = value;
    m_hasSize[int(which)] = true;
}

void PictReader::hexText(const char* s, qsizetype n) {
    if (!m_keep)
        return;
    for (qsizetype i = 0; i < n; ++i) {
        const int h = hexValue(static_cast<unsigned char>(s[i]));
        if (h < 0)
            continue;
        if (m_nibble < 0) {
            m_nibble = h;
        } else {
            m_data.append(char(m_nibble << 4 | h));
            m_nibble = -1;
        }
    }
}

void PictReader::binary(const char* s, qsizetype n) {
    if (m_keep)
        m_data.append(s, n);
}

int scaledTwips(int goal, int scalePercent) {
    if (goal <= 0)
        return 0;
    if (scalePercent <= 0)
        scalePercent = 100;
    // A size that is not nothing stays something, so that it reads back as it was written.
    return std::max(1, clampTwips((long long)goal * scalePercent / 100));
}

Picture PictReader::take() {
    Picture p;
    if (!m_keep)
        return p;
    switch (m_blip) {
    case Blip::Png:
        p.format = PictureFormat::Png;
        p.data = std::move(m_data);
        break;
    case Blip::Jpeg:
        p.format = PictureFormat::Jpeg;
        p.data = std::move(m_data);
        break;
    case Blip::Dib:
        p.data = dibToPng(m_data);
        if (!p.data.isEmpty())
            p.format = PictureFormat::Png;
        break;
    default:
        break;
    }
    m_data.clear();
    // The size the picture has of itself, in twips.
    const int picw = std::max(m_sizes[int(PictSize::W)], 0);
    const int pich = std::max(m_sizes[int(PictSize::H)], 0);
    long long naturalW = 0, naturalH = 0;
    int pw = 0, ph = 0;
    if (imagePixelSize(p.format, p.data, pw, ph)) {
        naturalW = (long long)pw * kTwipsPerPixel;
        naturalH = (long long)ph * kTwipsPerPixel;
    } else if (m_blip == Blip::Metafile) {
        naturalW = (long long)picw * 1440 / 2540;
        naturalH = (long long)pich * 1440 / 2540;
    } else {
        naturalW = (long long)picw * kTwipsPerPixel;
        naturalH = (long long)pich * kTwipsPerPixel;
    }
    const int goalW = m_sizes[int(PictSize::GoalW)];
    const int goalH = m_sizes[int(PictSize::GoalH)];
    const int scaleX = m_hasSize[int(PictSize::ScaleX)] ? m_sizes[int(PictSize::ScaleX)] : 100;
    const int scaleY = m_hasSize[int(PictSize::ScaleY)] ? m_sizes[int(PictSize::ScaleY)] : 100;
    p.width = scaledTwips(goalW > 0 ? goalW : clampTwips(naturalW), scaleX);
    p.height = scaledTwips(goalH > 0 ? goalH : clampTwips(naturalH), scaleY);
    return p;
}

namespace {

// A JPEG's size from its first frame header.
bool jpegSize(const unsigned char* d, qsizetype n, std::uint32_t& w, std::uint32_t& h) {
    if (n < 4 || d[0] != 0xFF || d[1] != 0xD8)
        return false;
    qsizetype i = 2;
    for (;;) {
        if (i + 4 > n || d[i] != 0xFF)
            return false;
        const unsigned char marker = d[i + 1];
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            i += 2;
            continue;
        }
        const std::uint32_t len = be16(d + i + 2);
        if (len < 2)
            return false;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            if (i + 9 > n)
                return false;
            h = be16(d + i + 5);
            w = be16(d + i + 7);
            return true;
        }
        i += 2 + qsizetype(len);
    }
}

} // namespace

bool imagePixelSize(PictureFormat format, QByteArrayView data, int& width, int& height) {
    const auto* d = reinterpret_cast<const unsigned char*>(data.data());
    const qsizetype n = data.size();
    std::uint32_t w = 0, h = 0;
    if (format == PictureFormat::Png) {
        if (n < 24 || !data.startsWith("\x89PNG\r\n\x1a\n") || data.sliced(12, 4) != "IHDR")
            return false;
        w = be32(d + 16);
        h = be32(d + 20);
    } else if (format != PictureFormat::Jpeg || !jpegSize(d, n, w, h)) {
        return false;
    }
    if (w == 0 || h == 0 || w > 1'000'000 || h > 1'000'000)
        return false;
    width = int(w);
    height = int(h);
    return true;
}

namespace {

// A bitmap's rows top down, each behind its PNG filter byte (none); colours as RGB.
QByteArray pngRows(const unsigned char* pixels, long long stride, long long width, long long height,
                   bool bottomUp, unsigned bpp) {
    const long long rowBytes = bpp <= 8 ? (width * bpp + 7) / 8 : width * 3;
    QByteArray raw;
    raw.reserve(qsizetype(height * (rowBytes + 1)));
    for (long long y = 0; y < height; ++y) {
        const unsigned char* row = pixels + stride * (bottomUp ? height - 1 - y : y);
        raw.append('\0');
        if (bpp <= 8) {
            raw.append(reinterpret_cast<const char*>(row), qsizetype(rowBytes));
            continue;
        }
        const int step = int(bpp / 8);
        for (long long x = 0; x < width; ++x) {
            const unsigned char* px = row + x * step;
            const char rgb[3] = {char(px[2]), char(px[1]), char(px[0])};
            raw.append(rgb, 3);
        }
    }
    return raw;
}

} // namespace

QByteArray dibToPng(QByteArrayView dib) {
    const auto* d = reinterpret_cast<const unsigned char*>(dib.data());
    const long long n = dib.size();
    if (n < 40)
        return {};
    const long long headerSize = le32(d);
    const long long width = std::int32_t(le32(d + 4));
    const long long rawHeight = std::int32_t(le32(d + 8));
    const unsigned planes = le16(d + 12);
    const unsigned bpp = le16(d + 14);
    const unsigned compression = le32(d + 16);
    const long long colorsUsed = le32(d + 32);
    const long long height = rawHeight < 0 ? -rawHeight : rawHeight;
    // 32 bits with the usual colour masks (after a short header, in a long one), as screen
    // shots come, read as plain 32 bits.
    long long masks = 0;
    if (compression == 3 && bpp == 32) {
        if (n < 52 || le32(d + 40) != 0xFF0000 || le32(d + 44) != 0xFF00 || le32(d + 48) != 0xFF)
            return {};
        masks = headerSize == 40 ? 12 : 0;
    } else if (compression != 0) {
        return {};
    }
    if (headerSize < 40 || headerSize > n || planes != 1 || width < 1 || width > 65535 ||
        height < 1 || height > 65535 ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32))
        return {};
    const long long paletteSize = bpp <= 8 ? (colorsUsed > 0 ? colorsUsed : 1LL << bpp) : 0;
    const long long stride = (width * bpp + 31) / 32 * 4;
    const long long pixels = headerSize + masks + 4 * paletteSize;
    if (paletteSize > 256 || pixels + stride * height > n)
        return {};

    const QByteArray raw = pngRows(d + pixels, stride, width, height, rawHeight > 0, bpp);
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    putBe32(header, std::uint32_t(width));
    putBe32(header, std::uint32_t(height));
    header.append(char(bpp <= 8 ? bpp : 8));
    header.append(char(bpp <= 8 ? 3 : 2)); // palette, else RGB
    header.append(3, '\0');                // deflate, adaptive filters, no interlace
    pngChunk(png, "IHDR", header);
    if (bpp <= 8) {
        // Every index the pixels can hold has a colour: those the DIB leaves out are black.
        QByteArray palette(3 * (1 << bpp), '\0');
        for (long long i = 0; i < std::min(paletteSize, 1LL << bpp); ++i) {
            const unsigned char* c = d + headerSize + 4 * i;
            palette[qsizetype(3 * i)] = char(c[2]);
            palette[qsizetype(3 * i + 1)] = char(c[1]);
            palette[qsizetype(3 * i + 2)] = char(c[0]);
        }
        pngChunk(png, "PLTE", palette);
    }
    // qCompress gives a zlib stream behind 4 bytes of length: the stream is what PNG holds.
    pngChunk(png, "IDAT", QByteArrayView(qCompress(raw)).sliced(4));
    pngChunk(png, "IEND", {});
    return png;
}

QByteArray pictureGroup(const Picture& picture) {
    if (!picture.rtf.isEmpty())
        return picture.rtf;
    if (picture.format != PictureFormat::Png && picture.format != PictureFormat::Jpeg)
        return {};
    const QByteArray& data = picture.data;
    QByteArray out;
    out.reserve(data.size() * 2 + data.size() / 64 + 128);
    out += "{\\pict";
    int w = 0, h = 0;
    if (imagePixelSize(picture.format, data, w, h))
        out += "\\picw" + QByteArray::number(w) + "\\pich" + QByteArray::number(h);
    out += "\\picwgoal" + QByteArray::number(picture.width) + "\\pichgoal" +
           QByteArray::number(picture.height);
    out += picture.format == PictureFormat::Png ? "\\pngblip\n" : "\\jpegblip\n";
    static constexpr char kHex[] = "0123456789abcdef";
    for (qsizetype i = 0; i < data.size(); i += 64) {
        const qsizetype m = std::min<qsizetype>(64, data.size() - i);
        const qsizetype at = out.size();
        out.resize(at + 2 * m + 1);
        char* o = out.data() + at;
        for (qsizetype k = 0; k < m; ++k) {
            const auto b = static_cast<unsigned char>(data[i + k]);
            *o++ = kHex[b >> 4];
            *o++ = kHex[b & 15];
        }
        *o = '\n';
    }
    out += '}';
    return out;
}

} // namespace qly::rtf
