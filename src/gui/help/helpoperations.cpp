#include "help/helpoperations.h"

#include "help/helpviewer.h"
#include "settings/programpaths.h"

namespace qly {

// Help is a convenience: a missing help file or topic shows nothing and is not reported (the
// viewer answers false). Anything else is a fault and goes to the caller's error handling.

void showHelpTopic(const QString& topic) {
    HelpViewer::showTopic(helpFilePath(), topic);
}

void showHelpContents() {
    HelpViewer::showContents(helpFilePath());
}

} // namespace qly
