#pragma once

#include <QStringList>

#include <functional>

namespace qlytest {

// Runs action and answers every message box it shows (OK); returns their texts in order.
QStringList answerMessageBoxes(const std::function<void()>& action);

} // namespace qlytest
