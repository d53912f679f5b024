#pragma once

#include <QString>

namespace qly {

// Opens one topic page of the help file, such as "HTML/qly5a40.htm". Never reports a
// failure: with no help file or no such topic nothing is shown.
void ShowHelpTopic(const QString& topic);

// Opens the help file at its table of contents; never reports a failure.
void ShowHelpContents();

} // namespace qly
