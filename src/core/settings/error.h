#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace qly {

// An error that an event handler raises and the application's error box shows.
class Error : public std::exception {
public:
    explicit Error(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// The text of the error box: the message, followed by a full stop unless its last
// character already sorts at or before the full stop.
QString errorBoxText(const QString& message);

} // namespace qly
