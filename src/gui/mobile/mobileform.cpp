#include "mobile/mobileform.h"

#include "dialogs/desktopfont.h"
#include "dialogs/errorbox.h"
#include "help/helpoperations.h"
#include "mobile/copyanimation.h"
#include "mobile/copyprogressbar.h"
#include "mobile/filecopy.h"
#include "mobile/launcher.h"
#include "mobile/mobilecopy.h"
#include "mobile/mobilepictures.h"
#include "mobile/targetcheck.h"
#include "pages/pagestore.h"
#include "pages/pageversions.h"
#include "platform/announcer.h"
#include "settings/atomicfile.h"
#include "settings/error.h"
#include "settings/profile.h"
#include "settings/programpaths.h"
#include "spelling/carriedfiles.h"
#include "spelling/personalwords.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QStandardPaths>
#include <QStylePainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace qly {

namespace {
// The dictionaries in use and the personal word list, as the settings file names them.
QList<CarriedFile> carriedSpellingFiles() {
    return spellingFilesToCarry(programDir(), programSettingsFile(),
                                PersonalWords::pathFor(programPath()));
}

DriveScanRoots g_scanRoots;
MobileForm::FolderPicker g_folderPicker;

// A drop-down of mount points: the current one by its last part and elided in the middle when
// it is long, the whole path in the list and in the tooltip.
class MountComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        QStyleOptionComboBox opt;
        initStyleOption(&opt);
        p.drawComplexControl(QStyle::CC_ComboBox, opt);
        const QRect field =
            style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
        // A long mount point shows by its last part, the name the drive goes by ("STICK").
        const QFontMetrics fm = fontMetrics();
        QString shown = opt.currentText;
        if (fm.horizontalAdvance(shown) > field.width() && shown.size() > 1)
            shown = shown.section(QLatin1Char('/'), -1);
        opt.currentText = fm.elidedText(shown, Qt::ElideMiddle, field.width());
        p.drawControl(QStyle::CE_ComboBoxLabel, opt);
    }
    void showPopup() override {
        int widest = width();
        for (int i = 0; i < count(); ++i)
            widest = std::max(widest, fontMetrics().horizontalAdvance(itemText(i)) + 24);
        view()->setMinimumWidth(widest);
        QComboBox::showPopup();
    }
};

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, bool bold = false) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    return l;
}

QString withSeparator(QString path) {
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

QString canonicalProgramPath() {
    const QFileInfo info(programPath());
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

// A label that draws a text too long for it elided in the middle, the whole text in its
// tooltip and its accessible name; its width comes from the layout, never from the text.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent) : QLabel(parent) {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        setMinimumWidth(1);
    }
    void setFullText(const QString& text) {
        setText(text);
        setToolTip(text);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        drawFrame(&p);
        const QRect room = contentsRect().adjusted(margin(), 0, -margin(), 0);
        style()->drawItemText(&p, room, int(alignment()), palette(), isEnabled(),
                              fontMetrics().elidedText(text(), Qt::ElideMiddle, room.width()),
                              foregroundRole());
    }
};

GoMobileState& goMobileState() {
    static GoMobileState state;
    return state;
}

void MobileForm::setDriveScanRootsForTesting(const DriveScanRoots& roots) {
    g_scanRoots = roots;
}

void MobileForm::setFolderPickerForTesting(FolderPicker picker) {
    g_folderPicker = std::move(picker);
}

MobileForm::MobileForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("TMobileForm"));
    setWindowTitle(tr("Go Mobile"));
    // Designed in 8 points; the layouts grow with a larger desktop font.
    setFont(designedFont());
    buildControls();
    formCreated();
}

// The designed pixel sizes at the designed 8 points; they grow with the font.
int MobileForm::px(int designed) const {
    return qRound(designed * QFontMetrics(font()).height() / 13.0);
}

void MobileForm::buildControls() {
    buildButtons();
    buildDriveBoxes();
    buildStatus();
    buildDetails();
    buildProgress();
    layOutControls();
    setTabOrder(m_bbCopy, m_cbTarget);
    setTabOrder(m_cbTarget, m_btBrowse);
    setTabOrder(m_btBrowse, m_btClose);
    setTabOrder(m_btClose, m_btHelp);
    setTabOrder(m_btHelp, m_btMore);
}

void MobileForm::buildButtons() {
    const auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setMinimumSize(px(75), px(25));
        return b;
    };
    m_btClose = button("btClose", tr("C&lose"));
    connect(m_btClose, &QPushButton::clicked, this, [this] {
        if (!m_copying)
            done(1);
    });
    m_btHelp = button("btHelp", tr("&Help"));
    connect(m_btHelp, &QPushButton::clicked, this, &MobileForm::btHelpClick);
    m_btMore = button("btMore", tr("&More >>"));
    connect(m_btMore, &QPushButton::clicked, this, &MobileForm::btMoreClick);
    for (QPushButton* b : {m_btClose, m_btHelp, m_btMore})
        b->setAutoDefault(false);
}

void MobileForm::buildDriveBoxes() {
    m_leftMargin = new QWidget(this);
    m_leftMargin->setObjectName(QStringLiteral("Panel9"));
    m_leftMargin->setFixedWidth(px(8));
    m_content = new QWidget(this);
    m_content->setObjectName(QStringLiteral("Panel7"));

    // A drive box: the caption, the drop-down as wide as the box (about sixteen characters of
    // the drive's name), the drive's picture and a size.
    const auto driveBox = [&](const char* boxName, const char* captionName, const QString& caption,
                              const char* comboName, const char* imageName, const char* sizeName,
                              QComboBox** combo, QLabel** image, QLabel** size) {
        auto* box = new QFrame(m_content);
        box->setObjectName(QLatin1String(boxName));
        box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        auto* grid = new QGridLayout(box);
        grid->setContentsMargins(px(8), px(6), px(4), px(6));
        grid->setHorizontalSpacing(px(6));
        grid->setVerticalSpacing(px(3));
        QLabel* label = makeLabel(box, captionName, caption, true);
        *combo = new MountComboBox(box);
        (*combo)->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        // Twelve capitals: about sixteen characters of a usual name.
        (*combo)->setMinimumContentsLength(12);
        (*combo)->setObjectName(QLatin1String(comboName));
        label->setBuddy(*combo);
        *image = new QLabel(box);
        (*image)->setObjectName(QLatin1String(imageName));
        (*image)->setFixedSize(px(32), px(32));
        *size = new QLabel(box);
        (*size)->setObjectName(QLatin1String(sizeName));
        grid->addWidget(label, 0, 0, 1, 2);
        grid->addWidget(*combo, 1, 0, 1, 2);
        grid->addWidget(*image, 2, 0, Qt::AlignHCenter);
        grid->addWidget(*size, 2, 1, Qt::AlignLeft | Qt::AlignVCenter);
        grid->setColumnStretch(1, 1);
        return box;
    };
    m_sourceBox = driveBox("Panel4", "Label2", tr("Source"), "cbSource", "imSource", "lbSource",
                           &m_cbSource, &m_imSource, &m_lbSource);
    m_cbSource->setEnabled(false);
    m_cbSource->setAccessibleName(tr("Source drive"));
    m_targetBox = driveBox("Panel3", "Label4", tr("&Target"), "cbTarget", "imTarget", "lbTarget",
                           &m_cbTarget, &m_imTarget, &m_lbTarget);
    m_cbTarget->setAccessibleName(tr("Target drive"));
    m_imTarget->setScaledContents(true);
    // The figures are read as their text, with what they mean as the description.
    m_lbSource->setAccessibleDescription(tr("Space needed"));
    m_lbTarget->setAccessibleDescription(tr("Free space on the target"));
    connect(m_cbTarget, &QComboBox::activated, this, [this] {
        if (!m_copying)
            runGuarded(this, [this] { cbTargetChange(); });
    });
}

// The Copy button between the boxes, and the status line under them.
void MobileForm::buildStatus() {
    m_bbCopy = new QToolButton(m_content);
    m_bbCopy->setObjectName(QStringLiteral("bbCopy"));
    m_bbCopy->setText(tr("&Copy"));
    m_bbCopy->setAccessibleName(tr("Copy"));
    m_bbCopy->setIcon(copyArrowIcon());
    m_bbCopy->setIconSize(QSize(px(20), px(20)));
    m_bbCopy->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_bbCopy->setMinimumSize(px(42), px(42));
    m_bbCopy->setFocusPolicy(Qt::StrongFocus);
    connect(m_bbCopy, &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { bbCopyClick(); }); });

    // The status line and the progress bar over it.
    m_pnStatus = new ElidedLabel(m_content);
    m_pnStatus->setObjectName(QStringLiteral("pnStatus"));
    m_pnStatus->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_pnStatus->setAlignment(Qt::AlignCenter);
    m_pnStatus->setMinimumHeight(px(18));
    m_pnStatus->setAccessibleName(tr("Status"));
    m_pnStatus->setAccessibleDescription(tr("Status"));
    m_pbCopy = new CopyProgressBar(m_pnStatus);
    m_pbCopy->setObjectName(QStringLiteral("pbCopy"));
    m_pbCopy->setAccessibleName(tr("Copy progress"));
    m_pbCopy->setRange(100);
    m_pbCopy->hide();
    m_announcer = new Announcer(m_content);
}

// The details: captions, long and short figures in three columns that grow with their
// texts, so no byte count is ever cut.
void MobileForm::buildDetails() {
    const QFontMetrics fm(font());
    m_detailsPanel = new QFrame(m_content);
    m_detailsPanel->setObjectName(QStringLiteral("Panel5"));
    m_detailsPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* grid = new QGridLayout(m_detailsPanel);
    grid->setContentsMargins(px(8), px(6), px(10), px(8));
    grid->setHorizontalSpacing(px(8));
    grid->setVerticalSpacing(px(3));
    grid->setColumnStretch(1, 1);
    // Room for a terabyte without the panel changing width from one drive to the next.
    grid->setColumnMinimumWidth(1, fm.horizontalAdvance(formatSizeLong(999999999999.0)));
    grid->setColumnMinimumWidth(2, fm.horizontalAdvance(formatSizeShort(999.99 * 1048576)));
    int row = 0;
    const auto value = [&](const char* name, int column) {
        auto* l = new QLabel(m_detailsPanel);
        l->setObjectName(QLatin1String(name));
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(l, row, column);
        return l;
    };
    const auto figures = [&](QWidget* caption, const char* longName, const char* shortName,
                             QLabel** longLabel, QLabel** shortLabel) {
        grid->addWidget(caption, row, 0);
        *longLabel = value(longName, 1);
        *shortLabel = value(shortName, 2);
        (*longLabel)->setAccessibleDescription(caption->accessibleName());
        ++row;
    };
    const int indent = px(18);
    const auto caption = [&](const char* name, const QString& text) {
        QLabel* l = makeLabel(m_detailsPanel, name, text);
        l->setContentsMargins(indent, 0, 0, 0);
        return l;
    };
    const auto check = [this](const char* name, const QString& text) {
        auto* c = new QCheckBox(text, m_detailsPanel);
        c->setObjectName(QLatin1String(name));
        c->setChecked(true);
        c->setEnabled(false);
        return c;
    };
    const auto bevel = [&](const char* name) {
        auto* b = new QFrame(m_detailsPanel);
        b->setObjectName(QLatin1String(name));
        b->setFrameStyle(QFrame::HLine | QFrame::Sunken);
        grid->addWidget(b, row++, 0, 1, 3);
    };
    grid->addWidget(makeLabel(m_detailsPanel, "Label7", tr("Source"), true), row, 0);
    m_lbSourcePath = new ElidedLabel(m_detailsPanel);
    m_lbSourcePath->setObjectName(QStringLiteral("lbSourcePath"));
    m_lbSourcePath->setAccessibleName(tr("Source folder"));
    grid->addWidget(m_lbSourcePath, row++, 1, 1, 2);
    figures(caption("Label3", tr("Notes space:")), "lbNotes", "lbNotesShort", &m_lbNotes,
            &m_lbNotesShort);
    m_chConfig = check("chConfig", tr("Configuration:"));
    figures(m_chConfig, "lbConfig", "lbConfigShort", &m_lbConfig, &m_lbConfigShort);
    m_chShell = check("chShell", tr("Shell space:"));
    figures(m_chShell, "lbShell", "lbShellShort", &m_lbShell, &m_lbShellShort);
    bevel("Bevel1");
    figures(caption("TotalLabel", tr("Total:")), "lbTotal", "lbTotalShort", &m_lbTotal,
            &m_lbTotalShort);
    grid->setRowMinimumHeight(row++, px(8));
    QLabel* targetCaption = makeLabel(m_detailsPanel, "Label8", tr("Ta&rget"), true);
    m_edTargetPath = new QLineEdit(m_detailsPanel);
    m_edTargetPath->setObjectName(QStringLiteral("edTargetPath"));
    m_edTargetPath->setReadOnly(true);
    m_edTargetPath->setEnabled(false);
    m_edTargetPath->setAccessibleName(tr("Target folder"));
    targetCaption->setBuddy(m_edTargetPath);
    m_btBrowse = new QPushButton(QStringLiteral("..."), m_detailsPanel);
    m_btBrowse->setObjectName(QStringLiteral("btBrowse"));
    m_btBrowse->setAutoDefault(false);
    m_btBrowse->setFixedSize(px(21), px(21));
    m_btBrowse->setAccessibleName(tr("Choose the target folder"));
    m_btBrowse->setToolTip(tr("Choose the target folder"));
    connect(m_btBrowse, &QPushButton::clicked, this, [this] {
        if (!m_copying)
            runGuarded(this, [this] { btBrowseClick(); });
    });
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_edTargetPath, 1);
    pathRow->addWidget(m_btBrowse);
    grid->addWidget(targetCaption, row, 0);
    grid->addLayout(pathRow, row++, 1, 1, 2);
    figures(caption("Label1", tr("Free space:")), "lbFree", "lbFreeShort", &m_lbFree,
            &m_lbFreeShort);
    figures(caption("Label5", tr("Used space:")), "lbUsed", "lbUsedShort", &m_lbUsed,
            &m_lbUsedShort);
    bevel("Bevel2");
    figures(caption("Label6", tr("Capacity:")), "lbCapacity", "lbCapacityShort", &m_lbCapacity,
            &m_lbCapacityShort);
}

// The copy progress: over the source box, the Copy button and the target box.
void MobileForm::buildProgress() {
    m_pnAni = new QWidget(m_content);
    m_pnAni->setObjectName(QStringLiteral("pnAni"));
    m_pnAni->setAutoFillBackground(true);
    auto* aniLayout = new QVBoxLayout(m_pnAni);
    aniLayout->setContentsMargins(px(8), 0, px(8), 0);
    aniLayout->setSpacing(px(2));
    m_lbCnt = makeLabel(m_pnAni, "lbCnt", QString());
    m_lbCnt->setAccessibleDescription(tr("File being copied"));
    m_anCopy = new CopyAnimation(m_pnAni);
    m_anCopy->setObjectName(QStringLiteral("anCopy"));
    aniLayout->addWidget(m_lbCnt);
    aniLayout->addWidget(m_anCopy, 1);
    m_pnAni->hide();
}

void MobileForm::layOutControls() {
    auto* boxes = new QHBoxLayout;
    boxes->setSpacing(px(7));
    boxes->addWidget(m_sourceBox, 1);
    boxes->addWidget(m_bbCopy, 0, Qt::AlignVCenter);
    boxes->addWidget(m_targetBox, 1);
    auto* column = new QVBoxLayout(m_content);
    column->setContentsMargins(0, px(8), 0, px(8));
    column->setSpacing(px(10));
    column->addLayout(boxes);
    column->addWidget(m_pnStatus);
    column->addWidget(m_detailsPanel);
    auto* buttons = new QVBoxLayout;
    buttons->setContentsMargins(0, px(8), 0, px(8));
    buttons->setSpacing(px(11));
    buttons->addWidget(m_btClose);
    buttons->addWidget(m_btHelp);
    buttons->addWidget(m_btMore);
    buttons->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, px(10), 0);
    outer->setSpacing(0);
    outer->addWidget(m_leftMargin);
    outer->addWidget(m_content, 1);
    outer->addSpacing(px(11));
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);
}

void MobileForm::formCreated() {
    // 1: collapsed.
    m_detailsPanel->hide();
    GoMobileState& state = goMobileState();

    // 2: the source.
    const QString program = canonicalProgramPath();
    m_drives = scanDrives(g_scanRoots);
    const Drive* own = driveOfPath(m_drives, program);
    if (own) {
        m_cbSource->addItem(own->mountPoint);
        m_cbSource->setToolTip(own->mountPoint);
    }
    m_lbSourcePath->setFullText(programDir());

    // 3 to 6: what the copy needs. The help file is the one the program shows.
    state.sizes = measureMobileSizes({programPath(), programSettingsFile(), helpFilePath(),
                                      pageFolderFor(programDir()), carriedSpellingFiles()});
    const MobileSizes& s = state.sizes;
    m_lbNotes->setText(formatSizeLong(double(s.NotesSize)));
    m_lbNotesShort->setText(formatSizeShort(double(s.NotesSize)));
    m_lbConfig->setText(formatSizeLong(double(s.ConfigSize)));
    m_lbConfigShort->setText(formatSizeShort(double(s.ConfigSize)));
    m_lbShell->setText(s.ShellSize ? formatSizeLong(double(s.ShellSize)) : tr("Unknown"));
    m_lbShellShort->setText(s.ShellSize ? formatSizeShort(double(s.ShellSize)) : tr("Unknown"));
    state.totalSize = s.totalSize(true, true);
    m_lbTotal->setText(formatSizeLong(double(state.totalSize)));
    m_lbTotalShort->setText(formatSizeShort(double(state.totalSize)));
    m_lbSource->setText(formatSizeShort(double(state.totalSize)));

    // 7: the direction.
    state.SourceDriveType = own ? own->kind : DriveKind::NoRoot;
    state.TargetDir.clear();
    state.TargetFree = 0;
    m_direction = mobileDirection(state.SourceDriveType);
    m_btBrowse->setEnabled(false);
    m_imSource->setPixmap(drivePicture(state.SourceDriveType));
    if (m_direction == MobileDirection::None) {
        // Nothing to copy to: no target, no copy.
        m_bbCopy->setEnabled(false);
        m_cbTarget->setEnabled(false);
        if (state.SourceDriveType == DriveKind::NoRoot)
            showMessage(this, tr("The root directory does not exist"));
        else if (state.SourceDriveType == DriveKind::Unknown)
            showMessage(this, tr("The drive type cannot be determined"));
        else
            setStatus(tr("No target for this drive"));
        return;
    }
    const DriveKind wanted = targetKind(m_direction);
    m_imTarget->setPixmap(drivePicture(wanted));
    fillTargets(wanted);
    if (m_direction == MobileDirection::ToRemovable) {
        m_edTargetPath->setText(QStringLiteral("Quillery/"));
        m_currentMount.clear();
        if (m_cbTarget->count() > 0)
            m_cbTarget->setCurrentIndex(0);
        cbTargetChange();
        return;
    }
    const QString home = defaultHomeTarget(programSettingsFile(), QDir::homePath());
    m_edTargetPath->setText(home);
    const Drive* holder = driveOfPath(m_drives, home);
    m_currentMount = holder ? holder->mountPoint : QString();
    selectTargetMount(holder && holder->kind == DriveKind::Fixed ? holder->mountPoint : QString());
    m_btBrowse->setEnabled(true);
    cbTargetChange();
    if (QFileInfo(state.TargetDir + mobileProgramFileName()).isFile()) {
        m_locked = true;
        m_cbTarget->setEnabled(false);
        m_edTargetPath->setEnabled(false);
        m_btBrowse->setEnabled(false);
    }
}

void MobileForm::fillTargets(DriveKind kind) {
    for (const Drive& d : std::as_const(m_drives)) {
        if (d.kind != kind)
            continue;
        m_cbTarget->addItem(d.mountPoint, d.mountPoint);
        m_cbTarget->setItemData(m_cbTarget->count() - 1, d.mountPoint, Qt::ToolTipRole);
    }
}

void MobileForm::selectTargetMount(const QString& mount) {
    m_cbTarget->setCurrentIndex(mount.isEmpty() ? -1 : m_cbTarget->findData(mount));
}

QString MobileForm::selectedMount() const {
    return m_cbTarget->currentIndex() < 0 ? QString() : m_cbTarget->currentData().toString();
}

bool MobileForm::targetStillMounted() const {
    const QString mount = selectedMount();
    if (mount.isEmpty())
        return false;
    const QList<Drive> now = scanDrives(g_scanRoots);
    return std::any_of(now.begin(), now.end(), [&](const Drive& d) {
        return d.mountPoint == mount && d.kind == targetKind(m_direction);
    });
}

void MobileForm::cbTargetChange() {
    GoMobileState& state = goMobileState();
    // 1: the same folder on the newly chosen drive.
    const QString mount = selectedMount();
    if (!mount.isEmpty()) {
        m_edTargetPath->setText(retargetPath(m_edTargetPath->text(), m_currentMount, mount));
        m_currentMount = mount;
    }
    state.TargetDir = withSeparator(m_edTargetPath->text());
    m_edTargetPath->setToolTip(state.TargetDir);
    m_cbTarget->setToolTip(mount);
    // 2 to 5: the program already there, the totals, the drive's figures.
    // A program folder that a cut copy left incomplete is copied again.
    const bool programPresent =
        !mount.isEmpty() &&
        programCopyComplete(QFileInfo(programPath()).absolutePath() + QLatin1Char('/'),
                            programPath(), helpFilePath(), state.TargetDir);
    const bool ready = targetStillMounted() && isDriveReady(mount);
    const TargetState t = evaluateTarget(state.sizes, m_chConfig->isChecked(), programPresent,
                                         ready, ready ? driveSpace(mount) : DriveSpace{});
    m_chShell->setChecked(t.shellNeeded);
    state.totalSize = t.total;
    state.TargetFree = t.space.free;
    m_lbTotal->setText(formatSizeLong(double(t.total)));
    m_lbTotalShort->setText(formatSizeShort(double(t.total)));
    m_lbSource->setText(formatSizeShort(double(t.total)));
    showTargetFigures(t);
    // A target that cannot be written is said before Copy is offered.
    const QString writeProblem =
        t.ready && !mount.isEmpty() ? targetWriteProblem(state.TargetDir) : QString();
    m_bbCopy->setEnabled(t.copyEnabled && writeProblem.isEmpty());
    setStatus(mount.isEmpty() && m_cbTarget->count() == 0
                  ? (m_direction == MobileDirection::ToRemovable ? tr("No removable drive found")
                                                                 : tr("No fixed drive found"))
              : !writeProblem.isEmpty()
                  ? tr("The target %1 cannot be written (%2)")
                        .arg(QDir::toNativeSeparators(state.TargetDir), writeProblem)
                  : t.status);
}

void MobileForm::showTargetFigures(const TargetState& t) {
    if (!t.ready) {
        for (QLabel* l : {m_lbTarget, m_lbFree, m_lbFreeShort, m_lbUsed, m_lbUsedShort,
                          m_lbCapacity, m_lbCapacityShort})
            l->setText(QStringLiteral("0"));
        return;
    }
    const double free = double(t.space.free), capacity = double(t.space.capacity);
    m_lbTarget->setText(formatSizeShort(free));
    m_lbFree->setText(formatSizeLong(free));
    m_lbFreeShort->setText(formatSizeShort(free));
    m_lbUsed->setText(formatSizeLong(capacity - free));
    m_lbUsedShort->setText(formatSizeShort(capacity - free));
    m_lbCapacity->setText(formatSizeLong(capacity));
    m_lbCapacityShort->setText(formatSizeShort(capacity));
}

void MobileForm::btMoreClick() {
    m_expanded = !m_expanded;
    m_btMore->setText(m_expanded ? tr("&Less <<") : tr("&More >>"));
    m_detailsPanel->setVisible(m_expanded);
    m_content->layout()->activate();
    layout()->activate();
    keepOnScreen();
}

void MobileForm::keepOnScreen() {
    // Grown by More, the dialog moves up as far as it must to stay on the screen.
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen || !isVisible())
        return;
    const QRect area = screen->availableGeometry();
    const QRect frame = frameGeometry();
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    if (y != frame.top())
        move(x(), y);
}

void MobileForm::btBrowseClick() {
    const QString prompt = tr("Select a path to the target Quillery location");
    std::optional<QString> picked;
    if (g_folderPicker) {
        picked = g_folderPicker(this, m_edTargetPath->text(), prompt);
    } else {
        const QString dir = QFileDialog::getExistingDirectory(this, prompt, m_edTargetPath->text(),
                                                              QFileDialog::ShowDirsOnly);
        if (!dir.isEmpty())
            picked = dir;
    }
    if (!picked)
        return;
    const QString chosen = QDir::cleanPath(*picked);
    m_drives = scanDrives(g_scanRoots);
    const Drive* drive = driveOfPath(m_drives, chosen);
    if (!drive || m_cbTarget->findData(drive->mountPoint) < 0) {
        showMessage(this, tr("Select another location (non-removable)"));
        return;
    }
    selectTargetMount(drive->mountPoint);
    m_currentMount = drive->mountPoint;
    m_edTargetPath->setText(targetInPickedFolder(chosen));
    cbTargetChange();
}

void MobileForm::btHelpClick() {
    showHelpTopic(QLatin1String(GoMobileHelpTopic));
}

void MobileForm::setCountText(const QString& text) {
    m_lbCnt->setText(text);
    emit progressTextChanged(text);
}

void MobileForm::setStatus(const QString& text) {
    m_pnStatus->setFullText(text);
    // What a screen reader reads: the whole text, announced as a name change.
    m_pnStatus->setAccessibleName(text.isEmpty() ? tr("Status") : text);
}

void MobileForm::setCopyLook(bool copying) {
    m_copying = copying;
    for (QWidget* w : {static_cast<QWidget*>(m_btHelp), static_cast<QWidget*>(m_btMore),
                       static_cast<QWidget*>(m_btClose)})
        w->setEnabled(!copying);
    m_cbTarget->setEnabled(!copying && !m_locked);
    m_btBrowse->setEnabled(!copying && !m_locked && m_direction == MobileDirection::Home);
    if (copying) {
        // Over the source box, the Copy button and the target box, and over the status line.
        m_pnAni->setGeometry(m_sourceBox->geometry().united(m_targetBox->geometry()));
        m_pbCopy->setGeometry(m_pnStatus->rect());
    }
    m_pnAni->setVisible(copying);
    m_pbCopy->setVisible(copying);
    if (copying) {
        m_pnAni->raise();
        m_anCopy->start();
        // The focus waits on the bar, which stays enabled, and reads the progress.
        m_pbCopy->setFocusPolicy(Qt::StrongFocus);
        m_pbCopy->setFocus();
    } else {
        m_anCopy->stop();
        m_pbCopy->setPosition(0);
        m_pbCopy->setFocusPolicy(Qt::NoFocus);
    }
}

void MobileForm::focusFirstControl() {
    if (m_bbCopy->isEnabled())
        m_bbCopy->setFocus();
    else
        m_btClose->setFocus();
}

MobileForm::~MobileForm() {
    if (m_job)
        m_job->requestStop();
    if (m_thread.joinable())
        m_thread.join();
}

void MobileForm::bbCopyClick() {
    if (m_copying || !m_bbCopy->isEnabled())
        return;
    GoMobileState& state = goMobileState();
    // A stick pulled since the last look: never write into the empty mount folder.
    if (!targetStillMounted()) {
        cbTargetChange();
        return;
    }
    m_bbCopy->setEnabled(false);
    setCopyLook(true);
    // Whatever ends the start, the dialog comes back; once the copy runs, its end does that.
    auto restore = qScopeGuard([this] {
        setCopyLook(false);
        m_bbCopy->setEnabled(true);
    });
    state.TargetDir = withSeparator(m_edTargetPath->text());
    const QString& target = state.TargetDir;
    // The target's folders, made now: a drive that refuses them says why.
    if (const IoResult<Folder> made = openFolder(target + QStringLiteral("rtf"), true); !made)
        throw Error(
            QStringLiteral("Cannot create folder %1: %2")
                .arg(QDir::toNativeSeparators(target + QStringLiteral("rtf")), made.reason()));
    // What a copy cut short by a crash, a power cut or a pulled stick left aside is not
    // needed any more.
    removeCopyLeftovers(target);
    // The way home, recorded before the settings are copied.
    const Drive* drive = driveOfPath(m_drives, target);
    if (drive && drive->kind == DriveKind::Removable)
        Profile(programSettingsFile())
            .writeString(QStringLiteral("CurrentState"), QStringLiteral("HomeDir"), programDir());

    MobileCopyPlan plan;
    plan.settingsFile = programSettingsFile();
    plan.programFile = programPath();
    plan.helpFile = helpFilePath();
    plan.pageFolder = pageFolderFor(programDir());
    plan.targetDir = target;
    plan.spellingFiles = carriedSpellingFiles();
    plan.withShell = m_chShell->isChecked();
    plan.notesCount = state.sizes.NotesCount;
    plan.versionsKept = Profile(programSettingsFile())
                            .readInteger(QStringLiteral("Backup"), QStringLiteral("Versions"),
                                         PageVersions::DefaultCount);
    const Drive* own = driveOfPath(m_drives, canonicalProgramPath());
    plan.sourceDrive = own ? driveName(own->mountPoint) : QString();
    plan.targetDrive = drive ? driveName(drive->mountPoint) : QString();
    plan.targetMount = drive ? drive->mountPoint : QString();
    plan.launcherScript = drive && drive->kind == DriveKind::Removable;
    m_job = std::make_unique<MobileCopy>(plan);

    // The copy runs on its own thread; the dialog hears of it through queued calls, the bar
    // once for however many blocks went by since it last drew.
    MobileCopyReport report;
    report.step = [this](const QString& text) {
        QMetaObject::invokeMethod(
            this, [this, text] { setCountText(text); }, Qt::QueuedConnection);
    };
    report.progress = [this](qint64 done, qint64 size) {
        m_progressDone = done;
        m_progressSize = size;
        if (m_progressPending.exchange(true))
            return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_progressPending = false;
                m_pbCopy->setRange(m_progressSize);
                m_pbCopy->setPosition(m_progressDone);
            },
            Qt::QueuedConnection);
    };
    m_thread = std::thread([this, report] {
        MobileCopyResult result;
        QString error;
        std::exception_ptr fault;
        try {
            result = m_job->run(report);
        } catch (const Error& e) {
            error = e.message();
        } catch (...) {
            // Carried to the dialog's thread and raised there, after the dialog is restored.
            fault = std::current_exception();
        }
        QMetaObject::invokeMethod(
            this, [this, result, error, fault] { copyEnded(result, error, fault); },
            Qt::QueuedConnection);
    });
    restore.dismiss();
}

void MobileForm::copyEnded(const MobileCopyResult& result, const QString& error,
                           const std::exception_ptr& fault) {
    if (m_thread.joinable())
        m_thread.join();
    m_job.reset();
    const auto announce = qScopeGuard([this] {
        focusFirstControl();
        // After the focus: a screen reader's report of the focus would cut the result off.
        m_announcer->announce(m_pnStatus->text());
        emit copyFinished();
    });
    if (fault || !error.isEmpty() || result.stopped) {
        // The dialog looks as before, with the error in the status line; the error box
        // follows.
        setCopyLook(false);
        m_bbCopy->setEnabled(true);
        setStatus(result.stopped ? tr("Copy stopped") : error);
        if (fault)
            std::rethrow_exception(fault);
        if (!error.isEmpty())
            showErrorBox(this, error);
        return;
    }
    {
        bool canCopyAgain = true;
        const auto restore = qScopeGuard([this, &canCopyAgain] {
            setCopyLook(false);
            m_bbCopy->setEnabled(canCopyAgain);
        });
        // The target as it is now, and the way back from the desktop.
        cbTargetChange();
        canCopyAgain = m_bbCopy->isEnabled();
        if (goMobileState().SourceDriveType == DriveKind::Removable)
            makeDesktopShortcut();
    }
    setStatus(copyCompleteText(result));
    if (!result.bothSidesKept.isEmpty()) {
        QList<int> pages;
        for (const QString& letter : result.bothSidesKept)
            if (letter.size() == 1 && letter[0] >= u'A' && letter[0] <= u'Z')
                pages << letter[0].unicode() - u'A';
        emit conflictCopiesKept(pages);
    }
}

void MobileForm::makeDesktopShortcut() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    // No desktop folder (or the home folder standing in for one): no shortcut.
    if (desktop.isEmpty() || !QFileInfo(desktop).isDir() || QDir(desktop) == QDir(QDir::homePath()))
        return;
    const QString& target = goMobileState().TargetDir;
    // The icon beside the program, else the one the desktop's theme knows by name.
    QString icon = QStringLiteral("quillery");
    for (const char* name : {"qly.svg", "qly.png"}) {
        if (QFileInfo(target + QLatin1String(name)).isFile()) {
            icon = target + QLatin1String(name);
            break;
        }
    }
    try {
        writeDesktopLauncher(desktop, target + mobileProgramFileName(), icon);
    } catch (const Error&) {
        // A shortcut that cannot be saved is not reported: the copy itself is complete.
    }
}

void MobileForm::showEvent(QShowEvent* event) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - frameGeometry().width()) / 2,
             area.y() + (area.height() - frameGeometry().height()) / 2);
    }
    QDialog::showEvent(event);
    // Enter copies: the focus starts on Copy.
    focusFirstControl();
}

void MobileForm::closeEvent(QCloseEvent* event) {
    if (m_copying)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void MobileForm::keyPressEvent(QKeyEvent* event) {
    if (m_copying)
        return;
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !qobject_cast<QPushButton*>(focusWidget())) {
        // Copy is the default button.
        if (m_bbCopy->isEnabled())
            m_bbCopy->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace qly
