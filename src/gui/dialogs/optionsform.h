#pragma once

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace qly {

// The options dialog: hints, stay on top and the minimise mode. It edits nothing itself;
// the main window reads the choices back when it closes with OK.
class OptionsForm : public QDialog {
    Q_OBJECT
public:
    explicit OptionsForm(QWidget* parent = nullptr);

    bool showHints() const;
    void setShowHints(bool on);
    bool alwaysOnTop() const;
    void setAlwaysOnTop(bool on);
    // The selected item of "Minimize to": -1 when none is. A value past the last item
    // selects the last, a negative one selects none.
    int minimizeMode() const;
    void setMinimizeMode(int mode);

    // Spelling: the check box, words in capitals, and the list of languages (code, name) with
    // the chosen codes ticked.
    void setSpelling(bool check, bool skipCapitals,
                     const QList<std::pair<QString, QString>>& languages,
                     const QStringList& chosen);
    bool checkSpelling() const;
    bool skipCapitals() const;
    QStringList spellingLanguages() const;

    void helpClicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void chosenModeTakesTab();
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_helpButton = nullptr;
    QGroupBox* m_mainWindowGroup = nullptr;
    QCheckBox* m_cbShowHints = nullptr;
    QCheckBox* m_cbAlwaysOnTop = nullptr;
    QGroupBox* m_rgMinimize = nullptr;
    QButtonGroup* m_modes = nullptr;
    QGroupBox* m_spellingGroup = nullptr;
    QCheckBox* m_cbCheckSpelling = nullptr;
    QCheckBox* m_cbSkipCapitals = nullptr;
    QListWidget* m_lbLanguages = nullptr;
};

} // namespace qly
