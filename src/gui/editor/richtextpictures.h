#pragma once

#include "model/document.h"

#include <optional>

class QImage;
class QMimeData;
class QTextCharFormat;
class QTextCursor;
class QTextDocument;
class QTextImageFormat;

namespace qly {

// On a QTextImageFormat: the page's picture it shows (a Picture), so that a picture keeps its
// data, its form and, for one that cannot be drawn, its RTF through the editor.
inline constexpr int kPictureProperty = 0x100000 /* QTextFormat::UserProperty */ + 0x3A0;

// What a page's pictures may take decoded, in all: past it they show as frames.
inline constexpr qint64 kPictureBudgetBytes = 64LL << 20;

// The image format that shows a picture in the document, in the given character format, at
// the picture's size (15 twips a pixel). Its image goes into the document's resources: the
// picture's PNG or JPEG decoded at the size shown (at the screen's pixel ratio, never larger
// than the picture) while the document's budget lasts, else a light frame of its size with a
// small label, one frame shared by all pictures of that size. The picture's bytes stay in the
// format, to be written back as they were read.
QTextImageFormat pictureImageFormat(QTextDocument* doc, const Picture& picture,
                                    const QTextCharFormat& charFormat);
// A document emptied for another page starts a new budget.
void resetPictureBudget(QTextDocument* doc);

// The picture an image in the document shows: ours as loaded; a copy pasted from this page,
// found by its name; any other image (pasted HTML, a data: URL) as PNG or JPEG at its size.
// Nothing when the image cannot be found.
std::optional<Picture> pictureOfImage(const QTextDocument* doc, const QTextImageFormat& format);

// An image as a picture: PNG at its size in pixels, 15 twips each.
Picture pictureFromImage(const QImage& image);

// Whether what is pasted or dropped holds image data or only local image files.
bool holdsPictures(const QMimeData* source);

// Pictures from what is pasted or dropped: image data, or local image files. Empty when the
// data holds none (text and HTML are then pasted as such).
std::vector<Picture> picturesFromMimeData(const QMimeData* source);

// Whether the cursor's selection holds a picture (without making its HTML).
bool selectionHasPictures(const QTextCursor& cursor);

// The HTML of copied text with the pictures of this document as data: URLs, so that they
// paste into other pages and other programs.
QString htmlWithPictureData(const QTextDocument* doc, const QString& html);

// Copies between pages: the pictures a copy's HTML names travel with it under this type and
// are put into the document it is pasted into, so that they keep their form and RTF.
inline constexpr char kPicturesMimeType[] = "application/x-quillery-pictures";
QByteArray picturesOfHtml(const QTextDocument* doc, const QString& html);
// Adds the copied pictures to the document under names of their own there; returns the HTML
// with those names.
QString addCopiedPictures(QTextDocument* doc, const QByteArray& pictures, const QString& html);

} // namespace qly
