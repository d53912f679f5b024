#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace qlytest {

// A fresh folder for one test, removed afterwards.
class TempDir {
public:
    TempDir() { m_dir.setAutoRemove(true); }
    QString path(const QString& name = QString()) const {
        return name.isEmpty() ? m_dir.path() : m_dir.path() + QLatin1Char('/') + name;
    }
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

} // namespace qlytest
