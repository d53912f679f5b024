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

// From now on the reports above are handed to keep (and written to the console) instead of
// shown: the program is closing, and a box would hold the close. The first keep holds until
// showReportsAgain (the window that set it is gone).
void keepReportsForLater(std::function<void(const QString& text)> keep);
void showReportsAgain();
// Whether the program is closing (keepReportsForLater was called): no box may open any more.
bool keepingReportsForLater();

// A short message that does not stop the program: a window of its own with one OK button,
// which the user may leave open while working on. Nothing shows while reports are kept.
void showNotice(QWidget* parent, const QString& text);

// Runs an event handler; an error it raises ends the handler and is shown in the error box.
// Returns false when the handler was ended by an error.
bool runGuarded(QWidget* parent, const std::function<void()>& handler);

} // namespace qly
