#include "dialogs/optionsform.h"

#include "dialogs/desktopfont.h"
#include "help/helpoperations.h"
#include "platform/displaychoice.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace qly {

namespace {
constexpr int ModeCount = 3;

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& geometry) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    return b;
}

QCheckBox* makeCheckBox(QWidget* parent, const char* name, const QString& caption,
                        const QRect& geometry) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QLatin1String(name));
    c->setGeometry(geometry);
    return c;
}
} // namespace

OptionsForm::OptionsForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("OptionsForm"));
    setWindowTitle(tr("Options"));
    setFixedSize(242, 381);
    setFont(designedFont());

    // Created in tab order.
    m_okButton = makeButton(this, "Button1", tr("OK"), {156, 12, 75, 25});
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    m_cancelButton = makeButton(this, "Button2", tr("Cancel"), {156, 48, 75, 25});
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    m_helpButton = makeButton(this, "Button3", tr("&Help"), {156, 84, 75, 25});
    connect(m_helpButton, &QPushButton::clicked, this, &OptionsForm::helpClicked);

    m_mainWindowGroup = new QGroupBox(tr(" Main window "), this);
    m_mainWindowGroup->setObjectName(QStringLiteral("GroupBox2"));
    m_mainWindowGroup->setGeometry(8, 8, 133, 85);
    m_cbShowHints =
        makeCheckBox(m_mainWindowGroup, "cbShowHints", tr("&Show hints"), {12, 56, 115, 17});
    m_cbAlwaysOnTop =
        makeCheckBox(m_mainWindowGroup, "cbAlwaysOnTop", tr("&Always on top"), {12, 28, 115, 17});

    // A Wayland compositor keeps the stacking and the places of windows to itself: what the
    // program cannot do there is shown as such rather than left to do nothing.
    if (compositorPlacesWindows()) {
        m_cbAlwaysOnTop->setEnabled(false);
        m_cbAlwaysOnTop->setToolTip(
            tr("Not available on Wayland: the compositor decides which window stays on top."));
    }

    m_rgMinimize = new QGroupBox(tr(" Minimize to "), this);
    m_rgMinimize->setObjectName(QStringLiteral("rgMinimize"));
    m_rgMinimize->setGeometry(8, 104, 133, 102);
    m_modes = new QButtonGroup(this);
    const QString captions[ModeCount] = {tr("Task&bar button"), tr("System &tray icon"),
                                         tr("&Floating button")};
    for (int i = 0; i < ModeCount; ++i) {
        auto* r = new QRadioButton(captions[i], m_rgMinimize);
        r->setObjectName(QStringLiteral("rgMinimizeItem%1").arg(i));
        r->setGeometry(8, 22 + 25 * i, 121, 20);
        m_modes->addButton(r, i);
    }
    if (compositorPlacesWindows())
        m_modes->button(2)->setToolTip(
            tr("On Wayland the compositor places the floating button and may cover it."));

    // Spelling, under the rest: the dialog grew downwards for it.
    m_spellingGroup = new QGroupBox(tr(" Spelling "), this);
    m_spellingGroup->setObjectName(QStringLiteral("gbSpelling"));
    m_spellingGroup->setGeometry(8, 214, 223, 159);
    m_cbCheckSpelling = makeCheckBox(m_spellingGroup, "cbCheckSpelling",
                                     tr("Check spelling as you t&ype"), {12, 20, 203, 17});
    m_cbSkipCapitals = makeCheckBox(m_spellingGroup, "cbSkipCapitals",
                                    tr("Skip words in &capitals"), {12, 40, 203, 17});
    auto* languagesLabel = new QLabel(tr("&Languages:"), m_spellingGroup);
    languagesLabel->setObjectName(QStringLiteral("lbLanguagesLabel"));
    languagesLabel->setGeometry(12, 60, 203, 15);
    m_lbLanguages = new QListWidget(m_spellingGroup);
    m_lbLanguages->setObjectName(QStringLiteral("lbLanguages"));
    m_lbLanguages->setGeometry(12, 76, 203, 75);
    m_lbLanguages->setAccessibleName(tr("Languages"));
    languagesLabel->setBuddy(m_lbLanguages);

    setTabOrder(m_okButton, m_cancelButton);
    setTabOrder(m_cancelButton, m_helpButton);
    // The check boxes in the order they stand; then the chosen mode, the one radio button
    // that Tab stops at (the arrows move between them).
    setTabOrder(m_helpButton, m_cbAlwaysOnTop);
    setTabOrder(m_cbAlwaysOnTop, m_cbShowHints);
    setTabOrder(m_cbShowHints, m_modes->button(0));
    for (int i = 1; i < ModeCount; ++i)
        setTabOrder(m_modes->button(i - 1), m_modes->button(i));
    setTabOrder(m_modes->button(ModeCount - 1), m_cbCheckSpelling);
    setTabOrder(m_cbCheckSpelling, m_cbSkipCapitals);
    setTabOrder(m_cbSkipCapitals, m_lbLanguages);
    connect(m_modes, &QButtonGroup::idToggled, this, [this] { chosenModeTakesTab(); });
    setMinimizeMode(0);
    growWithDesktopFont(this);
}

bool OptionsForm::showHints() const {
    return m_cbShowHints->isChecked();
}

void OptionsForm::setShowHints(bool on) {
    m_cbShowHints->setChecked(on);
}

bool OptionsForm::alwaysOnTop() const {
    return m_cbAlwaysOnTop->isChecked();
}

void OptionsForm::setAlwaysOnTop(bool on) {
    m_cbAlwaysOnTop->setChecked(on);
}

void OptionsForm::chosenModeTakesTab() {
    const int chosen = m_modes->checkedId();
    for (QAbstractButton* b : m_modes->buttons()) {
        const bool stop = chosen < 0 ? b == m_modes->button(0) : m_modes->id(b) == chosen;
        b->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

int OptionsForm::minimizeMode() const {
    return m_modes->checkedId();
}

void OptionsForm::setMinimizeMode(int mode) {
    if (mode < 0) {
        // An exclusive group never clears its last choice on its own.
        m_modes->setExclusive(false);
        for (QAbstractButton* b : m_modes->buttons())
            b->setChecked(false);
        m_modes->setExclusive(true);
        chosenModeTakesTab();
        return;
    }
    m_modes->button(std::min(mode, ModeCount - 1))->setChecked(true);
}

void OptionsForm::setSpelling(bool check, bool skipCapitals,
                              const QList<std::pair<QString, QString>>& languages,
                              const QStringList& chosen) {
    m_cbCheckSpelling->setChecked(check);
    m_cbSkipCapitals->setChecked(skipCapitals);
    m_lbLanguages->clear();
    for (const auto& [code, name] : languages) {
        auto* item = new QListWidgetItem(name, m_lbLanguages);
        item->setData(Qt::UserRole, code);
        item->setToolTip(code);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(chosen.contains(code) ? Qt::Checked : Qt::Unchecked);
    }
    if (m_lbLanguages->count() > 0)
        m_lbLanguages->setCurrentRow(0);
}

bool OptionsForm::checkSpelling() const {
    return m_cbCheckSpelling->isChecked();
}

bool OptionsForm::skipCapitals() const {
    return m_cbSkipCapitals->isChecked();
}

QStringList OptionsForm::spellingLanguages() const {
    QStringList codes;
    for (int i = 0; i < m_lbLanguages->count(); ++i) {
        const QListWidgetItem* item = m_lbLanguages->item(i);
        if (item->checkState() == Qt::Checked)
            codes << item->data(Qt::UserRole).toString();
    }
    return codes;
}

void OptionsForm::helpClicked() {
    showHelpTopic(QStringLiteral("HTML/qly5a40.htm"));
}

void OptionsForm::showEvent(QShowEvent* event) {
    // Centred on the screen, not on the main window.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    QDialog::showEvent(event);
}

} // namespace qly
