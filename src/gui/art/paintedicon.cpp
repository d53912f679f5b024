#include "art/paintedicon.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>

#include <memory>

namespace qly {

namespace {

struct Pictures {
    QSize size;
    IconDrawing draw;
    QHash<int, QPixmap> drawn; // by ratio and mode
};

class PaintedIconEngine : public QIconEngine {
public:
    explicit PaintedIconEngine(std::shared_ptr<Pictures> pictures)
        : m_pictures(std::move(pictures)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        painter->drawPixmap(rect, pixmap((QSizeF(rect.size()) * dpr).toSize(), mode, state));
    }

    // As an icon of pixmaps: the smallest picture at least as large as asked, else the
    // largest, scaled down to fit when larger.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        QPixmap pm = picture(ratioFor(size), mode);
        if (pm.width() > size.width() || pm.height() > size.height())
            pm = pm.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return pm;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        QSize actual = m_pictures->size * ratioFor(size);
        if (actual.width() > size.width() || actual.height() > size.height())
            actual.scale(size, Qt::KeepAspectRatio);
        return actual;
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {m_pictures->size, m_pictures->size * 2};
    }

    bool isNull() override { return m_pictures->size.isEmpty(); }
    QString key() const override { return QStringLiteral("qly.painted"); }
    QIconEngine* clone() const override { return new PaintedIconEngine(m_pictures); }

private:
    int ratioFor(const QSize& size) const {
        const QSize twice = m_pictures->size * 2;
        return size.width() >= twice.width() && size.height() >= twice.height() ? 2 : 1;
    }

    QPixmap picture(int dpr, QIcon::Mode mode) {
        const int key = dpr * 8 + int(mode);
        if (auto it = m_pictures->drawn.constFind(key); it != m_pictures->drawn.cend())
            return *it;
        QPixmap pm;
        if (const QImage image = m_pictures->draw(dpr, mode); !image.isNull()) {
            pm = QPixmap::fromImage(image);
        } else if (mode != QIcon::Normal) {
            // What Qt does for an icon of pixmaps that lacks the mode.
            QStyleOption option(0);
            option.palette = QGuiApplication::palette();
            pm = QApplication::style()->generatedIconPixmap(mode, picture(dpr, QIcon::Normal),
                                                            &option);
        }
        m_pictures->drawn.insert(key, pm);
        return pm;
    }

    std::shared_ptr<Pictures> m_pictures;
};

} // namespace

QIcon paintedIcon(QSize size, IconDrawing draw) {
    return QIcon(
        new PaintedIconEngine(std::make_shared<Pictures>(Pictures{size, std::move(draw), {}})));
}

} // namespace qly
