#pragma once

#include <functional>

class QObject;

namespace qly {

// Runs the handler on the GUI thread when the process receives SIGTERM or SIGHUP, so the
// program shuts down as a close does (settings written, page saved) before it ends.
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
