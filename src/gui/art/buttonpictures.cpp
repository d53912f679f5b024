#include "art/buttonpictures.h"

#include "art/paintedicon.h"

#include <QPainter>
#include <QPixmap>

#include <array>

namespace qly {

namespace {

// The flat buttons' pictures, one character a logical pixel ('#' is black).
constexpr std::array<const char*, 7> CloseRows = {
    "##....##", ".##..##.", "..####..", "...##...", "..####..", ".##..##.", "##....##",
};
constexpr std::array<const char*, 7> MinimizeRows = {
    "........", "........", "........", "........", "........", "######..", "######..",
};
constexpr std::array<const char*, 7> PreviousRows = {
    "...#", "..##", ".###", "####", ".###", "..##", "...#",
};
constexpr std::array<const char*, 7> NextRows = {
    "#...", "##..", "###.", "####", "###.", "##..", "#...",
};

const std::array<const char*, 7>* rowsOf(ButtonPicture picture) {
    switch (picture) {
    case ButtonPicture::Close:
        return &CloseRows;
    case ButtonPicture::Minimize:
        return &MinimizeRows;
    case ButtonPicture::Previous:
        return &PreviousRows;
    case ButtonPicture::Next:
        return &NextRows;
    case ButtonPicture::PageStack:
        break;
    }
    return nullptr;
}

void drawRows(QPainter& p, const std::array<const char*, 7>& rows, const QColor& color,
              QPoint offset) {
    for (int y = 0; y < int(rows.size()); ++y)
        for (int x = 0; rows[y][x] != '\0'; ++x)
            if (rows[y][x] == '#')
                p.fillRect(QRect(offset + QPoint(x, y), QSize(1, 1)), color);
}

// Three pages fanned out, the front one a note with lines of writing.
void drawPageStack(QPainter& p, bool disabled) {
    const QColor outline = disabled ? QColor(128, 128, 128) : Qt::black;
    const QColor backs[] = {QColor(128, 192, 255), QColor(255, 192, 128), QColor(192, 255, 192)};
    for (int i = 0; i < 3; ++i) {
        const QRect page(6 - 3 * i, 1 + 2 * i, 9, 11);
        p.fillRect(page, disabled ? QColor(212, 212, 212) : backs[i]);
        p.setPen(outline);
        p.drawRect(page.adjusted(0, 0, -1, -1));
    }
    const QRect note(0, 6, 9, 10);
    p.fillRect(note, disabled ? QColor(232, 232, 232) : QColor(255, 255, 160));
    p.drawRect(note.adjusted(0, 0, -1, -1));
    const QColor writing = disabled ? QColor(160, 160, 160) : QColor(0, 0, 160);
    for (int y : {8, 10, 12})
        p.fillRect(QRect(2, y, 5, 1), writing);
}

} // namespace

QSize buttonPictureSize(ButtonPicture picture) {
    // One pixel more each way leaves room for the disabled picture's white copy.
    if (const auto* rows = rowsOf(picture))
        return QSize(int(qstrlen((*rows)[0])) + 1, int(rows->size()) + 1);
    return QSize(16, 16);
}

QImage renderButtonPicture(ButtonPicture picture, int dpr, bool disabled) {
    const QSize size = buttonPictureSize(picture);
    QImage image(size * dpr, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.scale(dpr, dpr);
    if (const auto* rows = rowsOf(picture)) {
        if (disabled) {
            // Embossed: a white copy one pixel down and right under a grey one.
            drawRows(p, *rows, Qt::white, QPoint(1, 1));
            drawRows(p, *rows, QColor(128, 128, 128), QPoint(0, 0));
        } else {
            drawRows(p, *rows, Qt::black, QPoint(0, 0));
        }
    } else {
        drawPageStack(p, disabled);
    }
    p.end();
    image.setDevicePixelRatio(dpr);
    return image;
}

QIcon buttonIcon(ButtonPicture picture) {
    return paintedIcon(buttonPictureSize(picture), [picture](int dpr, QIcon::Mode mode) {
        if (mode != QIcon::Normal && mode != QIcon::Disabled)
            return QImage();
        return renderButtonPicture(picture, dpr, mode == QIcon::Disabled);
    });
}

} // namespace qly
