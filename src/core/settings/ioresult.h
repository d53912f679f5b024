#pragma once

#include <QString>

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>
#include <variant>

namespace qly {

// Why a file operation failed, in words the user reads after the file's name:
// "No space left on device". code is the system's errno, 0 for a reason of our own.
struct IoError {
    int code = 0;
    QString reason;
};

// The system's reason for errno error.
inline IoError ioErrorFromErrno(int error) {
    return IoError{error, QString::fromLocal8Bit(std::strerror(error))};
}
// A reason of our own ("It is a symbolic link").
inline IoError ioError(QString reason) {
    return IoError{0, std::move(reason)};
}

// A drive (or the user's quota) that is full: room can be made by removing files.
inline bool isNoSpace(int error) {
    return error == ENOSPC || error == EDQUOT;
}

// The result of an operation on files: a value, or the reason it failed. What std::expected
// is in later C++, reduced to what the file layer needs.
template <class T> class [[nodiscard]] IoResult {
public:
    IoResult(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    IoResult(IoError error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return std::get<0>(m_state); }
    T& value() & { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    const IoError& error() const { return std::get<1>(m_state); }
    const QString& reason() const { return error().reason; }

private:
    std::variant<T, IoError> m_state;
};

template <> class [[nodiscard]] IoResult<void> {
public:
    IoResult() = default;
    IoResult(IoError error) : m_error(std::move(error)) {}

    bool ok() const { return !m_error; }
    explicit operator bool() const { return ok(); }
    const IoError& error() const { return *m_error; }
    const QString& reason() const { return m_error->reason; }

private:
    std::optional<IoError> m_error;
};

} // namespace qly
