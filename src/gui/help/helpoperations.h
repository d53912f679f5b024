#pragma once

#include <QString>

namespace qly {

// The topic pages the program's dialogs open with their Help buttons.
inline constexpr char OptionsHelpTopic[] = "HTML/qly5a40.htm";
inline constexpr char PrintPreviewHelpTopic[] = "HTML/qly5a28.htm";
inline constexpr char GoMobileHelpTopic[] = "HTML/qly0k1c.htm";

// Opens one topic page of the help file, such as "HTML/qly5a40.htm". Never reports a
// failure: with no help file or no such topic nothing is shown.
void showHelpTopic(const QString& topic);

// Opens the help file at its table of contents; never reports a failure.
void showHelpContents();

} // namespace qly
