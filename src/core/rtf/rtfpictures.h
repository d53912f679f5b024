#pragma once
// Pictures in RTF: what a \pict group says, gathered while it is read; the group the writer
// writes for a picture; device-independent bitmaps as PNG.

#include "model/document.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>

namespace qly::rtf {

inline constexpr int kMaxPictures = 65536;     // pictures of a document kept
inline constexpr int kMaxPictureTwips = 31680; // 22 inches: no page is larger

// The data forms of \pict.
enum class Blip : std::uint8_t {
    None,
    Png,      // \pngblip
    Jpeg,     // \jpegblip
    Dib,      // \dibitmap: a BITMAPINFO and its pixels
    Metafile, // \wmetafile, \emfblip, \pmmetafile: sizes in 0.01 mm
    Other     // \macpict, \wbitmap and the like: sizes in pixels
};

// Which \pict size a control word sets.
enum class PictSize : std::uint8_t { W, H, GoalW, GoalH, ScaleX, ScaleY };

// One \pict group being read. Its data is at most what the input holds: hex digits give half
// a byte each, \bin the bytes that follow it.
class PictReader {
public:
    // A \pict group opens; with keepData false (find's text), its data is only skipped.
    void begin(bool keepData);
    void setBlip(Blip blip);
    void setSize(PictSize which, int value);
    void hexText(const char* s, qsizetype n);
    void binary(const char* s, qsizetype n);
    // The picture read: PNG or JPEG data (a DIB made PNG) and its size as shown.
    Picture take();

private:
    Blip m_blip = Blip::None;
    int m_sizes[6] = {};
    bool m_hasSize[6] = {};
    QByteArray m_data;
    int m_nibble = -1; // a hex digit waiting for its partner
    bool m_keep = false;
};

// A picture's size from \objw, \objh and their scales (0 when the object does not say).
int scaledTwips(int goal, int scalePercent);

// The pixel size of PNG or JPEG data; false when the data does not say.
bool imagePixelSize(PictureFormat format, QByteArrayView data, int& width, int& height);

// A DIB (BITMAPINFOHEADER, colours, pixels) as PNG; empty for a form this does not take.
QByteArray dibToPng(QByteArrayView dib);

// The RTF group of a picture: its kept group, else {\pict ...\pngblip or \jpegblip hex}.
QByteArray pictureGroup(const Picture& picture);

} // namespace qly::rtf
