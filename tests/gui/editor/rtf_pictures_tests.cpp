// Pictures through the editor: shown at their size, saved as they came; pasted images saved
// as PNG at their size; copies between pages keep what a picture is.
#include "editor/noteeditor.h"
#include "editor/richtextconvert.h"
#include "editor/richtextpictures.h"
#include "rtf/rtf.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextImageFormat>

#include <gtest/gtest.h>

using namespace qly;

namespace {

QByteArray imageBytes(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage filled(int w, int h, QColor color) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// The image formats of a document's pictures, in order.
std::vector<QTextImageFormat> imagesOf(const QTextDocument& doc) {
    std::vector<QTextImageFormat> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                out.push_back(it.fragment().charFormat().toImageFormat());
    return out;
}

QImage shownImage(const QTextDocument& doc, const QTextImageFormat& f) {
    return doc.resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
}

const QByteArray kWmf = "{\\pict\\wmetafile8\\picw2540\\pich1270\\picwgoal1440\\pichgoal720 "
                        "0100090000036e00000000004500000000000500}";

} // namespace

TEST(RichTextPictures, PicturesKeepTheirSizeAndBytesThroughTheEditor) {
    const QByteArray png = imageBytes(filled(40, 20, Qt::red), "PNG");
    const QByteArray jpeg = imageBytes(filled(16, 8, Qt::blue), "JPEG");
    // A 2 x 1 DIB: red, green (BGR bytes), one row padded to 8 bytes.
    const QByteArray dib = QByteArray::fromHex("280000000200000001000000010018000000000008000000"
                                               "00000000000000000000000000000000"
                                               "0000ff00ff000000");
    const QByteArray rtf = "{\\rtf1{\\fonttbl{\\f0 DejaVu Sans;}}\\fs20 a{\\pict\\picwgoal900"
                           "\\pichgoal450\\pngblip " +
                           png.toHex() + "}b{\\pict\\jpegblip " + jpeg.toHex() + "}\\par " + kWmf +
                           "{\\pict\\dibitmap0 " + dib.toHex() + "}\\par}";
    const Document page = rtf::readDocument(rtf);
    ASSERT_EQ(page.pictures.size(), 4u);

    QTextDocument doc;
    setEditorDocument(&doc, page);
    const std::vector<QTextImageFormat> images = imagesOf(doc);
    ASSERT_EQ(images.size(), 4u);
    // 15 twips a pixel: goal size, the JPEG's own, the metafile's goal, the DIB's pixels.
    EXPECT_EQ(images[0].width(), 60);
    EXPECT_EQ(images[0].height(), 30);
    EXPECT_EQ(images[1].width(), 16);
    EXPECT_EQ(images[2].width(), 96);
    EXPECT_EQ(images[2].height(), 48);
    EXPECT_EQ(shownImage(doc, images[0]).pixelColor(0, 0), QColor(Qt::red));
    // The metafile shows as a light frame of its size.
    const QImage frame = shownImage(doc, images[2]);
    ASSERT_EQ(frame.size(), QSize(96, 48));
    EXPECT_GT(frame.pixelColor(48, 5).lightness(), 200);
    EXPECT_LT(frame.pixelColor(0, 0).lightness(), frame.pixelColor(48, 5).lightness());
    // The DIB's pixels, left to right.
    const QImage dibShown = shownImage(doc, images[3]);
    EXPECT_EQ(dibShown.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(dibShown.pixelColor(1, 0), QColor(Qt::green));

    const Document back = editorDocument(&doc);
    EXPECT_EQ(back, page);
    // The metafile goes back as it came; the first save is stable from then on.
    const QByteArray save1 = rtf::writeDocument(back);
    EXPECT_TRUE(save1.contains(kWmf));
    QTextDocument again;
    setEditorDocument(&again, rtf::readDocument(save1));
    EXPECT_EQ(rtf::writeDocument(editorDocument(&again)), save1);
}

TEST(RichTextPictures, PastedImagesAreSavedAsPngAtTheirSize) {
    NoteEditor editor;
    setEditorDocument(editor.document(), rtf::readDocument("{\\rtf1 ab\\par}"));
    QTextCursor c = editor.textCursor();
    c.setPosition(1);
    editor.setTextCursor(c);
    // A screenshot on the clipboard.
    QApplication::clipboard()->setImage(filled(30, 10, Qt::darkGreen));
    editor.paste();
    // HTML with an inline image, as browsers and word processors copy it.
    auto* html = new QMimeData;
    html->setHtml("<p>x<img src=\"data:image/png;base64," +
                  imageBytes(filled(4, 2, Qt::red), "PNG").toBase64() + "\" width=\"8\">y</p>");
    QApplication::clipboard()->setMimeData(html);
    editor.paste();
    // An image file, as a file manager copies or drags it: its JPEG kept as it is.
    QTemporaryDir dir;
    const QString file = dir.filePath("photo.jpg");
    const QByteArray jpeg = imageBytes(filled(6, 4, Qt::yellow), "JPEG");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(jpeg);
    out.close();
    auto* files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(file)});
    files->setText(file);
    QApplication::clipboard()->setMimeData(files);
    EXPECT_TRUE(editor.canPaste());
    editor.moveCursor(QTextCursor::End);
    editor.paste();

    const Document page = editorDocument(editor.document());
    ASSERT_EQ(page.pictures.size(), 3u);
    EXPECT_EQ(page.pictures[2].format, PictureFormat::Jpeg);
    EXPECT_EQ(page.pictures[2].data, jpeg);
    EXPECT_EQ(page.pictures[2].width, 90);
    EXPECT_EQ(page.pictures[0].format, PictureFormat::Png);
    EXPECT_EQ(page.pictures[0].width, 450);
    EXPECT_EQ(page.pictures[0].height, 150);
    EXPECT_EQ(page.pictures[1].width, 120); // the width it was given, the height in proportion
    EXPECT_EQ(page.pictures[1].height, 60);
    EXPECT_EQ(rtf::plainText(rtf::writeDocument(page)), "axyb");

    // Saved and loaded again: the same pictures at the same size.
    QTextDocument reloaded;
    setEditorDocument(&reloaded, rtf::readDocument(rtf::writeDocument(page)));
    const std::vector<QTextImageFormat> images = imagesOf(reloaded);
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].width(), 30);
    EXPECT_EQ(images[0].height(), 10);
    EXPECT_EQ(shownImage(reloaded, images[0]).pixelColor(0, 0), QColor(Qt::darkGreen));
}

TEST(RichTextPictures, CopiesBetweenPagesKeepWhatAPictureIs) {
    NoteEditor pageA;
    setEditorDocument(pageA.document(), rtf::readDocument("{\\rtf1 a" + kWmf + "b\\par}"));
    pageA.selectAll();
    pageA.copy();
    // Other programs get the picture as an image in the HTML.
    const QMimeData* copied = QApplication::clipboard()->mimeData();
    EXPECT_TRUE(copied->html().contains("src=\"data:image/png;base64,"));
    EXPECT_FALSE(copied->text().contains(QChar::ObjectReplacementCharacter));

    NoteEditor pageB;
    setEditorDocument(pageB.document(), rtf::readDocument("{\\rtf1 z\\par}"));
    pageB.moveCursor(QTextCursor::End);
    pageB.paste();
    const Document page = editorDocument(pageB.document());
    ASSERT_EQ(page.pictures.size(), 1u);
    EXPECT_EQ(page.pictures[0].rtf, kWmf);
    EXPECT_TRUE(rtf::writeDocument(page).contains(kWmf));
}

TEST(RichTextPictures, LargePicturesDecodeAtTheirShownSizeWithinThePagesBudget) {
    // 2000 x 2000 pixels shown at 100 x 100, then ten of 1500 x 1500 (9 MB each decoded).
    const QByteArray big = imageBytes(filled(2000, 2000, Qt::darkGreen), "PNG");
    const QByteArray large = imageBytes(filled(1500, 1500, Qt::darkGreen), "PNG").toHex();
    QByteArray rtf = "{\\rtf1 a{\\pict\\picwgoal1500\\pichgoal1500\\pngblip " + big.toHex() + "}";
    for (int i = 0; i < 10; ++i)
        rtf += "{\\pict\\picwgoal22500\\pichgoal22500\\pngblip " + large + "}";
    const Document page = rtf::readDocument(rtf + "}");
    ASSERT_EQ(page.pictures.size(), 11u);

    QTextDocument doc;
    setEditorDocument(&doc, page);
    const std::vector<QTextImageFormat> images = imagesOf(doc);
    ASSERT_EQ(images.size(), 11u);
    const qreal dpr = qApp->devicePixelRatio();
    EXPECT_EQ(shownImage(doc, images[0]).size(), QSize(100, 100) * dpr);
    int decoded = 0;
    for (const QTextImageFormat& f : images) {
        const QImage shown = shownImage(doc, f);
        if (shown.pixelColor(shown.width() / 2, shown.height() / 2) == QColor(Qt::darkGreen))
            ++decoded;
    }
    // Seven fit into 64 MB at the shown size; the rest show as frames.
    EXPECT_EQ(decoded, 1 + int(kPictureBudgetBytes / (1500 * 1500 * 4 * dpr * dpr)));
    // Frames are one shared image, and every picture keeps its bytes.
    EXPECT_EQ(shownImage(doc, images[9]).cacheKey(), shownImage(doc, images[10]).cacheKey());
    const Document back = editorDocument(&doc);
    EXPECT_EQ(back.pictures, page.pictures);
    // Another page in the same document has a budget of its own.
    setEditorDocument(&doc, page);
    const QImage again = shownImage(doc, imagesOf(doc)[1]);
    EXPECT_EQ(again.pixelColor(again.width() / 2, again.height() / 2), QColor(Qt::darkGreen));
}

TEST(RichTextPictures, TheEditorLaysPicturesOutUndecodedAndDrawsThem) {
    // A one-bit palette PNG, which Qt's reader cannot scale while it reads.
    QImage mono(600, 600, QImage::Format_Mono);
    mono.setColorTable({qRgb(255, 0, 0), qRgb(255, 0, 0)});
    mono.fill(0);
    const QByteArray png = imageBytes(mono, "PNG");
    const Document page = rtf::readDocument("{\\rtf1{\\pict\\picwgoal1500\\pichgoal1500\\pngblip " +
                                            png.toHex() + "}\\par b\\par}");
    QTextEdit editor;
    editor.resize(300, 200);
    setEditorDocument(editor.document(), page);
    editor.document()->documentLayout()->documentSize(); // laid out
    const QTextImageFormat f = imagesOf(*editor.document()).front();
    const QImage shot = editor.viewport()->grab().toImage();
    const QRect box = editor.cursorRect(QTextCursor(editor.document())).adjusted(2, 2, 0, 0);
    for (const QPoint p : {QPoint(10, 10), QPoint(50, 50), QPoint(90, 90)})
        EXPECT_EQ(shot.pixelColor(box.topLeft() + p), QColor(Qt::red)) << f.name().toStdString();
}
