#pragma once

#include <functional>

class QObject;

namespace qly {

// How long after SIGTERM or SIGHUP the process ends at the latest, whatever holds it (a save
// that waits on a drive, a dialog's own loop): a session manager waits for no more.
inline constexpr int TerminationDeadlineMs = 1600;

// Runs the handler on the GUI thread when the process receives SIGTERM or SIGHUP, so the
// program shuts down as a close does (settings written, page saved) before it ends; the
// process ends TerminationDeadlineMs after the signal in any case.
void installTerminationHandler(std::function<void()> handler);

// Runs the handler when the process ends while guard still lives: the toolkit ends the
// process this way when the display connection breaks (X server or compositor gone). The
// handler runs on the thread that ends the process, and no window can be shown any more.
void installExitSave(QObject* guard, std::function<void()> handler);

// While on, a termination signal ends the process at once without running the handler or
// writing anything: for the moments in which everything the program holds is on disk as it
// is, and the handler might have to wait for a long step on the GUI thread.
void setQuickExit(bool on);

} // namespace qly
