#include "mobile/mobileform.h"

#include "dialogs/errorbox.h"
#include "help/helpoperations.h"
#include "mobile/copyanimation.h"
#include "mobile/copyprogressbar.h"
#include "mobile/filecopy.h"
#include "mobile/launcher.h"
#include "mobile/mobilecopy.h"
#include "mobile/mobilepictures.h"
#include "pages/pagestore.h"
#include "pages/pageversions.h"
#include "settings/error.h"
#include "settings/profile.h"
#include "settings/programpaths.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QStandardPaths>
#include <QStylePainter>
#include <QToolButton>

namespace qly {

namespace {

DriveScanRoots g_scanRoots;
MobileForm::FolderPicker g_folderPicker;

constexpr int FormWidth = 393;
constexpr int Column = 289; // width of the left column's boxes
constexpr int LongRight = 200;
constexpr int ShortRight = 276;

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

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int x, int y,
                  bool bold = false) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    l->move(x, y);
    l->adjustSize();
    return l;
}

// A value label whose right edge stays at `right` whatever its text.
QLabel* makeValue(QWidget* parent, const char* name, int right, int width, int y) {
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setGeometry(right - width, y, width, 15);
    return l;
}

QFrame* makePanel(QWidget* parent, const char* name, const QRect& geometry) {
    auto* f = new QFrame(parent);
    f->setObjectName(QLatin1String(name));
    f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    f->setGeometry(geometry);
    return f;
}

QFrame* makeBevel(QWidget* parent, const char* name, int x, int y, int length) {
    auto* b = new QFrame(parent);
    b->setObjectName(QLatin1String(name));
    b->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    b->setGeometry(x, y, length, 2);
    return b;
}

void setElidedText(QLabel* label, const QString& text) {
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->width()));
    label->setToolTip(text);
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
    QFont f = QApplication::font();
    f.setPointSize(8);
    setFont(f);
    buildControls();
    formCreated();
}

void MobileForm::buildControls() {
    const auto button = [this](const char* name, const QString& caption, int y) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(308, y, 75, 25);
        return b;
    };
    m_btClose = button("btClose", tr("Close"), 8);
    connect(m_btClose, &QPushButton::clicked, this, [this] {
        if (!m_copying)
            done(1);
    });
    m_btHelp = button("btHelp", tr("Help"), 44);
    connect(m_btHelp, &QPushButton::clicked, this, &MobileForm::btHelpClick);
    m_btMore = button("btMore", tr("More >>"), 80);
    connect(m_btMore, &QPushButton::clicked, this, &MobileForm::btMoreClick);

    m_leftMargin = new QWidget(this);
    m_leftMargin->setObjectName(QStringLiteral("Panel9"));
    m_leftMargin->setGeometry(0, 0, 8, ExpandedHeight - CaptionAndFrame);
    m_content = new QWidget(this);
    m_content->setObjectName(QStringLiteral("Panel7"));
    m_content->setGeometry(8, 0, Column, ExpandedHeight - CaptionAndFrame);

    // The source box.
    m_sourceBox = makePanel(m_content, "Panel4", {0, 8, 117, 76});
    makeLabel(m_sourceBox, "Label2", tr("Source"), 8, 11, true);
    m_cbSource = new MountComboBox(m_sourceBox);
    m_cbSource->setObjectName(QStringLiteral("cbSource"));
    m_cbSource->setGeometry(54, 8, 59, 21);
    m_cbSource->setEnabled(false);
    m_imSource = new QLabel(m_sourceBox);
    m_imSource->setObjectName(QStringLiteral("imSource"));
    m_imSource->setGeometry(12, 32, 32, 32);
    m_lbSource = makeLabel(m_sourceBox, "lbSource", QString(), 60, 48);
    m_lbSource->setFixedWidth(54);

    // The Copy button between the boxes.
    m_bbCopy = new QToolButton(m_content);
    m_bbCopy->setObjectName(QStringLiteral("bbCopy"));
    m_bbCopy->setText(tr("Copy"));
    m_bbCopy->setIcon(copyArrowIcon());
    m_bbCopy->setIconSize(QSize(20, 20));
    m_bbCopy->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_bbCopy->setGeometry(124, 27, 42, 42);
    connect(m_bbCopy, &QToolButton::clicked, this,
            [this] { runGuarded(this, [this] { bbCopyClick(); }); });

    // The target box.
    m_targetBox = makePanel(m_content, "Panel3", {172, 8, 117, 76});
    makeLabel(m_targetBox, "Label4", tr("Target"), 8, 11, true);
    m_cbTarget = new MountComboBox(m_targetBox);
    m_cbTarget->setObjectName(QStringLiteral("cbTarget"));
    m_cbTarget->setGeometry(54, 8, 59, 21);
    connect(m_cbTarget, &QComboBox::activated, this, [this] {
        if (!m_copying)
            runGuarded(this, [this] { cbTargetChange(); });
    });
    m_imTarget = new QLabel(m_targetBox);
    m_imTarget->setObjectName(QStringLiteral("imTarget"));
    m_imTarget->setGeometry(12, 32, 32, 32);
    m_imTarget->setScaledContents(true);
    m_lbTarget = makeLabel(m_targetBox, "lbTarget", QString(), 60, 48);
    m_lbTarget->setFixedWidth(54);

    // The status line and the progress bar over it.
    m_pnStatus = new QLabel(m_content);
    m_pnStatus->setObjectName(QStringLiteral("pnStatus"));
    m_pnStatus->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_pnStatus->setAlignment(Qt::AlignCenter);
    m_pnStatus->setGeometry(0, 94, Column, 18);
    m_pbCopy = new CopyProgressBar(m_pnStatus);
    m_pbCopy->setObjectName(QStringLiteral("pbCopy"));
    m_pbCopy->setGeometry(m_pnStatus->rect());
    m_pbCopy->setRange(100);
    m_pbCopy->hide();

    // The details.
    m_detailsPanel = makePanel(m_content, "Panel5", {0, 122, Column, 213});
    makeLabel(m_detailsPanel, "Label7", tr("Source"), 8, 8, true);
    m_lbSourcePath = makeLabel(m_detailsPanel, "lbSourcePath", QString(), 56, 8);
    m_lbSourcePath->setFixedWidth(Column - 56 - 8);
    const auto row = [this](const char* caption, const QString& text, const char* longName,
                            const char* shortName, int y, QLabel** longLabel, QLabel** shortLabel) {
        if (caption)
            makeLabel(m_detailsPanel, caption, text, 30, y);
        *longLabel = makeValue(m_detailsPanel, longName, LongRight, 96, y);
        *shortLabel = makeValue(m_detailsPanel, shortName, ShortRight, 70, y);
    };
    row("Label3", tr("Notes space:"), "lbNotes", "lbNotesShort", 28, &m_lbNotes, &m_lbNotesShort);
    const auto check = [this](const char* name, const QString& caption, int y) {
        auto* c = new QCheckBox(caption, m_detailsPanel);
        c->setObjectName(QLatin1String(name));
        c->setChecked(true);
        c->setEnabled(false);
        c->setGeometry(12, y, 104, 17);
        return c;
    };
    m_chConfig = check("chConfig", tr("Configuration:"), 46);
    row(nullptr, {}, "lbConfig", "lbConfigShort", 48, &m_lbConfig, &m_lbConfigShort);
    m_chShell = check("chShell", tr("Shell space:"), 64);
    row(nullptr, {}, "lbShell", "lbShellShort", 66, &m_lbShell, &m_lbShellShort);
    makeBevel(m_detailsPanel, "Bevel1", 12, 86, 266);
    row("TotalLabel", tr("Total:"), "lbTotal", "lbTotalShort", 90, &m_lbTotal, &m_lbTotalShort);
    makeLabel(m_detailsPanel, "Label8", tr("Target"), 8, 122, true);
    m_edTargetPath = new QLineEdit(m_detailsPanel);
    m_edTargetPath->setObjectName(QStringLiteral("edTargetPath"));
    m_edTargetPath->setGeometry(52, 118, 197, 21);
    m_edTargetPath->setReadOnly(true);
    m_edTargetPath->setEnabled(false);
    m_btBrowse = new QPushButton(QStringLiteral("..."), m_detailsPanel);
    m_btBrowse->setObjectName(QStringLiteral("btBrowse"));
    m_btBrowse->setGeometry(256, 118, 21, 21);
    connect(m_btBrowse, &QPushButton::clicked, this, [this] {
        if (!m_copying)
            runGuarded(this, [this] { btBrowseClick(); });
    });
    row("Label1", tr("Free space:"), "lbFree", "lbFreeShort", 146, &m_lbFree, &m_lbFreeShort);
    row("Label5", tr("Used space:"), "lbUsed", "lbUsedShort", 166, &m_lbUsed, &m_lbUsedShort);
    makeBevel(m_detailsPanel, "Bevel2", 12, 186, 266);
    row("Label6", tr("Capacity:"), "lbCapacity", "lbCapacityShort", 190, &m_lbCapacity,
        &m_lbCapacityShort);

    // The copy progress: over the source box, the Copy button and the target box.
    m_pnAni = new QWidget(m_content);
    m_pnAni->setObjectName(QStringLiteral("pnAni"));
    m_pnAni->setGeometry(0, 8, Column, 77);
    m_pnAni->setAutoFillBackground(true);
    m_lbCnt = makeLabel(m_pnAni, "lbCnt", QString(), 8, 0);
    m_lbCnt->setFixedWidth(Column - 16);
    m_anCopy = new CopyAnimation(m_pnAni);
    m_anCopy->setObjectName(QStringLiteral("anCopy"));
    m_anCopy->setGeometry(8, 15, 272, 60);
    m_pnAni->hide();

    setTabOrder(m_btClose, m_btHelp);
    setTabOrder(m_btHelp, m_btMore);
    setTabOrder(m_btMore, m_bbCopy);
    setTabOrder(m_bbCopy, m_cbTarget);
    setTabOrder(m_cbTarget, m_btBrowse);
}

void MobileForm::formCreated() {
    // 1: collapsed.
    setFixedSize(FormWidth, CollapsedHeight - CaptionAndFrame);
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
    setElidedText(m_lbSourcePath, programDir());

    // 3 to 6: what the copy needs. The help file is the one the program shows.
    state.sizes = measureMobileSizes(
        {programPath(), programSettingsFile(), helpFilePath(), pageFolderFor(programDir())});
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
    const bool programPresent =
        !mount.isEmpty() && QFileInfo(state.TargetDir + mobileProgramFileName()).isFile();
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
    m_bbCopy->setEnabled(t.copyEnabled);
    setStatus(mount.isEmpty() && m_cbTarget->count() == 0
                  ? (m_direction == MobileDirection::ToRemovable ? tr("No removable drive found")
                                                                 : tr("No fixed drive found"))
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
    const bool expand = m_btMore->text() == tr("More >>");
    m_btMore->setText(expand ? tr("Less <<") : tr("More >>"));
    m_detailsPanel->setVisible(expand);
    setFixedSize(FormWidth, (expand ? ExpandedHeight : CollapsedHeight) - CaptionAndFrame);
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
    setElidedText(m_pnStatus, text);
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
    m_pnAni->setVisible(copying);
    m_pbCopy->setVisible(copying);
    if (copying) {
        m_pnAni->raise();
        m_anCopy->start();
    } else {
        m_anCopy->stop();
        m_pbCopy->setPosition(0);
    }
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
    forceFolders(target + QStringLiteral("rtf"));
    // What a copy cut short by a crash or a power cut left aside is not needed any more.
    for (const QString& folder : {target, target + QStringLiteral("rtf/")}) {
        const QDir dir(folder);
        for (const QString& stale :
             dir.entryList({QStringLiteral(".qly-copy-*")}, QDir::Files | QDir::Hidden))
            QFile::remove(dir.filePath(stale));
    }
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
    plan.withShell = m_chShell->isChecked();
    plan.notesCount = state.sizes.NotesCount;
    plan.versionsKept = Profile(programSettingsFile())
                            .readInteger(QStringLiteral("Backup"), QStringLiteral("Versions"),
                                         PageVersions::DefaultCount);
    const Drive* own = driveOfPath(m_drives, canonicalProgramPath());
    plan.sourceDrive = own ? driveName(own->mountPoint) : QString();
    plan.targetDrive = drive ? driveName(drive->mountPoint) : QString();
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
    const auto announce = qScopeGuard([this] { emit copyFinished(); });
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
