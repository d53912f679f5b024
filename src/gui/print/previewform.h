#pragma once

#include "print/printlayout.h"
#include "print/printsettings.h"

#include <QCursor>
#include <QDialog>
#include <QImage>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QScrollArea;
class QStatusBar;
class QToolButton;

namespace qly {

class Announcer;

class PreviewSurface;

// The print preview: the sheet of the selected printer with its printable area and the
// snapshot placed on it, and every print setting. Modal, made for one use; it reads the
// section "Print" when it is made and writes it when it closes.
class PreviewForm : public QDialog {
    Q_OBJECT
public:
    // snapshot: the main window's picture of the editor, read at every redraw and print.
    PreviewForm(QWidget* parent, QPrinter& printer, const QImage& snapshot,
                const QString& settingsFile, bool showHints = true);
    ~PreviewForm() override;

    // Computes the layout and renders the whole preview into the preview bitmap.
    void drawPreview();
    const QImage& previewBitmap() const { return m_bitmap; }
    const PrintLayout& layout() const { return m_layout; }
    const PrinterMetrics& metrics() const { return m_metrics; }
    bool inches() const { return m_inches; }
    int displayResolution() const { return m_S; }
    PreviewSurface* surface() const { return m_surface; }
    // The colour of the swatch, 0x00BBGGRR.
    int backgroundColor() const { return m_background; }
    void setBackgroundColor(int bgr);
    const QCursor& cursorHandOpen() const { return m_handOpen; }
    const QCursor& cursorHandClosed() const { return m_handClosed; }

    // Handlers.
    void btPrinterSetupClick();
    void btPrintClick();
    void btHelpClick();
    void tbColorDialogClick();
    void sbDefaultsClick();
    void cbUnitsChange();
    void cbCenterVertClick();
    void cbFitToPageClick();
    void cbShowMarginsClick();
    void pbPreviewMouseDown(Qt::MouseButton button, QPoint pos);
    void pbPreviewMouseMove(Qt::MouseButtons buttons, QPoint pos);
    void pbPreviewMouseUp(QPoint pos);

    // Replaces the platform's dialogs for tests: each returns true for OK.
    void setPrinterSetupDialog(std::function<bool(QPrinter&)> dialog);
    void setColorDialog(std::function<bool(int& bgr)> dialog);

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void formCreated(const QString& settingsFile);
    void formDestroyed();
    void buildControls();
    void nameForScreenReaders();
    void fitSettingsToFont();
    void fitControlScroll();
    void readPrinterCaps();
    void showPrinterName();
    void applyEnabling();
    bool redrawAllowed() const;
    void setOffsetTexts(const QString& x, const QString& y);
    PrintSettings currentSettings() const;

    QPrinter& m_printer;
    const QImage& m_snapshot;
    QString m_settingsFile;
    int m_S = 96;
    PrinterMetrics m_metrics;
    PrintLayout m_layout;
    bool m_inches = true;
    int m_background = PrintSettings::DefaultBackground;
    bool m_suppressRedraw = false;
    bool m_created = false;
    bool m_destroyed = false;
    bool m_placed = false; // fitted to the screen with its frame
    QImage m_bitmap;
    QImage m_pattern;
    QCursor m_handOpen;
    QCursor m_handClosed;
    std::function<bool(QPrinter&)> m_setupDialog;
    std::function<bool(int&)> m_colorDialog;

    // Dragging the image.
    bool m_dragging = false;
    QPoint m_pressPoint;
    double m_startX = 0;
    double m_startY = 0;

    QWidget* m_pnControl = nullptr;
    QScrollArea* m_controlScroll = nullptr;
    QPushButton* m_btPrinterSetup = nullptr;
    QPushButton* m_btPrint = nullptr;
    QPushButton* m_btHelp = nullptr;
    QPushButton* m_btClose = nullptr;
    QGroupBox* m_gbSettings = nullptr;
    QComboBox* m_cbUnits = nullptr;
    QLabel* m_lbTop = nullptr;
    QLineEdit* m_edYOffset = nullptr;
    QCheckBox* m_cbCenterVert = nullptr;
    QLabel* m_lbLeft = nullptr;
    QLineEdit* m_edXOffset = nullptr;
    QCheckBox* m_cbCenterHorz = nullptr;
    QLabel* m_lbScale = nullptr;
    QLineEdit* m_edScale = nullptr;
    QCheckBox* m_cbFitToPage = nullptr;
    QLineEdit* m_edCopies = nullptr;
    QCheckBox* m_cbShowMargins = nullptr;
    QCheckBox* m_cbShowFrame = nullptr;
    QLabel* m_pnBackground = nullptr;
    QToolButton* m_tbColorDialog = nullptr;
    QPushButton* m_sbDefaults = nullptr;
    QStatusBar* m_statusBar = nullptr;
    // Says that a job went to the printer: the window stays as it was.
    Announcer* m_announcer = nullptr;
    QLabel* m_pnPrinter = nullptr;
    QLabel* m_pnPaper = nullptr;
    PreviewSurface* m_surface = nullptr;
};

} // namespace qly
