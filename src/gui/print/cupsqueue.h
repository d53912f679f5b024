#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace qly {

// The print service (CUPS) asked directly, so that what it answers reaches the user: Qt's
// print engine hands a job over and forgets whether it was taken. Each call here may wait for
// the scheduler; run them through offGuiThread.

struct PrinterList {
    QStringList names;
    QString defaultName; // empty when the system names no default
    QString problem;     // why the service could not be asked, as the end of a sentence
};
PrinterList listPrinters();

// Why printer cannot take a job now, as the end of a sentence ("the printer is not
// available"); empty when it can.
QString printerProblem(const QString& printer);

using PrintOptions = QList<std::pair<QByteArray, QByteArray>>;

struct SubmittedJob {
    int id = 0;     // the scheduler's job id; 0 when the job was refused
    QString reason; // why it was refused
};
// Hands the PDF file over as one job named title.
SubmittedJob submitPdf(const QString& printer, const QString& file, const QString& title,
                       const PrintOptions& options);

// Where a handed-over job is: whether the scheduler is done with it, and why it will not print
// (it was stopped or cancelled, or the scheduler no longer answers for it).
struct JobState {
    bool done = false;
    QString problem;
};
JobState jobState(const QString& printer, int jobId);

// Follows a handed-over job until the scheduler has printed it or will not, asking it off the
// GUI thread every IntervalMs; a job that will not print is reported once through `failed`.
// It deletes itself when done.
class JobFollower : public QObject {
    Q_OBJECT
public:
    static constexpr int IntervalMs = 500;
    JobFollower(QString printer, int jobId, QObject* parent);

signals:
    void failed(const QString& reason);

private:
    void ask();

    QString m_printer;
    int m_jobId;
    QTimer m_timer;
};

// Runs work on a thread of its own while this thread keeps painting (user input waits), and
// returns true when it ended within timeoutMs. On a timeout the work finishes on its own
// later: it must own what it touches.
bool offGuiThread(std::function<void()> work, int timeoutMs);

// ask() on a thread of its own; nothing when it took longer than timeoutMs.
template <class T> std::optional<T> askOffGuiThread(std::function<T()> ask, int timeoutMs) {
    auto answer = std::make_shared<std::optional<T>>();
    if (!offGuiThread([ask = std::move(ask), answer] { *answer = ask(); }, timeoutMs))
        return std::nullopt;
    return *answer;
}

} // namespace qly
