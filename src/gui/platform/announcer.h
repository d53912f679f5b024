#pragma once

#include <QWidget>

namespace qly {

// Says a short text to a screen reader without moving the focus: an invisible notification
// that shows itself again with each text. Screen readers speak a notification as it shows;
// a name change of the focused control is dropped by some (Orca 43 with Qt 6.4).
class Announcer : public QWidget {
    Q_OBJECT
public:
    explicit Announcer(QWidget* parent);

    // The text is spoken once, even when it is the same as the last one.
    void announce(const QString& text);
};

} // namespace qly
