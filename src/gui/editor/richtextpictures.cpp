// Pictures of a page in the editor's QTextDocument.
#include "editor/richtextpictures.h"

#include "rtf/rtfpictures.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

#include <atomic>
#include <cmath>

Q_DECLARE_METATYPE(qly::Picture)

namespace qly {
namespace {

constexpr double kTwipsPerPixel = 15.0;         // as the paragraph code lays out: 96 pixels an inch
constexpr int kPlaceholderPixels = 32;          // a frame whose picture says no size
constexpr double kMaxPlaceholderArea = 250'000; // pixels drawn; larger frames are scaled
constexpr qsizetype kSharedPlaceholders = 256;  // frames kept for sharing

// On a QTextImageFormat: its size is the image's, not one the picture gives.
constexpr int kHeaderSizeProperty = kPictureProperty + 1;

const QLatin1String kImageScheme("qly-picture:");
const QLatin1String kDataScheme("qly-picture-data:");

QString tr(const char* text) {
    return QCoreApplication::translate("Pictures", text);
}

// What a picture that cannot be drawn is, from its RTF.
QString placeholderLabel(const Picture& picture) {
    const QByteArray& rtf = picture.rtf;
    if (rtf.contains("\\object"))
        return tr("Object");
    if (rtf.contains("\\emfblip"))
        return tr("EMF picture");
    if (rtf.contains("\\wmetafile") || rtf.contains("\\pmmetafile"))
        return tr("WMF picture");
    if (rtf.contains("\\macpict"))
        return tr("PICT picture");
    return tr("Picture");
}

// A light frame of the picture's size, its label in the middle when it fits. Frames are
// shared: one image per size and label, whatever the number of pictures that show it.
QImage placeholderImage(const QString& label, QSizeF size) {
    if (size.width() < 1 || size.height() < 1)
        size = QSizeF(kPlaceholderPixels, kPlaceholderPixels);
    const double area = size.width() * size.height();
    if (area > kMaxPlaceholderArea)
        size *= std::sqrt(kMaxPlaceholderArea / area);
    const QSize pixels(std::max(1, qRound(size.width())), std::max(1, qRound(size.height())));
    static QHash<QString, QImage> shared;
    const QString key = QStringLiteral("%1x%2:").arg(pixels.width()).arg(pixels.height()) + label;
    if (auto it = shared.constFind(key); it != shared.constEnd())
        return *it;
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0xF4, 0xF4, 0xF4));
    QPainter painter(&image);
    painter.setPen(QColor(0xA8, 0xA8, 0xA8));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    QFont font = QGuiApplication::font();
    font.setPointSizeF(7.5);
    painter.setFont(font);
    const QRect text = painter.fontMetrics().boundingRect(label);
    if (text.width() + 6 <= image.width() && text.height() + 4 <= image.height()) {
        painter.setPen(QColor(0x80, 0x80, 0x80));
        painter.drawText(image.rect(), Qt::AlignCenter, label);
    }
    painter.end();
    if (shared.size() >= kSharedPlaceholders)
        shared.clear();
    shared.insert(key, image);
    return image;
}

// The document property holding the bytes of decoded pictures the page shows.
constexpr char kBudgetProperty[] = "qlyPictureBytes";

// The picture's PNG or JPEG decoded at the size it is shown (device pixels), never larger
// than it is, within what is left of the page's budget; a null image when it cannot be
// drawn or the budget is spent.
QImage decodeShown(QTextDocument* doc, const Picture& picture, QSizeF shown) {
    if (picture.format != PictureFormat::Png && picture.format != PictureFormat::Jpeg)
        return {};
    QByteArray data = picture.data; // shared, not copied
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, picture.format == PictureFormat::Png ? "PNG" : "JPEG");
    reader.setAutoTransform(true);
    const QSize natural = reader.size(); // the header only
    if (natural.isEmpty())
        return {};
    const qreal dpr = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QSize target = natural;
    if (shown.width() >= 1 && shown.height() >= 1) {
        const QSize wanted(std::max(1, qRound(shown.width() * dpr)),
                           std::max(1, qRound(shown.height() * dpr)));
        if (wanted.width() < natural.width() || wanted.height() < natural.height())
            target = natural.scaled(wanted, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    }
    const qint64 bytes = qint64(target.width()) * target.height() * 4;
    const qint64 used = doc->property(kBudgetProperty).toLongLong();
    if (used + bytes > kPictureBudgetBytes)
        return {};
    // Qt's PNG reader scales palette pictures wrongly: those (one byte a pixel or less) are
    // read whole and scaled after.
    const QImage::Format stored = reader.imageFormat();
    const bool palette = stored == QImage::Format_Indexed8 || stored == QImage::Format_Mono ||
                         stored == QImage::Format_MonoLSB;
    if (target != natural && !palette)
        reader.setScaledSize(target);
    QImage image = reader.read();
    if (image.isNull())
        return {};
    // In the form the screen draws at once (a palette image would be converted at each paint,
    // and drawn as a mask on X11), before any scaling, which palettes do not survive.
    image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB32);
    if (image.size() != target)
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    doc->setProperty(kBudgetProperty, used + bytes);
    if (target != natural)
        image.setDevicePixelRatio(dpr);
    return image;
}

int twips(double pixels) {
    return int(std::lround(pixels * kTwipsPerPixel));
}

QByteArray pngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A picture of image file data: PNG and JPEG as they are, other forms as PNG.
std::optional<Picture> pictureFromFileData(const QByteArray& data) {
    Picture picture;
    int w = 0, h = 0;
    for (PictureFormat format : {PictureFormat::Png, PictureFormat::Jpeg})
        if (rtf::imagePixelSize(format, data, w, h)) {
            QImage probe;
            if (!probe.loadFromData(data, format == PictureFormat::Png ? "PNG" : "JPEG"))
                break;
            picture.format = format;
            picture.data = data;
            picture.width = std::min(rtf::kMaxPictureTwips, int(w * kTwipsPerPixel));
            picture.height = std::min(rtf::kMaxPictureTwips, int(h * kTwipsPerPixel));
            return picture;
        }
    QImage image;
    if (!image.loadFromData(data))
        return std::nullopt;
    return pictureFromImage(image);
}

// Pictures are named by a number unique in the program's run, so that a copy's names never
// meet another picture's.
QString nextPictureNumber() {
    static std::atomic<quint64> counter{0};
    return QString::number(++counter);
}

// The resources of a picture in the document, under the number in its name.
QString numberOf(const QString& name) {
    return name.startsWith(kImageScheme) ? name.mid(kImageScheme.size()) : QString();
}

bool drawable(const Picture& picture) {
    return picture.format == PictureFormat::Png || picture.format == PictureFormat::Jpeg;
}

// The size a picture is shown at, in pixels: its own, else its image's from the header (a
// picture larger than a page shown smaller, in proportion); empty when neither is known.
QSizeF shownSize(const Picture& picture) {
    if (picture.width > 0 && picture.height > 0)
        return QSizeF(picture.width / kTwipsPerPixel, picture.height / kTwipsPerPixel);
    if (!drawable(picture))
        return {};
    QByteArray data = picture.data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, picture.format == PictureFormat::Png ? "PNG" : "JPEG");
    reader.setAutoTransform(true);
    const QSize natural = reader.size();
    if (natural.isEmpty())
        return {};
    const double w = natural.width();
    const double h = natural.height();
    const double fit = std::min(1.0, rtf::kMaxPictureTwips / kTwipsPerPixel / std::max(w, h));
    return QSizeF(w * fit, h * fit);
}

// What the editor shows for a picture: its image at the size shown, or a frame.
QImage shownImage(QTextDocument* doc, const Picture& picture) {
    const QSizeF size = shownSize(picture);
    QImage image = decodeShown(doc, picture, size);
    if (!image.isNull())
        return image;
    // A picture that could be drawn but is past the budget says how large it is.
    const QString label =
        drawable(picture)
            ? tr("Picture %1 x %2").arg(qRound(size.width())).arg(qRound(size.height()))
            : placeholderLabel(picture);
    return placeholderImage(label, size);
}

// Sizes pictures from their format, so that laying a page out decodes none of them; drawing
// and images without a size of their own are left to Qt's handler.
class PictureHandler : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    PictureHandler(QObject* layout, QTextObjectInterface* qtHandler)
        : QObject(layout), m_qt(qtHandler) {}

    QSizeF intrinsicSize(QTextDocument* doc, int position, const QTextFormat& format) override {
        const QTextImageFormat f = format.toImageFormat();
        if (f.hasProperty(QTextFormat::ImageWidth) && f.hasProperty(QTextFormat::ImageHeight) &&
            f.width() > 0 && f.height() > 0)
            return QSizeF(f.width(), f.height());
        return m_qt->intrinsicSize(doc, position, format);
    }
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* doc, int position,
                    const QTextFormat& format) override {
        m_qt->drawObject(painter, rect, doc, position, format);
    }

private:
    QTextObjectInterface* m_qt;
};

// A document that is laid out (an editor's) gets the handler once.
void sizePicturesFromFormats(QTextDocument* doc) {
    auto* layout =
        doc->findChild<QAbstractTextDocumentLayout*>(QString(), Qt::FindDirectChildrenOnly);
    if (!layout || layout->findChild<PictureHandler*>())
        return;
    QTextObjectInterface* qt = layout->handlerForObject(QTextFormat::ImageObject);
    if (qt)
        layout->registerHandler(QTextFormat::ImageObject, new PictureHandler(layout, qt));
}

} // namespace

void resetPictureBudget(QTextDocument* doc) {
    doc->setProperty(kBudgetProperty, QVariant());
}

QTextImageFormat pictureImageFormat(QTextDocument* doc, const Picture& picture,
                                    const QTextCharFormat& charFormat) {
    const QString number = nextPictureNumber();
    const QSizeF size = shownSize(picture);
    sizePicturesFromFormats(doc);
    if (!doc->resourceProvider()) {
        // Pictures are decoded when the editor first draws them (or asks their size), so a
        // page opens without decoding what it does not show.
        doc->setResourceProvider([doc](const QUrl& url) -> QVariant {
            const QString id = numberOf(url.toString());
            if (id.isEmpty())
                return {};
            const QVariant v = doc->resource(QTextDocument::UserResource, QUrl(kDataScheme + id));
            if (!v.canConvert<Picture>())
                return {};
            return shownImage(doc, v.value<Picture>());
        });
    }
    if (!drawable(picture))
        doc->addResource(QTextDocument::ImageResource, QUrl(kImageScheme + number),
                         shownImage(doc, picture));
    doc->addResource(QTextDocument::UserResource, QUrl(kDataScheme + number),
                     QVariant::fromValue(picture));
    QTextImageFormat f;
    f.merge(charFormat);
    f.setName(kImageScheme + number);
    // Without a size of its own, the picture shows at its image's, read from the header so
    // that the layout need not decode it; that size is not the picture's to write back.
    if (size.width() > 0 && size.height() > 0) {
        f.setWidth(size.width());
        f.setHeight(size.height());
        if (picture.width <= 0 || picture.height <= 0)
            f.setProperty(kHeaderSizeProperty, true);
    }
    f.setProperty(kPictureProperty, QVariant::fromValue(picture));
    return f;
}

std::optional<Picture> pictureOfImage(const QTextDocument* doc, const QTextImageFormat& format) {
    std::optional<Picture> picture;
    const QString name = format.name();
    if (format.hasProperty(kPictureProperty)) {
        picture = format.property(kPictureProperty).value<Picture>();
    } else if (const QString number = numberOf(name); !number.isEmpty()) {
        const QVariant v = doc->resource(QTextDocument::UserResource, QUrl(kDataScheme + number));
        if (v.canConvert<Picture>())
            picture = v.value<Picture>();
    }
    if (!picture && name.startsWith(QLatin1String("data:"), Qt::CaseInsensitive)) {
        // The file's own bytes when the URL holds PNG or JPEG.
        const qsizetype comma = name.indexOf(QLatin1Char(','));
        if (comma > 0 && name.left(comma).endsWith(QLatin1String(";base64")))
            picture = pictureFromFileData(QByteArray::fromBase64(name.mid(comma + 1).toLatin1()));
    }
    QSizeF natural;
    if (!picture) {
        const QVariant v = doc->resource(QTextDocument::ImageResource, QUrl(name));
        QImage image;
        if (v.userType() == QMetaType::QImage)
            image = v.value<QImage>();
        else if (v.userType() == QMetaType::QPixmap)
            image = v.value<QPixmap>().toImage();
        else if (v.userType() == QMetaType::QByteArray)
            image.loadFromData(v.toByteArray());
        if (image.isNull())
            return std::nullopt;
        picture = pictureFromImage(image);
    }
    natural = QSizeF(picture->width, picture->height);
    // The size the editor shows it at; a side not given follows the other.
    const bool own = !format.property(kHeaderSizeProperty).toBool();
    const bool hasW = own && format.hasProperty(QTextFormat::ImageWidth) && format.width() > 0;
    const bool hasH = own && format.hasProperty(QTextFormat::ImageHeight) && format.height() > 0;
    if (hasW)
        picture->width = twips(format.width());
    if (hasH)
        picture->height = twips(format.height());
    if (hasW != hasH && natural.width() > 0 && natural.height() > 0) {
        if (hasW)
            picture->height = int(std::lround(picture->width * natural.height() / natural.width()));
        else
            picture->width = int(std::lround(picture->height * natural.width() / natural.height()));
    }
    picture->width = std::clamp(picture->width, 0, rtf::kMaxPictureTwips);
    picture->height = std::clamp(picture->height, 0, rtf::kMaxPictureTwips);
    return picture;
}

Picture pictureFromImage(const QImage& image) {
    Picture picture;
    picture.format = PictureFormat::Png;
    picture.data = pngBytes(image);
    // A picture wider or taller than a page is shown smaller, its sides in proportion.
    double w = image.width() * kTwipsPerPixel;
    double h = image.height() * kTwipsPerPixel;
    const double fit = std::min(1.0, rtf::kMaxPictureTwips / std::max({w, h, 1.0}));
    picture.width = std::max(1, int(std::lround(w * fit)));
    picture.height = std::max(1, int(std::lround(h * fit)));
    return picture;
}

bool holdsPictures(const QMimeData* source) {
    if (source->hasImage())
        return true;
    if (!source->hasUrls())
        return false;
    const QList<QUrl> urls = source->urls();
    return std::all_of(urls.begin(), urls.end(), [](const QUrl& url) {
        return url.isLocalFile() && !QImageReader::imageFormat(url.toLocalFile()).isEmpty();
    });
}

std::vector<Picture> picturesFromMimeData(const QMimeData* source) {
    std::vector<Picture> out;
    for (const char* mime : {"image/png", "image/jpeg"})
        if (source->hasFormat(QLatin1String(mime)))
            if (auto p = pictureFromFileData(source->data(QLatin1String(mime)))) {
                out.push_back(std::move(*p));
                return out;
            }
    if (source->hasImage()) {
        const QImage image = qvariant_cast<QImage>(source->imageData());
        if (!image.isNull())
            out.push_back(pictureFromImage(image));
        return out;
    }
    if (!source->hasUrls())
        return out;
    // Image files: each a picture; anything else is pasted as Qt pastes it.
    for (const QUrl& url : source->urls()) {
        const QString path = url.toLocalFile();
        if (path.isEmpty() || QImageReader::imageFormat(path).isEmpty())
            return {};
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        auto p = pictureFromFileData(file.readAll());
        if (!p)
            return {};
        out.push_back(std::move(*p));
    }
    return out;
}

namespace {
const QRegularExpression& pictureSource() {
    static const QRegularExpression source(QStringLiteral("src=\"qly-picture:(\\d+)\""));
    return source;
}
} // namespace

QByteArray picturesOfHtml(const QTextDocument* doc, const QString& html) {
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    auto it = pictureSource().globalMatch(html);
    while (it.hasNext()) {
        const QString number = it.next().captured(1);
        const QVariant v = doc->resource(QTextDocument::UserResource, QUrl(kDataScheme + number));
        const QVariant image =
            doc->resource(QTextDocument::ImageResource, QUrl(kImageScheme + number));
        if (!v.canConvert<Picture>() || image.userType() != QMetaType::QImage)
            continue;
        const Picture p = v.value<Picture>();
        stream << number << qint32(p.format) << p.data << qint32(p.width) << qint32(p.height)
               << p.rtf << image.value<QImage>();
    }
    return out;
}

QString addCopiedPictures(QTextDocument* doc, const QByteArray& pictures, const QString& html) {
    QHash<QString, QString> names; // copied number: number here
    QDataStream stream(pictures);
    while (!stream.atEnd()) {
        QString number;
        qint32 format = 0, width = 0, height = 0;
        Picture p;
        QImage image;
        stream >> number >> format >> p.data >> width >> height >> p.rtf >> image;
        if (stream.status() != QDataStream::Ok)
            break;
        p.format = PictureFormat(
            std::clamp(int(format), int(PictureFormat::None), int(PictureFormat::Jpeg)));
        p.width = std::clamp(int(width), 0, rtf::kMaxPictureTwips);
        p.height = std::clamp(int(height), 0, rtf::kMaxPictureTwips);
        const QString here = nextPictureNumber();
        doc->addResource(QTextDocument::ImageResource, QUrl(kImageScheme + here), image);
        doc->addResource(QTextDocument::UserResource, QUrl(kDataScheme + here),
                         QVariant::fromValue(p));
        names.insert(number, here);
    }
    QString out;
    qsizetype last = 0;
    auto it = pictureSource().globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(html).mid(last, m.capturedStart(1) - last);
        out += names.value(m.captured(1), QStringLiteral("0")); // 0: no picture
        last = m.capturedEnd(1);
    }
    out += QStringView(html).mid(last);
    return out;
}

bool selectionHasPictures(const QTextCursor& cursor) {
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    const QTextDocument* doc = cursor.document();
    for (QTextBlock b = doc->findBlock(start); b.isValid() && b.position() < end; b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.position() < end && f.position() + f.length() > start &&
                f.charFormat().isImageFormat())
                return true;
        }
    return false;
}

QString htmlWithPictureData(const QTextDocument* doc, const QString& html) {
    QString out;
    qsizetype last = 0;
    auto it = pictureSource().globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(html).mid(last, m.capturedStart() - last);
        last = m.capturedEnd();
        const QVariant v =
            doc->resource(QTextDocument::UserResource, QUrl(kDataScheme + m.captured(1)));
        const Picture picture = v.value<Picture>();
        QByteArray data = picture.data;
        QByteArray mime = picture.format == PictureFormat::Jpeg ? "image/jpeg" : "image/png";
        if (picture.format == PictureFormat::None) {
            const QVariant image =
                doc->resource(QTextDocument::ImageResource, QUrl(kImageScheme + m.captured(1)));
            data = pngBytes(image.value<QImage>());
            mime = "image/png";
        }
        out += QLatin1String("src=\"data:") + QLatin1String(mime) + QLatin1String(";base64,") +
               QLatin1String(data.toBase64()) + QLatin1Char('"');
    }
    out += QStringView(html).mid(last);
    return out;
}

} // namespace qly

#include "richtextpictures.moc"
