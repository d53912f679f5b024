#include "print/previewform.h"

#include "dialogs/errorbox.h"
#include "help/helpoperations.h"
#include "model/bgrcolor.h"
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
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace qly {

namespace {

constexpr int ControlWidth = 154;

template <class W> W* named(W* w, const char* name, const QRect& geometry) {
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    return w;
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
    QFont f = font();
    f.setPointSize(8);
    setFont(f);
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
    m_pnControl = new QWidget(this);
    m_pnControl->setObjectName(QStringLiteral("pnControl"));
    m_pnControl->setFixedWidth(ControlWidth);
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
    row->addWidget(m_pnControl);
    root->addLayout(row, 1);
    root->addWidget(m_statusBar);

    // The controls, created in tab order.
    QWidget* c = m_pnControl;
    const auto button = [c](const char* name, const QString& caption, const QRect& g) {
        return named(new QPushButton(caption, c), name, g);
    };
    m_btPrinterSetup = button("btPrinterSetup", tr("Setup..."), {0, 12, 69, 25});
    m_btPrint = button("btPrint", tr("Print"), {78, 12, 69, 25});
    m_btPrint->setDefault(true);
    m_btHelp = button("btHelp", tr("Help"), {0, 46, 69, 25});
    m_btClose = button("btClose", tr("Close"), {78, 46, 69, 25});

    m_gbSettings = named(new QGroupBox(tr(" Settings "), c), "gbSettings", {0, 88, 148, 258});
    QWidget* g = m_gbSettings;
    const auto label = [g](const char* name, const QString& caption, int y) {
        return named(new QLabel(caption, g), name, {6, y, 44, 17});
    };
    const auto edit = [g](const char* name, int y, int width) {
        return named(new QLineEdit(g), name, {48, y, width, 21});
    };
    const auto check = [g](const char* name, const QString& caption, const QRect& r) {
        return named(new QCheckBox(caption, g), name, r);
    };
    label("lbUnits", tr("Units:"), 22);
    m_cbUnits = named(new QComboBox(g), "cbUnits", {48, 19, 92, 22});
    m_cbUnits->addItems({tr("inches"), tr("mm")});
    m_lbTop = label("lbTop", tr("Top:"), 50);
    m_edYOffset = edit("edYOffset", 48, 41);
    m_cbCenterVert = check("cbCenterVert", tr("center"), {93, 49, 53, 19});
    m_lbLeft = label("lbLeft", tr("Left:"), 76);
    m_edXOffset = edit("edXOffset", 74, 41);
    m_cbCenterHorz = check("cbCenterHorz", tr("center"), {93, 75, 53, 19});
    m_lbScale = label("lbScale", tr("Zoom:"), 102);
    m_edScale = edit("edScale", 100, 33);
    m_cbFitToPage = check("cbFitToPage", tr("fit"), {93, 101, 53, 19});
    label("lbCopies", tr("Copies:"), 128);
    m_edCopies = edit("edCopies", 126, 33);
    label("lbShow", tr("Show:"), 153);
    m_cbShowMargins = check("cbShowMargins", tr("printer margins"), {48, 152, 98, 19});
    m_cbShowFrame = check("cbShowFrame", tr("image frame"), {48, 172, 98, 19});
    named(new QLabel(tr("Background:"), g), "lbBackground", {6, 199, 66, 17});
    m_pnBackground = named(new QLabel(g), "pnBackground", {72, 195, 25, 25});
    m_pnBackground->setFrameShape(QFrame::Panel);
    m_pnBackground->setFrameShadow(QFrame::Sunken);
    m_pnBackground->setAutoFillBackground(true);
    m_tbColorDialog = named(new QToolButton(g), "tbColorDialog", {100, 195, 25, 25});
    m_tbColorDialog->setAutoRaise(true);
    m_tbColorDialog->setIconSize(QSize(18, 18));
    m_tbColorDialog->setIcon(colorPickerIcon(devicePixelRatioF()));
    m_tbColorDialog->setToolTip(tr("Select color"));
    m_sbDefaults = named(new QPushButton(tr("Defaults"), g), "sbDefaults", {69, 224, 69, 25});
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
        field->setAccessibleName(QString(caption->text()).remove(QLatin1Char(':')));
    }
    m_cbCenterVert->setAccessibleName(tr("Center vertically"));
    m_cbCenterHorz->setAccessibleName(tr("Center horizontally"));
    m_cbFitToPage->setAccessibleName(tr("Fit to page"));
    m_tbColorDialog->setAccessibleName(tr("Background color"));
    m_statusBar->setAccessibleName(tr("Status"));
}

void PreviewForm::fitSettingsToFont() {
    // The design places the columns for a narrow 8-point font; wider desktop fonts move the
    // columns right and widen the panel, so that no caption is cut.
    const QFontMetrics fm(m_gbSettings->font());
    int labelWidth = 0;
    for (QLabel* l : m_gbSettings->findChildren<QLabel*>())
        if (l->objectName() != QLatin1String("lbBackground") && l != m_pnBackground)
            labelWidth = qMax(labelWidth, fm.horizontalAdvance(l->text()));
    const int editX = qMax(48, 6 + labelWidth + 4);
    const int checkX = editX + 41 + 4;
    int right = editX + 92;
    const auto place = [&right](QWidget* w, int x, int width) {
        w->setGeometry(x, w->y(), width, w->height());
        right = qMax(right, x + width);
    };
    for (QLabel* l : m_gbSettings->findChildren<QLabel*>())
        if (l->x() == 6 && l->objectName() != QLatin1String("lbBackground"))
            l->resize(editX - 6, l->height());
    place(m_cbUnits, editX, 92);
    for (QLineEdit* e : {m_edYOffset, m_edXOffset, m_edScale, m_edCopies})
        place(e, editX, e->width());
    for (QCheckBox* c : {m_cbCenterVert, m_cbCenterHorz, m_cbFitToPage})
        place(c, checkX, qMax(53, c->sizeHint().width()));
    for (QCheckBox* c : {m_cbShowMargins, m_cbShowFrame})
        place(c, editX, qMax(98, c->sizeHint().width()));
    QLabel* background = m_gbSettings->findChild<QLabel*>(QStringLiteral("lbBackground"));
    const int backgroundWidth = fm.horizontalAdvance(background->text()) + 2;
    background->resize(backgroundWidth, background->height());
    const int swatchX = qMax(72, 6 + backgroundWidth + 4);
    place(m_pnBackground, swatchX, 25);
    place(m_tbColorDialog, swatchX + 28, 25);
    const int groupWidth = qMax(148, right + 6);
    m_gbSettings->resize(groupWidth, m_gbSettings->height());
    m_pnControl->setFixedWidth(qMax(ControlWidth, groupWidth + 6));
}

void PreviewForm::formCreated(const QString& settingsFile) {
    readPrinterCaps();
    const Profile profile(settingsFile);
    const QSize minimum(roundHalfEven(m_S * 516 / 96.0), roundHalfEven(m_S * 400 / 96.0));
    const QRect screenRect = screen() ? screen()->geometry() : QRect(0, 0, 1024, 768);
    const PrintSettings s = PrintSettings::read(profile, screenRect.width(), screenRect.height(),
                                                minimum.width(), minimum.height());
    setMinimumSize(minimum);
    // A hand-edited or stale place is fitted to the screen it names, else to the window's.
    const QScreen* target = QGuiApplication::screenAt(QPoint(s.left, s.top));
    if (!target)
        target = screen() ? screen() : QGuiApplication::primaryScreen();
    QRect area = target ? target->availableGeometry() : screenRect;
    // The frame is not known before the window shows: a place that must be fitted leaves
    // room for a title bar, so that the status bar stays on the screen.
    const bool inside = s.left >= area.left() && s.top >= area.top() &&
                        qint64(s.left) + s.width <= qint64(area.left()) + area.width() &&
                        qint64(s.top) + s.height <= qint64(area.top()) + area.height();
    if (!inside)
        area.setTop(area.top() + style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) +
                    8);
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
        const QRect frame = frameGeometry();
        const QRect client = geometry();
        const QMargins m(client.left() - frame.left(), client.top() - frame.top(),
                         frame.right() - client.right(), frame.bottom() - client.bottom());
        const QScreen* at = screen();
        if (at && !m.isNull() && !at->availableGeometry().contains(frame)) {
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
    if (watched == box) {
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
