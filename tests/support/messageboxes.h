#pragma once

#include <QStringList>

#include <functional>

namespace qlytest {

// Runs action and answers every message box it shows (OK); returns their texts in order.
QStringList answerMessageBoxes(const std::function<void()>& action);
// The same, and then waits up to timeoutMs for boxes shown later until there were `count`.
QStringList answerMessageBoxes(const std::function<void()>& action, qsizetype count, int timeoutMs);

} // namespace qlytest
