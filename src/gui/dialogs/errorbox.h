#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace qly {

// The application's error report: the message (with the full-stop rule), the application
// title as caption, an error icon and an OK button.
void showErrorBox(QWidget* parent, const QString& message);

// The program's own messages: a plain box with the application title and one OK button.
void showMessage(QWidget* parent, const QString& text);

// From now on the reports above go to the console: the display is gone.
void reportToConsoleOnly();

// Runs an event handler; an error it raises ends the handler and is shown in the error box.
// Returns false when the handler was ended by an error.
bool runGuarded(QWidget* parent, const std::function<void()>& handler);

} // namespace qly
