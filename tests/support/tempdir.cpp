#include "tempdir.h"

#include <QFile>

namespace qlytest {

void TempDir::write(const QString& name, const QByteArray& bytes) const {
    QFile f(path(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QByteArray TempDir::read(const QString& name) const {
    QFile f(path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace qlytest
