#pragma once

#include <QMetaObject>

#include <functional>

class QWidget;

namespace qlytest {

// Runs open, which shows a modal dialog, and runs act once on that dialog (the active modal
// widget of class type) as soon as it holds the focus. Returns whether act ran; open has
// returned by then, so the dialog has closed.
bool actOnModal(const QMetaObject& type, const std::function<void()>& open,
                const std::function<void(QWidget&)>& act);

} // namespace qlytest
