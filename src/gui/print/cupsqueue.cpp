#include "print/cupsqueue.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QLibrary>
#include <QThread>
#include <QTimer>

#include <cups/cups.h>

#include <atomic>
#include <memory>
#include <type_traits>

namespace qly {

namespace {

constexpr int PrintServiceConnectMs = 10000;

// The print service's library, loaded when the program first asks the service. Linked to the
// program, it and the some twenty libraries it needs (TLS, Kerberos, service discovery) would be
// loaded at every start and join every symbol lookup; Qt's own print support loads it then too.
struct CupsLib {
    decltype(&cupsLastError) lastError = nullptr;
    decltype(&cupsLastErrorString) lastErrorString = nullptr;
    decltype(&httpConnect2) connect = nullptr;
    decltype(&httpClose) close = nullptr;
    decltype(&cupsServer) server = nullptr;
    decltype(&ippPort) port = nullptr;
    decltype(&cupsEncryption) encryption = nullptr;
    decltype(&cupsGetDests2) getDests = nullptr;
    decltype(&cupsFreeDests) freeDests = nullptr;
    decltype(&cupsGetNamedDest) getNamedDest = nullptr;
    decltype(&cupsGetOption) getOption = nullptr;
    decltype(&cupsAddOption) addOption = nullptr;
    decltype(&cupsFreeOptions) freeOptions = nullptr;
    decltype(&cupsPrintFile2) printFile = nullptr;
    decltype(&cupsGetJobs2) getJobs = nullptr;
    decltype(&cupsFreeJobs) freeJobs = nullptr;
    QString error; // why the library cannot be used; empty when it can
};

const CupsLib& cupsLib() {
    static const CupsLib lib = [] {
        CupsLib l;
        QLibrary library(QStringLiteral("cups"), 2); // stays loaded for the program's life
        if (!library.load()) {
            l.error = QStringLiteral("the print service's library cannot be loaded (%1)")
                          .arg(library.errorString());
            return l;
        }
        bool complete = true;
        const auto get = [&](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                library.resolve(name));
            complete = complete && function;
        };
        get(l.lastError, "cupsLastError");
        get(l.lastErrorString, "cupsLastErrorString");
        get(l.connect, "httpConnect2");
        get(l.close, "httpClose");
        get(l.server, "cupsServer");
        get(l.port, "ippPort");
        get(l.encryption, "cupsEncryption");
        get(l.getDests, "cupsGetDests2");
        get(l.freeDests, "cupsFreeDests");
        get(l.getNamedDest, "cupsGetNamedDest");
        get(l.getOption, "cupsGetOption");
        get(l.addOption, "cupsAddOption");
        get(l.freeOptions, "cupsFreeOptions");
        get(l.printFile, "cupsPrintFile2");
        get(l.getJobs, "cupsGetJobs2");
        get(l.freeJobs, "cupsFreeJobs");
        if (!complete)
            l.error =
                QStringLiteral("the print service's library %1 is too old").arg(library.fileName());
        return l;
    }();
    return lib;
}

// The reason a request failed, in words for the end of a sentence.
QString lastReason() {
    const CupsLib& cups = cupsLib();
    switch (cups.lastError()) {
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
        return QStringLiteral("the print service is not running");
    case IPP_STATUS_ERROR_NOT_FOUND:
        return QStringLiteral("the printer is not available");
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
        return QStringLiteral("the printer does not accept jobs");
    default:
        break;
    }
    QString text = QString::fromUtf8(cups.lastErrorString()).trimmed();
    if (text.isEmpty())
        return QStringLiteral("the print service refused the job");
    // CUPS writes sentences; the reason follows a colon.
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text.size() > 1 && text.at(1).isLower())
        text[0] = text.at(0).toLower();
    return text;
}

http_t* connectToScheduler() {
    const CupsLib& cups = cupsLib();
    return cups.connect(cups.server(), cups.port(), nullptr, AF_UNSPEC, cups.encryption(), 1,
                        PrintServiceConnectMs, nullptr);
}

bool schedulerAnswers() {
    http_t* http = connectToScheduler();
    if (!http)
        return false;
    cupsLib().close(http);
    return true;
}

} // namespace

PrinterList listPrinters() {
    PrinterList list;
    const CupsLib& cups = cupsLib();
    if (!cups.error.isEmpty()) {
        list.problem = cups.error;
        return list;
    }
    // Asked of the scheduler alone: the default connection would also wait for printers
    // announced on the network.
    http_t* http = connectToScheduler();
    if (!http)
        return list;
    cups_dest_t* dests = nullptr;
    const int count = cups.getDests(http, &dests);
    cups.close(http);
    for (int i = 0; i < count; ++i) {
        if (dests[i].instance)
            continue; // instances are option sets of a printer, not printers
        const QString name = QString::fromUtf8(dests[i].name);
        list.names << name;
        if (dests[i].is_default)
            list.defaultName = name;
    }
    cups.freeDests(count, dests);
    return list;
}

QString printerProblem(const QString& printer) {
    const CupsLib& cups = cupsLib();
    if (!cups.error.isEmpty())
        return cups.error;
    const QByteArray name = printer.toUtf8();
    cups_dest_t* dest = cups.getNamedDest(CUPS_HTTP_DEFAULT, name.constData(), nullptr);
    if (!dest) {
        // Not found, or nobody there to ask: the library reports both alike.
        return schedulerAnswers() ? QStringLiteral("the printer is not available")
                                  : QStringLiteral("the print service is not running");
    }
    const char* accepting =
        cups.getOption("printer-is-accepting-jobs", dest->num_options, dest->options);
    QString problem;
    if (accepting && qstrcmp(accepting, "false") == 0)
        problem = QStringLiteral("the printer does not accept jobs");
    cups.freeDests(1, dest);
    return problem;
}

SubmittedJob submitPdf(const QString& printer, const QString& file, const QString& title,
                       const PrintOptions& options) {
    const CupsLib& cups = cupsLib();
    if (!cups.error.isEmpty())
        return {0, cups.error};
    int count = 0;
    cups_option_t* cupsOptions = nullptr;
    for (const auto& [key, value] : options)
        count = cups.addOption(key.constData(), value.constData(), count, &cupsOptions);
    SubmittedJob job;
    const QByteArray name = printer.toUtf8();
    const QByteArray path = QFile::encodeName(file);
    const QByteArray docName = title.toUtf8();
    job.id = cups.printFile(CUPS_HTTP_DEFAULT, name.constData(), path.constData(),
                            docName.constData(), count, cupsOptions);
    cups.freeOptions(count, cupsOptions);
    if (job.id <= 0) {
        job.id = 0;
        job.reason = lastReason();
    }
    return job;
}

JobState jobState(const QString& printer, int jobId) {
    const CupsLib& cups = cupsLib();
    if (!cups.error.isEmpty())
        return {true, cups.error};
    const QByteArray name = printer.toUtf8();
    cups_job_t* jobs = nullptr;
    const int count =
        cups.getJobs(CUPS_HTTP_DEFAULT, &jobs, name.constData(), 1, CUPS_WHICHJOBS_ALL);
    if (count < 0)
        return {true, lastReason()};
    JobState state{true, {}}; // a job the scheduler no longer lists is done with
    for (int i = 0; i < count; ++i) {
        if (jobs[i].id != jobId)
            continue;
        state.done = jobs[i].state >= IPP_JSTATE_CANCELED;
        if (jobs[i].state == IPP_JSTATE_ABORTED)
            state.problem = QStringLiteral("the printer stopped the job");
        else if (jobs[i].state == IPP_JSTATE_CANCELED)
            state.problem = QStringLiteral("the job was cancelled");
    }
    cups.freeJobs(count, jobs);
    return state;
}

JobFollower::JobFollower(QString printer, int jobId, QObject* parent)
    : QObject(parent), m_printer(std::move(printer)), m_jobId(jobId) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &JobFollower::ask);
    m_timer.start(0);
}

void JobFollower::ask() {
    // The worker owns what it fills: a scheduler that hangs keeps it past this object.
    auto state = std::make_shared<JobState>();
    QThread* thread = QThread::create(
        [state, printer = m_printer, id = m_jobId] { *state = jobState(printer, id); });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, state] {
        if (!state->done)
            return m_timer.start();
        if (!state->problem.isEmpty())
            emit failed(state->problem);
        deleteLater();
    });
    thread->start();
}

bool offGuiThread(std::function<void()> work, int timeoutMs) {
    auto done = std::make_shared<std::atomic_bool>(false);
    QThread* thread = QThread::create([work = std::move(work), done] {
        work();
        done->store(true);
    });
    QEventLoop loop;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    // The thread cleans up after itself, also when it outlives this wait.
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    thread->start();
    if (!done->load())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return done->load();
}

} // namespace qly
