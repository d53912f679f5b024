// Pictures in RTF: PNG, JPEG and DIB read and written back as images at their size; pictures
// that cannot be drawn written back as the bytes they came in; hostile pictures bounded.
#include "rtf/rtf.h"
#include "rtf/rtfpictures.h"

#include <gtest/gtest.h>

using namespace qly;
using qly::rtf::plainText;
using qly::rtf::readDocument;
using qly::rtf::writeDocument;

namespace {

// A 2 x 1 PNG (red, blue).
const QByteArray kPngHex = "89504e470d0a1a0a0000000d49484452000000020000000108020000007b40e8dd0000"
                           "000d49444154789c63f8cf0004ff01070001ffe2239e590000000049454e44ae426082";

// The start of a JPEG of 32 x 16 pixels: what a reader needs for its size.
const QByteArray kJpeg =
    QByteArray::fromHex("ffd8ffe000104a46494600010100000100010000ffc00011080010002003012200021101"
                        "031101ffd9");

// A 2 x 2 DIB, 24 bits: bottom row red, green; top row blue, white.
QByteArray dib() {
    QByteArray h = QByteArray::fromHex("28000000"
                                       "02000000"
                                       "02000000"
                                       "0100"
                                       "1800"
                                       "00000000"
                                       "10000000"
                                       "00000000000000000000000000000000");
    h += QByteArray::fromHex("0000ff00ff000000"); // BGR red, BGR green, padding
    h += QByteArray::fromHex("ff0000ffffff0000");
    return h;
}

// A BITMAPINFOHEADER.
QByteArray dibHeader(int w, int h, int bpp, int compression, int colors) {
    QByteArray b(40, '\0');
    const auto put = [&b](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = char(v >> (8 * i));
    };
    put(0, 40);
    put(4, quint32(w));
    put(8, quint32(h));
    b[12] = 1;
    b[14] = char(bpp);
    put(16, quint32(compression));
    put(32, quint32(colors));
    return b;
}

// The pictures of a document in text order.
std::vector<Picture> picturesOf(const Document& d) {
    std::vector<Picture> out;
    for (const Paragraph& p : d.paragraphs)
        for (const TextRun& r : p.runs)
            if (r.picture > 0)
                out.push_back(d.pictures.at(size_t(r.picture) - 1));
    return out;
}

// Written, read back and written again: the same document and the same bytes.
void expectStable(const Document& d) {
    const QByteArray once = writeDocument(d);
    const Document again = readDocument(once);
    EXPECT_EQ(again, d);
    EXPECT_EQ(writeDocument(again), once);
}

} // namespace

TEST(RtfPictures, PngJpegAndDibAsImagesAtTheirSize) {
    const QByteArray rtf = "{\\rtf1 a{\\pict\\picwgoal300\\pichgoal150\\picscalex200\\pngblip\n" +
                           kPngHex + "}b{\\pict\\jpegblip\\bin" + QByteArray::number(kJpeg.size()) +
                           " " + kJpeg + "}{\\pict\\dibitmap0 " + dib().toHex() + "}\\par}";
    const Document d = readDocument(rtf);
    ASSERT_EQ(d.paragraphs.size(), 1u);
    const auto& runs = d.paragraphs[0].runs;
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[0].text, "a");
    EXPECT_EQ(runs[1].text, QString(QChar::ObjectReplacementCharacter));
    EXPECT_EQ(runs[2].text, "b");
    const std::vector<Picture> pics = picturesOf(d);
    ASSERT_EQ(pics.size(), 3u);
    // The goal size, scaled.
    EXPECT_EQ(pics[0].format, PictureFormat::Png);
    EXPECT_EQ(pics[0].data, QByteArray::fromHex(kPngHex));
    EXPECT_EQ(pics[0].width, 600);
    EXPECT_EQ(pics[0].height, 150);
    // No goal: the image's pixels at 15 twips each.
    EXPECT_EQ(pics[1].format, PictureFormat::Jpeg);
    EXPECT_EQ(pics[1].data, kJpeg);
    EXPECT_EQ(pics[1].width, 32 * 15);
    EXPECT_EQ(pics[1].height, 16 * 15);
    // A DIB becomes a PNG of its pixels.
    EXPECT_EQ(pics[2].format, PictureFormat::Png);
    int w = 0, h = 0;
    ASSERT_TRUE(rtf::imagePixelSize(PictureFormat::Png, pics[2].data, w, h));
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 2);
    EXPECT_TRUE(pics[2].rtf.isEmpty());
    // Find's text has no pictures.
    EXPECT_EQ(plainText(rtf), "ab");

    const QByteArray written = writeDocument(d);
    EXPECT_TRUE(written.contains("\\picwgoal600\\pichgoal150\\pngblip"));
    EXPECT_TRUE(written.contains("\\jpegblip"));
    EXPECT_FALSE(written.contains("\\dibitmap"));
    expectStable(d);
}

TEST(RtfPictures, PicturesThatCannotBeDrawnAreWrittenBackUnchanged) {
    const QByteArray wmf = "{\\pict\\wmetafile8\\picw2540\\pich1270\\picwgoal1440\\pichgoal720 "
                           "010009000003{\\*\\blipuid 00ff}220000000000\n0500}";
    const QByteArray emfPair = "{\\*\\shppict{\\pict\\emfblip\\picw2540\\pich2540 0100}}\r\n"
                               "{\\nonshppict{\\pict\\wmetafile8 0100}}";
    const QByteArray object = "{\\object\\objemb{\\*\\objclass Paint.Picture}\\objw600\\objh300"
                              "{\\*\\objdata 0105000002000000}{\\result{\\pict\\pngblip " +
                              kPngHex + "}}}";
    const QByteArray pngPair =
        "{\\*\\shppict{\\pict\\pngblip " + kPngHex + "}}{\\nonshppict{\\pict\\wmetafile8 0100}}";
    const QByteArray rtf =
        "{\\rtf1 " + wmf + " x" + emfPair + "y" + object + pngPair + "{\\b " + wmf + "}\\par}";
    const Document d = readDocument(rtf);
    const std::vector<Picture> pics = picturesOf(d);
    ASSERT_EQ(pics.size(), 5u);
    EXPECT_EQ(pics[0].rtf, wmf);
    EXPECT_EQ(pics[0].width, 1440);
    EXPECT_EQ(pics[0].height, 720);
    EXPECT_EQ(pics[0].format, PictureFormat::None);
    // A \shppict and the \nonshppict after it are one picture; only the first is shown.
    EXPECT_EQ(pics[1].rtf, emfPair);
    EXPECT_EQ(pics[1].width, 1440); // 2540 hundredths of a millimetre
    // An object keeps its whole group and shows its result.
    EXPECT_EQ(pics[2].rtf, object);
    EXPECT_EQ(pics[2].format, PictureFormat::Png);
    EXPECT_EQ(pics[2].width, 600);
    EXPECT_EQ(pics[2].height, 300);
    // A \shppict that can be drawn is a picture of ours.
    EXPECT_EQ(pics[3].format, PictureFormat::Png);
    EXPECT_TRUE(pics[3].rtf.isEmpty());
    EXPECT_TRUE(d.paragraphs[0].runs.back().format.bold);
    EXPECT_EQ(plainText(rtf), " xy");

    const QByteArray written = writeDocument(d);
    for (const QByteArray& group : {wmf, emfPair, object})
        EXPECT_TRUE(written.contains(group)) << group.constData();
    expectStable(d);
}

TEST(RtfPictures, HostilePicturesAreBounded) {
    // Sizes that claim the impossible are held to a page's; data to what the input holds.
    const QByteArray huge = "{\\rtf1 {\\pict\\picwgoal2147483647\\pichgoal-5\\picscalex2147483647"
                            "\\picscaley0\\pngblip " +
                            kPngHex + "}}";
    EXPECT_TRUE(readDocument("{\\rtf1 {\\pict\\pngblip\\bin2000000000 " + kPngHex + "}}")
                    .pictures.empty()); // the data runs to the end: the group never closes
    const Document d = readDocument(huge);
    ASSERT_EQ(d.pictures.size(), 1u);
    EXPECT_EQ(d.pictures[0].width, rtf::kMaxPictureTwips);
    EXPECT_EQ(d.pictures[0].height, 15); // the image's own height
    EXPECT_LE(d.pictures[0].data.size(), huge.size());
    expectStable(d);
    // A DIB whose header claims more pixels than it holds is kept as it stands.
    QByteArray lying = dib();
    lying[4] = char(0xff);
    lying[5] = char(0xff);
    const QByteArray lyingRtf = "{\\rtf1 {\\pict\\dibitmap0 " + lying.toHex() + "}}";
    EXPECT_EQ(readDocument(lyingRtf).pictures.at(0).format, PictureFormat::None);
    EXPECT_TRUE(rtf::dibToPng(lying).isEmpty());
    // A 1-bit DIB naming more colours than its pixels can, and a 32-bit one with the usual
    // colour masks after its header: PNGs of their pixels.
    int w = 0, h = 0;
    const QByteArray mono =
        dibHeader(2, 1, 1, 0, 200) + QByteArray(4 * 200, '\x7f') + QByteArray::fromHex("40000000");
    EXPECT_TRUE(rtf::imagePixelSize(PictureFormat::Png, rtf::dibToPng(mono), w, h) && w == 2 &&
                h == 1);
    const QByteArray masked = dibHeader(3, 2, 32, 3, 0) +
                              QByteArray::fromHex("0000ff0000ff0000ff000000") +
                              QByteArray(24, '\x40');
    EXPECT_TRUE(rtf::imagePixelSize(PictureFormat::Png, rtf::dibToPng(masked), w, h) && w == 3 &&
                h == 2);
    // Tens of thousands of pictures, a \pict open at the end, a \pict that is not the first
    // word of its group: bounded, dropped, no picture.
    QByteArray many = "{\\rtf1 ";
    for (int i = 0; i < 70000; ++i)
        many += "{\\pict}";
    EXPECT_EQ(readDocument(many + "}").pictures.size(), size_t(rtf::kMaxPictures));
    EXPECT_TRUE(readDocument("{\\rtf1 a{\\pict\\pngblip 0011").pictures.empty());
    EXPECT_TRUE(readDocument("{\\rtf1 a{\\b x\\pict 00}}").pictures.empty());
}
