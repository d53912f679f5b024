#include "helpoperations.h"

namespace qly {

void ShowHelpTopic(const QString& topic) {
    Q_UNUSED(topic);
}

void ShowHelpContents() {}

} // namespace qly
