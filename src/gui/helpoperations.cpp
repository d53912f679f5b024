#include "helpoperations.h"

#include "helpviewer.h"
#include "programpaths.h"

namespace qly {

// Help is a convenience: whatever goes wrong, the caller carries on and nobody is told.

void ShowHelpTopic(const QString& topic) {
    try {
        HelpViewer::showTopic(helpFilePath(), topic);
    } catch (...) {
    }
}

void ShowHelpContents() {
    try {
        HelpViewer::showContents(helpFilePath());
    } catch (...) {
    }
}

} // namespace qly
