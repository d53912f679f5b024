#pragma once

#include <functional>

namespace qly {

// Runs the handler on the GUI thread when the process receives SIGTERM or SIGHUP, so the
// program shuts down as a close does (settings written, page saved) before it ends.
void installTerminationHandler(std::function<void()> handler);

} // namespace qly
