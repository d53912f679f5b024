#include "print/previewform.h"

#include "dialogs/desktopfont.h"
#include "dialogs/errorbox.h"
#include "help/helpoperations.h"
#include "model/bgrcolor.h"
#include "platform/announcer.h"
#include "print/previewsurface.h"
#include "print/printjob.h"
#include "print/printpictures.h"
#include "settings/error.h"
#include "settings/profile.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace qly {

namespace {

constexpr int ControlWidth = 154;
// The least room the preview surface keeps beside a control panel grown with the font.
constexpr int SurfaceMinimumWidth = 240;

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

// Wide enough for the longest text the field is made for, and never below its designed width.
int fieldWidth(const QLineEdit* field, const QString& longest, int designed) {
    const int frame = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, field);
    // The line edit's own margin of 2 on each side, and a pixel for the caret.
    const int needed = field->fontMetrics().horizontalAdvance(longest) + 2 * frame + 2 * 2 + 1;
    return qMax(grownPixels(designed), needed);
}

} // namespace

PreviewForm::PreviewForm(QWidget* parent, QPrinter& printer, const QImage& snapshot,
                         const QString& settingsFile, bool showHints)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_printer(printer), m_snapshot(snapshot), m_settingsFile(settingsFile) {
    setObjectName(QStringLiteral("PreviewForm"));
    setWindowTitle(tr("Print preview"));
    setFont(designedFont());
    m_S = qly::displayResolution(parent ? parent : this);
    buildControls();
    if (!showHints)
        m_tbColorDialog->setToolTip(QString());
    formCreated(settingsFile);
    m_created = true;
}

PreviewForm::~PreviewForm() {
    formDestroyed();
}

void PreviewForm::buildControls() {
    // The surface fills what the control panel on the right and the status bar leave.
    m_surface = new PreviewSurface(this);
    m_surface->setBitmap(&m_bitmap);
    m_surface->pbPreview()->installEventFilter(this);
    m_pnControl = new QWidget;
    m_pnControl->setObjectName(QStringLiteral("pnControl"));
    // On a screen too low for the panel (a large scale), it scrolls rather than being cut.
    m_controlScroll = new QScrollArea(this);
    m_controlScroll->setObjectName(QStringLiteral("pnControlScroll"));
    m_controlScroll->setFrameShape(QFrame::NoFrame);
    m_controlScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_controlScroll->setBackgroundRole(QPalette::Window);
    m_controlScroll->setWidget(m_pnControl);
    m_controlScroll->installEventFilter(this);
    // The panel's controls take the focus, not the unnamed area around them.
    m_controlScroll->setFocusPolicy(Qt::NoFocus);
    m_announcer = new Announcer(this);
    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar"));
    m_statusBar->setSizeGripEnabled(false);
    m_statusBar->installEventFilter(this);
    m_pnPrinter = new QLabel(m_statusBar);
    m_pnPrinter->setObjectName(QStringLiteral("pnPrinter"));
    m_pnPaper = new QLabel(m_statusBar);
    m_pnPaper->setObjectName(QStringLiteral("pnPaper"));
    m_statusBar->addWidget(m_pnPrinter);
    m_statusBar->addWidget(m_pnPaper, 1);
    for (QLabel* panel : {m_pnPrinter, m_pnPaper})
        panel->installEventFilter(this);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    row->addWidget(m_surface, 1);
    row->addWidget(m_controlScroll);
    root->addLayout(row, 1);
    root->addWidget(m_statusBar);

    // The controls, created in tab order; fitSettingsToFont places them.
    QWidget* c = m_pnControl;
    const auto button = [c](const char* name, const QString& caption) {
        return named(new QPushButton(caption, c), name);
    };
    m_btPrinterSetup = button("btPrinterSetup", tr("&Setup..."));
    m_btPrint = button("btPrint", tr("&Print"));
    m_btPrint->setDefault(true);
    m_btHelp = button("btHelp", tr("&Help"));
    m_btClose = button("btClose", tr("Close"));

    m_gbSettings = named(new QGroupBox(tr(" Settings "), c), "gbSettings");
    QWidget* g = m_gbSettings;
    const auto label = [g](const char* name, const QString& caption) {
        return named(new QLabel(caption, g), name);
    };
    const auto edit = [g](const char* name) { return named(new QLineEdit(g), name); };
    const auto check = [g](const char* name, const QString& caption) {
        return named(new QCheckBox(caption, g), name);
    };
    label("lbUnits", tr("&Units:"));
    m_cbUnits = named(new QComboBox(g), "cbUnits");
    m_cbUnits->addItems({tr("inches"), tr("mm")});
    m_lbTop = label("lbTop", tr("&Top:"));
    m_edYOffset = edit("edYOffset");
    m_cbCenterVert = check("cbCenterVert", tr("c&enter"));
    m_lbLeft = label("lbLeft", tr("&Left:"));
    m_edXOffset = edit("edXOffset");
    m_cbCenterHorz = check("cbCenterHorz", tr("ce&nter"));
    m_lbScale = label("lbScale", tr("&Zoom:"));
    m_edScale = edit("edScale");
    m_cbFitToPage = check("cbFitToPage", tr("&fit"));
    label("lbCopies", tr("C&opies:"));
    m_edCopies = edit("edCopies");
    label("lbShow", tr("Show:"));
    m_cbShowMargins = check("cbShowMargins", tr("printer &margins"));
    m_cbShowFrame = check("cbShowFrame", tr("image f&rame"));
    label("lbBackground", tr("Background:"));
    m_pnBackground = named(new QLabel(g), "pnBackground");
    m_pnBackground->setFrameShape(QFrame::Panel);
    m_pnBackground->setFrameShadow(QFrame::Sunken);
    m_pnBackground->setAutoFillBackground(true);
    m_tbColorDialog = named(new QToolButton(g), "tbColorDialog");
    m_tbColorDialog->setAutoRaise(true);
    m_tbColorDialog->setIconSize(QSize(grownPixels(18), grownPixels(18)));
    m_tbColorDialog->setIcon(colorPickerIcon(devicePixelRatioF()));
    m_tbColorDialog->setToolTip(tr("Select color"));
    m_sbDefaults = named(new QPushButton(tr("&Defaults"), g), "sbDefaults");
    m_sbDefaults->setAutoDefault(false);
    nameForScreenReaders();
    fitSettingsToFont();

    m_pattern = checkerPattern();
    m_handOpen = handCursor(false, devicePixelRatioF());
    m_handClosed = handCursor(true, devicePixelRatioF());

    connect(m_btPrinterSetup, &QPushButton::clicked, this, &PreviewForm::btPrinterSetupClick);
    connect(m_btPrint, &QPushButton::clicked, this, &PreviewForm::btPrintClick);
    connect(m_btHelp, &QPushButton::clicked, this, &PreviewForm::btHelpClick);
    connect(m_btClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cbUnits, &QComboBox::activated, this, &PreviewForm::cbUnitsChange);
    connect(m_cbCenterVert, &QCheckBox::toggled, this, &PreviewForm::cbCenterVertClick);
    connect(m_cbCenterHorz, &QCheckBox::toggled, this, &PreviewForm::cbCenterVertClick);
    connect(m_edYOffset, &QLineEdit::textChanged, this, &PreviewForm::cbCenterVertClick);
    connect(m_edXOffset, &QLineEdit::textChanged, this, &PreviewForm::cbCenterVertClick);
    connect(m_cbFitToPage, &QCheckBox::toggled, this, &PreviewForm::cbFitToPageClick);
    connect(m_edScale, &QLineEdit::textChanged, this, &PreviewForm::cbShowMarginsClick);
    connect(m_cbShowMargins, &QCheckBox::toggled, this, &PreviewForm::cbShowMarginsClick);
    connect(m_cbShowFrame, &QCheckBox::toggled, this, &PreviewForm::cbShowMarginsClick);
    connect(m_tbColorDialog, &QToolButton::clicked, this, &PreviewForm::tbColorDialogClick);
    connect(m_sbDefaults, &QPushButton::clicked, this, &PreviewForm::sbDefaultsClick);
}

void PreviewForm::nameForScreenReaders() {
    // Each field is named by its caption, not by the group around it; the check boxes say
    // what they centre or fit, the picture button what it picks. The status bar's panels are
    // named by their text, so a change of it is heard.
    const std::pair<const char*, QWidget*> buddies[] = {
        {"lbUnits", m_cbUnits}, {"lbTop", m_edYOffset},   {"lbLeft", m_edXOffset},
        {"lbScale", m_edScale}, {"lbCopies", m_edCopies},
    };
    for (const auto& [labelName, field] : buddies) {
        auto* caption = m_gbSettings->findChild<QLabel*>(QLatin1String(labelName));
        caption->setBuddy(field);
        field->setAccessibleName(
            QString(caption->text()).remove(QLatin1Char(':')).remove(QLatin1Char('&')));
    }
    m_cbCenterVert->setAccessibleName(tr("Center vertically"));
    m_cbCenterHorz->setAccessibleName(tr("Center horizontally"));
    m_cbFitToPage->setAccessibleName(tr("Fit to page"));
    m_tbColorDialog->setAccessibleName(tr("Background color"));
    m_statusBar->setAccessibleName(tr("Status"));
}

void PreviewForm::fitSettingsToFont() {
    // The design's places, grown with the desktop's font; a column moves right, and the panel
    // widens, where a caption or a value needs more room than the design gives it.
    const auto px = [](int designed) { return grownPixels(designed); };
    const auto buttonWidth = [&px](const QPushButton* b) {
        // Its caption and the style's margins: a style's wider usual button is not needed.
        const QStyle* st = b->style();
        const int margins = 2 * (st->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b) +
                                 st->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b));
        return qMax(px(69), b->fontMetrics().horizontalAdvance(
                                QString(b->text()).remove(QLatin1Char('&'))) +
                                margins);
    };
    const int left = qMax(buttonWidth(m_btPrinterSetup), buttonWidth(m_btHelp));
    const int rightX = left + px(9);
    const int right = qMax(buttonWidth(m_btPrint), buttonWidth(m_btClose));
    m_btPrinterSetup->setGeometry(0, px(12), left, px(25));
    m_btPrint->setGeometry(rightX, px(12), right, px(25));
    m_btHelp->setGeometry(0, px(46), left, px(25));
    m_btClose->setGeometry(rightX, px(46), right, px(25));

    const QFontMetrics fm(m_gbSettings->font());
    const int labelX = px(6);
    int labelWidth = 0;
    const auto caption = [this](const char* name) {
        return m_gbSettings->findChild<QLabel*>(QLatin1String(name));
    };
    const char* rowCaptions[] = {"lbUnits", "lbTop", "lbLeft", "lbScale", "lbCopies", "lbShow"};
    for (const char* name : rowCaptions)
        labelWidth = qMax(labelWidth, caption(name)->sizeHint().width());
    const int editX = qMax(px(48), labelX + labelWidth + px(4));
    int groupRight = 0;
    const auto place = [&groupRight](QWidget* w, int x, int y, int width, int height) {
        w->setGeometry(x, y, width, height);
        groupRight = qMax(groupRight, x + width);
    };
    const int rowY[] = {22, 50, 76, 102, 128, 153};
    for (size_t i = 0; i < std::size(rowCaptions); ++i)
        place(caption(rowCaptions[i]), labelX, px(rowY[i]), editX - labelX,
              qMax(px(17), caption(rowCaptions[i])->sizeHint().height()));
    place(m_cbUnits, editX, px(19), qMax(px(92), m_cbUnits->sizeHint().width()), px(22));
    // Offsets up to a sheet's size in inches, or 10 cm in mm; zoom to ten times; copies to
    // six digits (the row has room to its right).
    const QString offset = QLocale().toString(-100.0, 'f', 2);
    const int offsetWidth = fieldWidth(m_edYOffset, offset, 41);
    const int zoomWidth = fieldWidth(m_edScale, QStringLiteral("1000"), 33);
    place(m_edYOffset, editX, px(48), offsetWidth, px(21));
    place(m_edXOffset, editX, px(74), offsetWidth, px(21));
    place(m_edScale, editX, px(100), zoomWidth, px(21));
    place(m_edCopies, editX, px(126), fieldWidth(m_edCopies, QStringLiteral("100000"), 33), px(21));
    const int checkX = editX + qMax(offsetWidth, zoomWidth) + px(4);
    const std::pair<QCheckBox*, int> besideFields[] = {
        {m_cbCenterVert, 49}, {m_cbCenterHorz, 75}, {m_cbFitToPage, 101}};
    for (const auto& [box, y] : besideFields)
        place(box, checkX, px(y), qMax(px(53), box->sizeHint().width()), px(19));
    place(m_cbShowMargins, editX, px(152), qMax(px(98), m_cbShowMargins->sizeHint().width()),
          px(19));
    place(m_cbShowFrame, editX, px(172), qMax(px(98), m_cbShowFrame->sizeHint().width()), px(19));
    QLabel* background = caption("lbBackground");
    const int backgroundWidth = fm.horizontalAdvance(background->text()) + 2;
    place(background, labelX, px(199), backgroundWidth,
          qMax(px(17), background->sizeHint().height()));
    const int swatchX = qMax(px(72), labelX + backgroundWidth + px(4));
    place(m_pnBackground, swatchX, px(195), px(25), px(25));
    place(m_tbColorDialog, swatchX + px(28), px(195), px(25), px(25));
    place(m_sbDefaults, px(69), px(224), buttonWidth(m_sbDefaults), px(25));

    const int groupWidth = qMax(px(148), groupRight + px(6));
    m_gbSettings->setGeometry(0, px(88), groupWidth, px(258));
    const int panelWidth = std::max({px(ControlWidth), groupWidth + px(6), rightX + right + px(7)});
    m_pnControl->setFixedSize(panelWidth, m_gbSettings->geometry().bottom() + 1 + px(6));
    fitControlScroll();
}

void PreviewForm::fitControlScroll() {
    // The panel takes its own width, and a scroll bar's more when the window is too low for it.
    const bool scrolls = m_controlScroll->height() < m_pnControl->height();
    m_controlScroll->setFixedWidth(
        m_pnControl->width() +
        (scrolls ? m_controlScroll->verticalScrollBar()->sizeHint().width() : 0));
}

void PreviewForm::formCreated(const QString& settingsFile) {
    readPrinterCaps();
    const Profile profile(settingsFile);
    // The designed minimum, or what the controls need with a larger font.
    const QSize designedMinimum(roundHalfEven(m_S * 516 / 96.0), roundHalfEven(m_S * 400 / 96.0));
    QSize minimum =
        designedMinimum.expandedTo(QSize(m_pnControl->width() + grownPixels(SurfaceMinimumWidth),
                                         m_pnControl->height() + m_statusBar->sizeHint().height()));
    const QRect screenRect = screen() ? screen()->geometry() : QRect(0, 0, 1024, 768);
    const PrintSettings s = PrintSettings::read(profile, screenRect.width(), screenRect.height(),
                                                minimum.width(), minimum.height());
    // A hand-edited or stale place is fitted to the screen it names, else to the window's.
    const QScreen* target = QGuiApplication::screenAt(QPoint(s.left, s.top));
    if (!target)
        target = screen() ? screen() : QGuiApplication::primaryScreen();
    QRect area = target ? target->availableGeometry() : screenRect;
    // The frame is not known before the window shows: the window leaves room below its
    // place for a title bar, so that the status bar stays on the screen. A window too large
    // for the screen (a large scale) is made smaller, and its control panel scrolls.
    const int titleRoom = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) + 8;
    area.setHeight(area.height() - titleRoom);
    minimum = minimum.boundedTo(area.size());
    setMinimumSize(minimum);
    const QRect place = fitToScreen(s.left, s.top, s.width, s.height, minimum, area);
    resize(place.size());
    move(place.topLeft());

    m_inches = s.inches;
    m_pnPaper->setText(paperSizeText(m_metrics, m_inches, PaperTextForm::Opening));
    m_edXOffset->setText(s.xOffset);
    m_edYOffset->setText(s.yOffset);
    m_cbCenterVert->setChecked(s.centerVert);
    m_cbCenterHorz->setChecked(s.centerHorz);
    m_edScale->setText(s.zoom);
    m_cbFitToPage->setChecked(s.fitToPage);
    m_edCopies->setText(s.copies);
    m_cbShowMargins->setChecked(s.showMargins);
    m_cbShowFrame->setChecked(s.showFrame);
    setBackgroundColor(PrintSettings::DefaultBackground);
    applyEnabling();
    try {
        setBackgroundColor(s.backgroundColor());
    } catch (const Error& e) {
        // The window still opens; the steps after this one are left undone.
        showErrorBox(parentWidget(), e.message());
        return;
    }

    std::optional<double> x = readNumber(m_edXOffset->text());
    std::optional<double> y = readNumber(m_edYOffset->text());
    if (!x || !y)
        x = y = 0.0;
    m_edYOffset->setText(fixedText(boundedOffset(*y, m_inches), 2));
    m_edXOffset->setText(fixedText(boundedOffset(*x, m_inches), 2));

    showPrinterName();
    m_cbUnits->setCurrentIndex(m_inches ? 0 : 1);
}

void PreviewForm::showPrinterName() {
    const QString printerText = QStringLiteral("   Printer: ") + m_printer.printerName();
    m_pnPrinter->setText(printerText);
    m_pnPrinter->setFixedWidth(
        roundHalfEven(1.1 * QFontMetricsF(m_statusBar->font()).horizontalAdvance(printerText)));
}

PrintSettings PreviewForm::currentSettings() const {
    PrintSettings s;
    const QRect g = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
    s.left = isVisible() ? pos().x() : g.x();
    s.top = isVisible() ? pos().y() : g.y();
    s.width = g.width();
    s.height = g.height();
    s.inches = m_inches;
    s.xOffset = m_edXOffset->text();
    s.yOffset = m_edYOffset->text();
    s.centerVert = m_cbCenterVert->isChecked();
    s.centerHorz = m_cbCenterHorz->isChecked();
    s.zoom = m_edScale->text();
    s.fitToPage = m_cbFitToPage->isChecked();
    s.copies = m_edCopies->text();
    s.showMargins = m_cbShowMargins->isChecked();
    s.showFrame = m_cbShowFrame->isChecked();
    s.background = QString::number(m_background);
    return s;
}

void PreviewForm::formDestroyed() {
    if (m_destroyed)
        return;
    m_destroyed = true;
    runGuarded(parentWidget(), [this] {
        Profile profile(m_settingsFile);
        currentSettings().write(profile);
    });
}

void PreviewForm::done(int result) {
    formDestroyed();
    QDialog::done(result);
}

void PreviewForm::readPrinterCaps() {
    m_metrics = readPrinterMetrics(m_printer);
    m_pnPaper->setText(paperSizeText(m_metrics, m_inches, PaperTextForm::Opening));
}

void PreviewForm::setBackgroundColor(int bgr) {
    m_background = bgr;
    QPalette p = m_pnBackground->palette();
    p.setColor(QPalette::Window, colorFromBgr<QColor>(bgr));
    m_pnBackground->setPalette(p);
}

bool PreviewForm::redrawAllowed() const {
    return m_created && isActiveWindow();
}

void PreviewForm::applyEnabling() {
    const bool fit = m_cbFitToPage->isChecked();
    const bool top = !fit && !m_cbCenterVert->isChecked();
    const bool left = !fit && !m_cbCenterHorz->isChecked();
    m_edYOffset->setEnabled(top);
    m_lbTop->setEnabled(top);
    m_edXOffset->setEnabled(left);
    m_lbLeft->setEnabled(left);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_edScale, m_lbScale, m_cbCenterVert, m_cbCenterHorz})
        w->setEnabled(!fit);
}

void PreviewForm::cbCenterVertClick() {
    applyEnabling();
    if (redrawAllowed() && !m_suppressRedraw)
        drawPreview();
}

void PreviewForm::cbFitToPageClick() {
    applyEnabling();
    if (redrawAllowed())
        drawPreview();
}

void PreviewForm::cbShowMarginsClick() {
    if (redrawAllowed())
        drawPreview();
}

void PreviewForm::setOffsetTexts(const QString& x, const QString& y) {
    m_edYOffset->setText(y);
    m_edXOffset->setText(x);
}

void PreviewForm::cbUnitsChange() {
    m_inches = m_cbUnits->currentText() != QLatin1String("mm");
    m_pnPaper->setText(paperSizeText(m_metrics, m_inches, PaperTextForm::UnitSwitch));
    m_suppressRedraw = true;
    setOffsetTexts(offsetText(m_layout.OffsetX, m_inches), offsetText(m_layout.OffsetY, m_inches));
    m_suppressRedraw = false;
}

void PreviewForm::sbDefaultsClick() {
    m_cbFitToPage->setChecked(false);
    m_edScale->setText(QStringLiteral("100"));
    m_cbCenterVert->setChecked(true);
    m_cbCenterHorz->setChecked(true);
    m_edCopies->setText(QStringLiteral("1"));
    m_cbShowMargins->setChecked(true);
    m_cbShowFrame->setChecked(true);
    setBackgroundColor(PrintSettings::DefaultBackground);
    applyEnabling();
    drawPreview();
}

void PreviewForm::setPrinterSetupDialog(std::function<bool(QPrinter&)> dialog) {
    m_setupDialog = std::move(dialog);
}

void PreviewForm::setColorDialog(std::function<bool(int&)> dialog) {
    m_colorDialog = std::move(dialog);
}

void PreviewForm::btPrinterSetupClick() {
    bool ok = false;
    if (m_setupDialog) {
        ok = m_setupDialog(m_printer);
    } else {
        // The system's print dialog chooses the printer and its paper; it prints nothing.
        QPrintDialog dialog(&m_printer, this);
        dialog.setWindowTitle(tr("Print Setup"));
        dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
        for (QDialogButtonBox* box : dialog.findChildren<QDialogButtonBox*>())
            if (QPushButton* b = box->button(QDialogButtonBox::Ok))
                b->setText(tr("OK"));
        ok = dialog.exec() == QDialog::Accepted;
    }
    if (!ok)
        return;
    m_printer.setCopyCount(1);
    usePrinterMargins(m_printer);
    readPrinterCaps();
    showPrinterName();
    drawPreview();
}

void PreviewForm::btPrintClick() {
    runGuarded(this, [this] {
        const int copies = copiesToPrint(m_edCopies->text());
        if (copies > CopiesWithoutAsking) {
            QMessageBox ask(QMessageBox::Question, QGuiApplication::applicationDisplayName(),
                            tr("Print %1 copies?").arg(copies), QMessageBox::Yes | QMessageBox::No,
                            this);
            ask.setObjectName(QStringLiteral("CopiesQuestion"));
            ask.setDefaultButton(QMessageBox::No);
            if (ask.exec() != QMessageBox::Yes)
                return;
        }
        // Pages drawn one by one (a PDF file) can be stopped between two pages.
        QProgressDialog progress(tr("Printing..."), tr("Cancel"), 0, copies, this);
        progress.setObjectName(QStringLiteral("PrintProgress"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        progress.setAutoReset(false);
        printPage(m_printer, m_snapshot, m_layout, m_metrics, m_S, copies, [&](int done) {
            progress.setValue(done);
            return !progress.wasCanceled();
        });
        progress.close();
        m_announcer->announce(copies == 1 ? tr("Sent to the printer")
                                          : tr("%1 copies sent to the printer").arg(copies));
    });
}

void PreviewForm::btHelpClick() {
    showHelpTopic(QString::fromLatin1(PrintPreviewHelpTopic));
    reject();
}

void PreviewForm::tbColorDialogClick() {
    int bgr = m_background;
    bool ok = false;
    if (m_colorDialog) {
        ok = m_colorDialog(bgr);
    } else {
        const QColor c = QColorDialog::getColor(colorFromBgr<QColor>(bgr), this);
        ok = c.isValid();
        bgr = ok ? bgrFromColor(c) : bgr;
    }
    if (!ok)
        return;
    setBackgroundColor(bgr);
    drawPreview();
}

void PreviewForm::drawPreview() {
    QWidget* box = m_surface->pbPreview();
    const qreal dpr = box->devicePixelRatioF();
    LayoutInput in;
    in.metrics = m_metrics;
    const QSize snap = m_snapshot.deviceIndependentSize().toSize();
    in.snapW = snap.width();
    in.snapH = snap.height();
    in.S = m_S;
    in.boxW = box->width();
    in.boxH = box->height();
    in.scale = m_edScale->text();
    in.xOffset = m_edXOffset->text();
    in.yOffset = m_edYOffset->text();
    in.fitToPage = m_cbFitToPage->isChecked();
    in.centerHorz = m_cbCenterHorz->isChecked();
    in.centerVert = m_cbCenterVert->isChecked();
    in.inches = m_inches;
    m_layout = computePrintLayout(in);

    const QSize device(qRound(in.boxW * dpr), qRound(in.boxH * dpr));
    if (m_bitmap.size() != device)
        m_bitmap = QImage(device, QImage::Format_RGB32);
    // Painted in device pixels, shown at the surface's size.
    m_bitmap.setDevicePixelRatio(1);
    const PreviewRects r = previewRects(m_layout, m_S, dpr, m_snapshot.devicePixelRatio());
    const int line = qMax(1, qRound(dpr));
    {
        QPainter p(&m_bitmap);
        p.fillRect(m_bitmap.rect(), colorFromBgr<QColor>(m_background));
        p.fillRect(r.shadow, Qt::black);
        if (m_cbShowMargins->isChecked()) {
            p.fillRect(r.sheet, QColor(240, 240, 240));
            p.fillRect(r.printable, Qt::white);
        } else {
            p.fillRect(r.sheet, Qt::white);
        }
        // The veil: white checker pixels turn white, black ones leave what lies below.
        p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
        p.setBrushOrigin(r.image.topLeft());
        p.fillRect(r.image, QBrush(m_pattern));
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setBrushOrigin(0, 0);
        // The part that prints shows the snapshot itself.
        if (!r.visible.isEmpty() && !r.snapshotSource.isEmpty()) {
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(QRectF(r.visible), m_snapshot, QRectF(r.snapshotSource));
        }
        if (m_cbShowMargins->isChecked()) {
            QPen pen(QColor(0, 128, 0), line);
            pen.setDashPattern({1, 1});
            pen.setCapStyle(Qt::FlatCap);
            p.setPen(pen);
            const QRect a = r.printable;
            const qreal o = line / 2.0; // centre the line on its pixels
            const QPointF corners[5] = {{a.left() + o, a.top() + o},
                                        {a.left() + o, a.top() + a.height() + o},
                                        {a.left() + a.width() + o, a.top() + a.height() + o},
                                        {a.left() + a.width() + o, a.top() + o},
                                        {a.left() + o, a.top() + o}};
            p.drawPolyline(corners, 5);
        }
        if (m_cbShowFrame->isChecked() && !r.image.isEmpty()) {
            const QBrush brush(m_pattern);
            const QRect i = r.image;
            p.fillRect(QRect(i.left(), i.top(), i.width(), line), brush);
            p.fillRect(QRect(i.left(), i.bottom() - line + 1, i.width(), line), brush);
            p.fillRect(QRect(i.left(), i.top(), line, i.height()), brush);
            p.fillRect(QRect(i.right() - line + 1, i.top(), line, i.height()), brush);
        }
    }
    m_bitmap.setDevicePixelRatio(dpr);
    box->update();
}

void PreviewForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_placed) {
        // Once the window has its frame, the frame too goes on the screen.
        m_placed = true;
        // The first focus is on the command the window is for, named for a screen reader.
        m_btPrint->setFocus(Qt::OtherFocusReason);
        QRect frame = frameGeometry();
        QRect client = geometry();
        const QMargins m(client.left() - frame.left(), client.top() - frame.top(),
                         frame.right() - client.right(), frame.bottom() - client.bottom());
        const QScreen* at = screen();
        // The controls whole where the screen allows: the window grows by what the panel lacks,
        // as far as the screen has room below it (and room for a title bar not yet known).
        const int lacking = m_pnControl->height() - m_controlScroll->height();
        if (at && lacking > 0) {
            const int titleRoom =
                m.isNull() ? style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) + 8 : 0;
            const int room = at->availableGeometry().bottom() - frame.bottom() - titleRoom;
            if (const int grow = qMin(lacking, room); grow > 0) {
                setMinimumHeight(minimumHeight() + grow);
                resize(width(), height() + grow);
                frame = frameGeometry();
                client = geometry();
            }
        }
        if (at && !m.isNull() && !at->availableGeometry().contains(frame)) {
            const QRect room = at->availableGeometry().marginsRemoved(m);
            setMinimumSize(minimumSize().boundedTo(room.size()));
            const QRect place =
                fitToScreen(client.x(), client.y(), client.width(), client.height(), minimumSize(),
                            at->availableGeometry().marginsRemoved(m));
            resize(place.size());
            move(place.topLeft() - QPoint(m.left(), m.top()));
        }
    }
    // The snapshot is taken between the window's creation and its showing.
    drawPreview();
}

bool PreviewForm::eventFilter(QObject* watched, QEvent* event) {
    QWidget* box = m_surface ? m_surface->pbPreview() : nullptr;
    if (watched == m_controlScroll && event->type() == QEvent::Resize) {
        fitControlScroll();
    } else if (watched == box) {
        switch (event->type()) {
        case QEvent::Resize: // every resize of the window and every sizing step
            drawPreview();
            break;
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(event);
            pbPreviewMouseDown(e->button(), e->position().toPoint());
            return true;
        }
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(event);
            pbPreviewMouseMove(e->buttons(), e->position().toPoint());
            return true;
        }
        case QEvent::MouseButtonRelease:
            pbPreviewMouseUp(static_cast<QMouseEvent*>(event)->position().toPoint());
            return true;
        default:
            break;
        }
    } else if (event->type() == QEvent::MouseButtonDblClick &&
               (watched == m_statusBar || watched == m_pnPrinter || watched == m_pnPaper)) {
        btPrinterSetupClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void PreviewForm::pbPreviewMouseDown(Qt::MouseButton button, QPoint pos) {
    if (button != Qt::LeftButton || !hitsImage(m_layout, m_S, pos))
        return;
    m_surface->pbPreview()->setCursor(m_handClosed);
    m_dragging = true;
    m_pressPoint = pos;
    m_startX = readNumber(m_edXOffset->text()).value_or(0.0);
    m_startY = readNumber(m_edYOffset->text()).value_or(0.0);
}

void PreviewForm::pbPreviewMouseMove(Qt::MouseButtons buttons, QPoint pos) {
    QWidget* box = m_surface->pbPreview();
    if (m_dragging) {
        m_suppressRedraw = true;
        const QPoint d = pos - m_pressPoint;
        setOffsetTexts(dragOffsetText(d.x(), m_S, m_layout.k, m_inches, m_startX),
                       dragOffsetText(d.y(), m_S, m_layout.k, m_inches, m_startY));
        m_edYOffset->repaint();
        m_edXOffset->repaint();
        m_suppressRedraw = false;
        drawPreview();
        return;
    }
    const Qt::MouseButtons held = Qt::LeftButton | Qt::MiddleButton | Qt::RightButton;
    if (!(buttons & held) && hitsImage(m_layout, m_S, pos))
        box->setCursor(m_handOpen);
    else
        box->setCursor(Qt::ArrowCursor);
}

void PreviewForm::pbPreviewMouseUp(QPoint pos) {
    QWidget* box = m_surface->pbPreview();
    const bool wasDragging = m_dragging;
    m_dragging = false;
    if (!hitsImage(m_layout, m_S, pos)) {
        box->setCursor(Qt::ArrowCursor);
        return;
    }
    box->setCursor(m_handOpen);
    if (wasDragging) {
        const QPoint d = pos - m_pressPoint;
        setOffsetTexts(dragOffsetText(d.x(), m_S, m_layout.k, m_inches, m_startX),
                       dragOffsetText(d.y(), m_S, m_layout.k, m_inches, m_startY));
    }
}

} // namespace qly
