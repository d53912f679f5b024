#include "editor/fontdialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace qly {

namespace {

// The families a page may name: as other programs know them, so without fontconfig's
// foundry tags ("Nimbus Sans [urw]" is "Nimbus Sans") and without its generic aliases,
// which name a different font on every machine.
QStringList offeredFamilies() {
    static const QStringList aliases{
        QStringLiteral("Sans Serif"), QStringLiteral("Sans"),    QStringLiteral("Serif"),
        QStringLiteral("Monospace"),  QStringLiteral("Mono"),    QStringLiteral("System-ui"),
        QStringLiteral("Cursive"),    QStringLiteral("Fantasy"), QStringLiteral("Emoji")};
    QStringList families;
    for (QString f : QFontDatabase::families()) {
        if (QFontDatabase::isPrivateFamily(f))
            continue;
        if (const qsizetype tag = f.indexOf(QLatin1String(" ["));
            tag > 0 && f.endsWith(QLatin1Char(']')))
            f.truncate(tag);
        if (!aliases.contains(f, Qt::CaseInsensitive))
            families << f;
    }
    families.removeDuplicates();
    return families;
}

constexpr int Italic = 1;
constexpr int Bold = 2;
constexpr int StyleCount = 4;

// How a colour entry of the colour box acts.
enum ColorKind { PlainColor, CustomColor, ChooseCustom };
constexpr int KindRole = Qt::UserRole + 1;

const char* const StyleNames[StyleCount] = {
    QT_TRANSLATE_NOOP("qly::FontDialog", "Regular"),
    QT_TRANSLATE_NOOP("qly::FontDialog", "Italic"),
    QT_TRANSLATE_NOOP("qly::FontDialog", "Bold"),
    QT_TRANSLATE_NOOP("qly::FontDialog", "Bold Italic"),
};

struct NamedColor {
    const char* name;
    QRgb rgb;
};
// The sixteen colours that font dialogs have always offered.
const NamedColor BasicColors[] = {
    {QT_TRANSLATE_NOOP("qly::FontDialog", "Black"), 0x000000},
    {QT_TRANSLATE_NOOP("qly::FontDialog", "Maroon"), 0x800000},
    {QT_TRANSLATE_NOOP("qly::FontDialog", "Green"), 0x008000},
    {QT_TRANSLATE_NOOP("qly::FontDialog", "Olive"), 0x808000},
    {QT_TRANSLATE_NOOP("qly::FontDialog", "Navy"), 0x000080},
    {QT_TRANSLATE_NOOP("qly::FontDialog", "Purple"), 0x800080},
    {QT_TRANSLATE_NOOP("qly::FontDialog", "Teal"), 0x008080},
    {QT_TRANSLATE_NOOP("qly::FontDialog", "Gray"), 0x808080},
    {QT_TRANSLATE_NOOP("qly::FontDialog", "Silver"), 0xC0C0C0},
    {QT_TRANSLATE_NOOP("qly::FontDialog", "Red"), 0xFF0000},
    {QT_TRANSLATE_NOOP("qly::FontDialog", "Lime"), 0x00FF00},
    {QT_TRANSLATE_NOOP("qly::FontDialog", "Yellow"), 0xFFFF00},
    {QT_TRANSLATE_NOOP("qly::FontDialog", "Blue"), 0x0000FF},
    {QT_TRANSLATE_NOOP("qly::FontDialog", "Fuchsia"), 0xFF00FF},
    {QT_TRANSLATE_NOOP("qly::FontDialog", "Aqua"), 0x00FFFF},
    {QT_TRANSLATE_NOOP("qly::FontDialog", "White"), 0xFFFFFF},
};

const int CommonSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};

// A framed swatch for the colour box, sharp at single and double pixel density.
QIcon swatch(const QColor& color) {
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(QSize(24, 14) * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.fillRect(QRect(1, 1, 22, 12), Qt::black);
        p.fillRect(QRect(2, 2, 20, 10), color);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QString sizeText(double size) {
    return QLocale().toString(size, 'g', 6);
}

// Selects the first item that text names or begins, without reporting it; none when none does.
QListWidgetItem* selectMatch(QListWidget* list, const QString& text) {
    QListWidgetItem* match = nullptr;
    if (!text.isEmpty()) {
        QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchFixedString);
        if (found.isEmpty())
            found = list->findItems(text, Qt::MatchStartsWith);
        if (!found.isEmpty())
            match = found.first();
    }
    const QSignalBlocker quiet(list);
    if (match) {
        list->setCurrentItem(match);
        list->scrollToItem(match, QAbstractItemView::PositionAtTop);
    } else {
        list->clearSelection();
        list->setCurrentItem(nullptr);
    }
    return match;
}

QLabel* makeLabel(const QString& caption, QWidget* buddy, const char* name) {
    auto* label = new QLabel(caption);
    label->setObjectName(QLatin1String(name));
    label->setBuddy(buddy);
    return label;
}

} // namespace

FontDialog::FontDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("FontDialog1"));
    setWindowTitle(tr("Font"));
    const int em = fontMetrics().horizontalAdvance(QLatin1Char('M'));

    // Created in tab order.
    m_edFamily = new QLineEdit;
    m_edFamily->setObjectName(QStringLiteral("edFamily"));
    m_lstFamily = new QListWidget;
    m_lstFamily->setObjectName(QStringLiteral("lstFamily"));
    m_edStyle = new QLineEdit;
    m_edStyle->setObjectName(QStringLiteral("edStyle"));
    m_lstStyle = new QListWidget;
    m_lstStyle->setObjectName(QStringLiteral("lstStyle"));
    m_edSize = new QLineEdit;
    m_edSize->setObjectName(QStringLiteral("edSize"));
    m_edSize->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\d{0,4}([.,]\\d{0,2})?")), m_edSize));
    m_lstSize = new QListWidget;
    m_lstSize->setObjectName(QStringLiteral("lstSize"));
    m_cbStrikeout = new QCheckBox(tr("Stri&keout"));
    m_cbStrikeout->setObjectName(QStringLiteral("cbStrikeout"));
    m_cbUnderline = new QCheckBox(tr("&Underline"));
    m_cbUnderline->setObjectName(QStringLiteral("cbUnderline"));
    m_cbColor = new QComboBox;
    m_cbColor->setObjectName(QStringLiteral("cbColor"));
    m_btOK = new QPushButton(tr("OK"));
    m_btOK->setObjectName(QStringLiteral("btOK"));
    m_btOK->setDefault(true);
    m_btCancel = new QPushButton(tr("Cancel"));
    m_btCancel->setObjectName(QStringLiteral("btCancel"));

    m_lstFamily->addItems(offeredFamilies());
    for (int size : CommonSizes)
        m_lstSize->addItem(sizeText(size));
    // Seven rows of each list show; the columns keep their widths whatever the names.
    const int rows = 7 * m_lstSize->sizeHintForRow(0) + 2 * m_lstSize->frameWidth();
    // Each caption is the buddy of its field: the list below it is named on its own.
    m_lstFamily->setAccessibleName(tr("Fonts"));
    m_lstStyle->setAccessibleName(tr("Font styles"));
    m_lstSize->setAccessibleName(tr("Sizes"));
    for (QListWidget* list : {m_lstFamily, m_lstStyle, m_lstSize}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setUniformItemSizes(true);
        list->setFixedHeight(rows);
    }
    const int widths[] = {20 * em, 11 * em, 5 * em};
    QWidget* const columns[][2] = {
        {m_edFamily, m_lstFamily}, {m_edStyle, m_lstStyle}, {m_edSize, m_lstSize}};
    for (int i = 0; i < 3; ++i)
        for (QWidget* widget : columns[i]) {
            widget->setMinimumWidth(widths[i]);
            widget->setSizePolicy(QSizePolicy::Ignored, widget->sizePolicy().verticalPolicy());
        }
    for (QLineEdit* edit : {m_edFamily, m_edStyle, m_edSize})
        edit->installEventFilter(this);

    m_cbColor->addItem(swatch(palette().color(QPalette::Text)), tr("Automatic"), QColor());
    for (const NamedColor& c : BasicColors)
        m_cbColor->addItem(swatch(QColor(c.rgb)), tr(c.name), QColor(c.rgb));
    m_cbColor->addItem(tr("Custom..."));
    m_cbColor->setItemData(m_cbColor->count() - 1, ChooseCustom, KindRole);

    m_lbSample = new QLabel(QStringLiteral("AaBbYyZz"));
    m_lbSample->setObjectName(QStringLiteral("lbSample"));
    m_lbSample->setAlignment(Qt::AlignCenter);
    // Large sizes are clipped, as on paper; the dialog keeps its size.
    m_lbSample->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_lbSample->setMinimumSize(16 * em, 4 * fontMetrics().height());

    auto* lists = new QGridLayout;
    lists->addWidget(makeLabel(tr("&Font:"), m_edFamily, "lbFamily"), 0, 0);
    lists->addWidget(makeLabel(tr("Font st&yle:"), m_edStyle, "lbStyle"), 0, 1);
    lists->addWidget(makeLabel(tr("&Size:"), m_edSize, "lbSize"), 0, 2);
    lists->addWidget(m_edFamily, 1, 0);
    lists->addWidget(m_edStyle, 1, 1);
    lists->addWidget(m_edSize, 1, 2);
    lists->addWidget(m_lstFamily, 2, 0);
    lists->addWidget(m_lstStyle, 2, 1);
    lists->addWidget(m_lstSize, 2, 2);
    lists->setVerticalSpacing(2);
    lists->setRowMinimumHeight(3, 4);
    lists->setColumnStretch(0, 3);
    lists->setColumnStretch(1, 2);
    lists->setColumnStretch(2, 1);

    auto* effects = new QGroupBox(tr("Effects"));
    effects->setObjectName(QStringLiteral("gbEffects"));
    auto* effectsLayout = new QGridLayout(effects);
    effectsLayout->addWidget(m_cbStrikeout, 0, 0, 1, 2);
    effectsLayout->addWidget(m_cbUnderline, 1, 0, 1, 2);
    effectsLayout->addWidget(makeLabel(tr("&Color:"), m_cbColor, "lbColor"), 2, 0);
    effectsLayout->addWidget(m_cbColor, 2, 1);
    effectsLayout->setRowStretch(3, 1);

    auto* sample = new QGroupBox(tr("Sample"));
    sample->setObjectName(QStringLiteral("gbSample"));
    auto* sampleLayout = new QVBoxLayout(sample);
    sampleLayout->addWidget(m_lbSample);

    auto* lower = new QHBoxLayout;
    lower->addWidget(effects);
    lower->addWidget(sample, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_btOK);
    buttons->addWidget(m_btCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists);
    layout->addLayout(lower);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* const tabOrder[] = {m_edFamily, m_lstFamily, m_edStyle,     m_lstStyle,
                                 m_edSize,   m_lstSize,   m_cbStrikeout, m_cbUnderline,
                                 m_cbColor,  m_btOK,      m_btCancel};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(m_edFamily, &QLineEdit::textEdited, this, &FontDialog::familyEdited);
    connect(m_lstFamily, &QListWidget::currentItemChanged, this, &FontDialog::familyPicked);
    connect(m_edStyle, &QLineEdit::textEdited, this, &FontDialog::styleEdited);
    connect(m_lstStyle, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item)
            m_edStyle->setText(item->text());
        updateSample();
    });
    connect(m_edSize, &QLineEdit::textEdited, this, &FontDialog::sizeEdited);
    connect(m_lstSize, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item)
            m_edSize->setText(item->text());
        updateSample();
    });
    connect(m_cbStrikeout, &QCheckBox::toggled, this, &FontDialog::updateSample);
    connect(m_cbUnderline, &QCheckBox::toggled, this, &FontDialog::updateSample);
    connect(m_cbColor, &QComboBox::activated, this, &FontDialog::colorPicked);
    connect(m_btOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_btCancel, &QPushButton::clicked, this, &QDialog::reject);

    setCurrentFont(font());
}

bool FontDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        QListWidget* list = watched == m_edFamily  ? m_lstFamily
                            : watched == m_edStyle ? m_lstStyle
                            : watched == m_edSize  ? m_lstSize
                                                   : nullptr;
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            if (list && !(key->modifiers() & ~Qt::KeypadModifier)) {
                QCoreApplication::sendEvent(list, event);
                auto* edit = static_cast<QLineEdit*>(watched);
                edit->selectAll();
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FontDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_edFamily->setFocus();
    m_edFamily->selectAll();
}

void FontDialog::setCurrentFont(const QFont& font) {
    m_loadedFamily = font.family();
    m_loadedStyle = (font.bold() ? Bold : 0) | (font.italic() ? Italic : 0);
    if (font.pointSizeF() > 0)
        m_loadedSize = font.pointSizeF();
    else if (font.pixelSize() > 0)
        m_loadedSize = font.pixelSize() * 72.0 / logicalDpiY();
    m_loadedSize = std::clamp(std::round(m_loadedSize * 2) / 2, 0.5, MaxPointSize);

    m_edFamily->setText(m_loadedFamily);
    QListWidgetItem* match = selectMatch(m_lstFamily, m_loadedFamily);
    if (match && match->text().compare(m_loadedFamily, Qt::CaseInsensitive) != 0)
        m_lstFamily->clearSelection(); // not installed: the field keeps the name
    fillStyles(m_loadedStyle);
    m_edSize->setText(sizeText(m_loadedSize));
    selectMatch(m_lstSize, m_edSize->text());
    {
        const QSignalBlocker a(m_cbStrikeout), b(m_cbUnderline);
        m_cbStrikeout->setChecked(font.strikeOut());
        m_cbUnderline->setChecked(font.underline());
    }
    updateSample();
}

QFont FontDialog::currentFont() const {
    QFont font;
    font.setFamilies(QStringList{family()});
    font.setPointSizeF(pointSize());
    const int style = styleIndex();
    font.setBold(style & Bold);
    font.setItalic(style & Italic);
    font.setUnderline(m_cbUnderline->isChecked());
    font.setStrikeOut(m_cbStrikeout->isChecked());
    return font;
}

void FontDialog::setCurrentColor(const QColor& color) {
    int index = -1;
    for (int i = 0; i < m_cbColor->count() && index < 0; ++i) {
        const QVariant entry = m_cbColor->itemData(i);
        if (m_cbColor->itemData(i, KindRole).toInt() == PlainColor && entry.isValid() &&
            entry.value<QColor>().isValid() == color.isValid() &&
            (!color.isValid() || entry.value<QColor>().rgb() == color.rgb()))
            index = i;
    }
    if (index >= 0)
        m_cbColor->setCurrentIndex(index);
    else
        setCustomColor(color);
    m_colorIndex = m_cbColor->currentIndex();
    updateSample();
}

QColor FontDialog::currentColor() const {
    return m_cbColor->currentData().value<QColor>();
}

// The family the field names: the list's spelling of it, the loaded family when the field
// holds it (also when it is not installed), else the family the field's text begins.
QString FontDialog::family() const {
    const QString typed = m_edFamily->text().trimmed();
    if (typed.isEmpty())
        return m_loadedFamily;
    QListWidgetItem* item = m_lstFamily->currentItem();
    if (item && item->isSelected() && item->text().compare(typed, Qt::CaseInsensitive) == 0)
        return item->text();
    if (typed.compare(m_loadedFamily, Qt::CaseInsensitive) == 0)
        return m_loadedFamily;
    if (item && item->isSelected() && item->text().startsWith(typed, Qt::CaseInsensitive))
        return item->text();
    return typed;
}

// The size the field holds, to half points; the loaded size when it holds none.
double FontDialog::pointSize() const {
    QString text = m_edSize->text().trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double size = QLocale::c().toDouble(text, &ok);
    if (!ok || !(size > 0) || !std::isfinite(size))
        return m_loadedSize;
    return std::clamp(std::round(size * 2) / 2, 0.5, MaxPointSize);
}

int FontDialog::styleIndex() const {
    QListWidgetItem* item = m_lstStyle->currentItem();
    return item && item->isSelected() ? item->data(Qt::UserRole).toInt() : m_loadedStyle;
}

void FontDialog::familyEdited(const QString& text) {
    selectMatch(m_lstFamily, text.trimmed());
    fillStyles(styleIndex());
    updateSample();
}

void FontDialog::familyPicked() {
    if (QListWidgetItem* item = m_lstFamily->currentItem())
        m_edFamily->setText(item->text());
    fillStyles(styleIndex());
    updateSample();
}

void FontDialog::styleEdited(const QString& text) {
    selectMatch(m_lstStyle, text.trimmed());
    updateSample();
}

void FontDialog::sizeEdited(const QString& text) {
    QListWidgetItem* match = selectMatch(m_lstSize, text.trimmed());
    if (match && match->text() != text.trimmed())
        m_lstSize->clearSelection(); // "1" is not 10: the list only shows where it would be
    updateSample();
}

// The styles the family has among the four, and wanted, which the text may have even where
// the family has no face for it. A scalable family offers all four: the faces it lacks are
// drawn slanted or emboldened, as in other programs' font dialogs.
void FontDialog::fillStyles(int wanted) {
    const QString name = family();
    bool offered[StyleCount] = {};
    bool any = false;
    if (!QFontDatabase::isSmoothlyScalable(name)) {
        for (const QString& style : QFontDatabase::styles(name)) {
            const int weight = QFontDatabase::weight(name, style);
            const int index = (weight >= QFont::DemiBold ? Bold : 0) |
                              (QFontDatabase::italic(name, style) ? Italic : 0);
            offered[index] = any = true;
        }
    }
    const QSignalBlocker quiet(m_lstStyle);
    m_lstStyle->clear();
    for (int i = 0; i < StyleCount; ++i) {
        if (!any || offered[i] || i == wanted) {
            auto* item = new QListWidgetItem(tr(StyleNames[i]), m_lstStyle);
            item->setData(Qt::UserRole, i);
            if (i == wanted)
                m_lstStyle->setCurrentItem(item);
        }
    }
    m_edStyle->setText(tr(StyleNames[wanted]));
}

void FontDialog::colorPicked(int index) {
    if (m_cbColor->itemData(index, KindRole).toInt() == ChooseCustom) {
        if (!m_customDialog) {
            m_customDialog = new QColorDialog(this);
            m_customDialog->setObjectName(QStringLiteral("CustomColorDialog"));
            m_customDialog->setOption(QColorDialog::DontUseNativeDialog);
        }
        const QColor shown = m_cbColor->itemData(m_colorIndex).value<QColor>();
        m_customDialog->setCurrentColor(shown.isValid() ? shown : QColor(Qt::black));
        if (m_customDialog->exec() == QDialog::Accepted)
            setCurrentColor(m_customDialog->selectedColor());
        else
            m_cbColor->setCurrentIndex(m_colorIndex);
    }
    m_colorIndex = m_cbColor->currentIndex();
    updateSample();
}

// A colour outside the sixteen gets an entry of its own before "Custom...".
void FontDialog::setCustomColor(const QColor& color) {
    int index = m_cbColor->count() - 2;
    if (m_cbColor->itemData(index, KindRole).toInt() != CustomColor) {
        ++index;
        m_cbColor->insertItem(index, tr("Custom"));
        m_cbColor->setItemData(index, CustomColor, KindRole);
    }
    m_cbColor->setItemIcon(index, swatch(color));
    m_cbColor->setItemData(index, color);
    m_cbColor->setCurrentIndex(index);
}

void FontDialog::updateSample() {
    QFont font = currentFont();
    m_lbSample->setFont(font);
    QPalette pal = m_lbSample->palette();
    const QColor color = currentColor();
    pal.setColor(QPalette::WindowText, color.isValid() ? color : palette().color(QPalette::Text));
    m_lbSample->setPalette(pal);
}

} // namespace qly
