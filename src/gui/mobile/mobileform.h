#pragma once

#include "mobile/drives.h"
#include "mobile/mobilesizes.h"

#include <QDialog>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace qly {

class CopyAnimation;
class CopyProgressBar;
class Announcer;
class ElidedLabel;
class MobileCopy;
struct MobileCopyResult;

// What Go Mobile measured and chose; it outlives the dialog and is set afresh each time the
// dialog opens or its target is refreshed.
struct GoMobileState {
    MobileSizes sizes;
    qint64 totalSize = 0;
    qint64 TargetFree = 0;
    QString TargetDir; // ends with a separator in normal use
    DriveKind SourceDriveType = DriveKind::Unknown;
};
GoMobileState& goMobileState();

// "Go Mobile": copies the program, its settings, its help file and its pages to a removable
// drive, or from the removable drive back home.
class MobileForm : public QDialog {
    Q_OBJECT
public:
    explicit MobileForm(QWidget* parent = nullptr);
    // A copy still running is asked to stop and waited for (one block).
    ~MobileForm() override;

    // The handlers; those that raise qly::Error leave it to the caller to show. Copy starts
    // the copy on its own thread and returns; its errors show when it ends (copyFinished).
    void cbTargetChange();
    void btMoreClick();
    void btBrowseClick();
    void btHelpClick();
    void bbCopyClick();

    MobileDirection direction() const { return m_direction; }
    bool copying() const { return m_copying; }

    // Tests describe the drives with fixture files and answer the folder picker.
    static void setDriveScanRootsForTesting(const DriveScanRoots& roots);
    using FolderPicker = std::function<std::optional<QString>(QWidget* parent, const QString& start,
                                                              const QString& prompt)>;
    static void setFolderPickerForTesting(FolderPicker picker);

signals:
    // The progress text changed (before the file it names is copied).
    void progressTextChanged(const QString& text);
    // A copy started by bbCopyClick ended, however it ended, and the dialog is back.
    void copyFinished();
    // A copy kept pages changed on both sides (by index) as conflict copies in the target's
    // backup folder: their marks are due there.
    void conflictCopiesKept(const QList<int>& pages);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int px(int designed) const;
    void buildControls();
    void buildButtons();
    void buildDriveBoxes();
    void buildStatus();
    void buildDetails();
    void buildProgress();
    void layOutControls();
    void formCreated();
    void fillTargets(DriveKind kind);
    void selectTargetMount(const QString& mount);
    QString selectedMount() const;
    void showTargetFigures(const TargetState& t);
    void setCountText(const QString& text);
    void setStatus(const QString& text);
    void focusFirstControl();
    void keepOnScreen();
    void copyEnded(const MobileCopyResult& result, const QString& error,
                   const std::exception_ptr& fault);
    void setCopyLook(bool copying);
    void makeDesktopShortcut();
    bool targetStillMounted() const;

    QList<Drive> m_drives;
    MobileDirection m_direction = MobileDirection::None;
    QString m_currentMount; // the mount the target path is relative to
    bool m_locked = false;
    bool m_expanded = false;
    bool m_copying = false;
    std::unique_ptr<MobileCopy> m_job;
    std::thread m_thread;
    std::atomic<qint64> m_progressDone{0};
    std::atomic<qint64> m_progressSize{0};
    std::atomic<bool> m_progressPending{false};

    QPushButton* m_btClose = nullptr;
    QPushButton* m_btHelp = nullptr;
    QPushButton* m_btMore = nullptr;
    QWidget* m_content = nullptr;
    QWidget* m_leftMargin = nullptr;
    QFrame* m_sourceBox = nullptr;
    QComboBox* m_cbSource = nullptr;
    QLabel* m_imSource = nullptr;
    QLabel* m_lbSource = nullptr;
    QToolButton* m_bbCopy = nullptr;
    QFrame* m_targetBox = nullptr;
    QComboBox* m_cbTarget = nullptr;
    QLabel* m_imTarget = nullptr;
    QLabel* m_lbTarget = nullptr;
    ElidedLabel* m_pnStatus = nullptr;
    // Says the copy's result once the focus is back on the dialog's controls.
    Announcer* m_announcer = nullptr;
    CopyProgressBar* m_pbCopy = nullptr;
    QFrame* m_detailsPanel = nullptr;
    ElidedLabel* m_lbSourcePath = nullptr;
    QLabel* m_lbNotes = nullptr;
    QLabel* m_lbNotesShort = nullptr;
    QCheckBox* m_chConfig = nullptr;
    QLabel* m_lbConfig = nullptr;
    QLabel* m_lbConfigShort = nullptr;
    QCheckBox* m_chShell = nullptr;
    QLabel* m_lbShell = nullptr;
    QLabel* m_lbShellShort = nullptr;
    QLabel* m_lbTotal = nullptr;
    QLabel* m_lbTotalShort = nullptr;
    QLineEdit* m_edTargetPath = nullptr;
    QPushButton* m_btBrowse = nullptr;
    QLabel* m_lbFree = nullptr;
    QLabel* m_lbFreeShort = nullptr;
    QLabel* m_lbUsed = nullptr;
    QLabel* m_lbUsedShort = nullptr;
    QLabel* m_lbCapacity = nullptr;
    QLabel* m_lbCapacityShort = nullptr;
    QWidget* m_pnAni = nullptr;
    QLabel* m_lbCnt = nullptr;
    CopyAnimation* m_anCopy = nullptr;
};

} // namespace qly
