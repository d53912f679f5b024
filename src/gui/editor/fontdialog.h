#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>

class QCheckBox;
class QColorDialog;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qly {

// The font dialog `fontDialog`: family, style and size, the effects (strike-out, underline,
// text colour) and a sample. Made once and kept: each run loads it with a font and a colour
// and reads them back after OK.
class FontDialog : public QDialog {
    Q_OBJECT
public:
    explicit FontDialog(QWidget* parent = nullptr);

    // The family, point size, bold, italic, underline and strike-out shown.
    void setCurrentFont(const QFont& font);
    QFont currentFont() const;
    // The text colour; an invalid colour is "Automatic": the text has no colour of its own.
    void setCurrentColor(const QColor& color);
    QColor currentColor() const;

    // The largest size a page keeps, in points; sizes are kept to half points.
    static constexpr double MaxPointSize = 1638;

protected:
    // The arrow and page keys in a field move through its list, as in the list itself.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Each run starts in the font field, its text selected to be typed over.
    void showEvent(QShowEvent* event) override;

private:
    void familyEdited(const QString& text);
    void familyPicked();
    void styleEdited(const QString& text);
    void sizeEdited(const QString& text);
    void colorPicked(int index);
    void fillStyles(int wanted);
    void updateSample();
    QString family() const;
    double pointSize() const;
    int styleIndex() const;
    void setCustomColor(const QColor& color);

    QLineEdit* m_edFamily = nullptr;
    QListWidget* m_lstFamily = nullptr;
    QLineEdit* m_edStyle = nullptr;
    QListWidget* m_lstStyle = nullptr;
    QLineEdit* m_edSize = nullptr;
    QListWidget* m_lstSize = nullptr;
    QCheckBox* m_cbStrikeout = nullptr;
    QCheckBox* m_cbUnderline = nullptr;
    QComboBox* m_cbColor = nullptr;
    QLabel* m_lbSample = nullptr;
    QPushButton* m_btOK = nullptr;
    QPushButton* m_btCancel = nullptr;
    QColorDialog* m_customDialog = nullptr;

    QString m_loadedFamily;   // kept when the family field is left as it was loaded
    double m_loadedSize = 10; // kept when the size field does not hold a size
    int m_loadedStyle = 0;    // 0 regular, 1 italic, 2 bold, 3 bold italic
    int m_colorIndex = 0;     // the colour entry chosen last, for a cancelled "Custom..."
};

} // namespace qly
