#include "atomicfile.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace qly {

namespace {
bool fail(QString* errorText, const QString& why) {
    if (errorText)
        *errorText = why;
    return false;
}
} // namespace

bool writeFileAtomically(const QString& path, QByteArrayView data, QString* errorText) {
    const QByteArray native = QFile::encodeName(path);
    if (::access(native.constData(), F_OK) == 0 && ::access(native.constData(), W_OK) != 0)
        return fail(errorText, QString::fromLocal8Bit(std::strerror(errno)));

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(errorText, file.errorString());
    qint64 done = 0;
    while (done < data.size()) {
        const qint64 n = file.write(data.data() + done, data.size() - done);
        if (n <= 0) {
            file.cancelWriting();
            return fail(errorText, file.errorString());
        }
        done += n;
    }
    if (!file.flush() || ::fsync(file.handle()) != 0) {
        const QString why = file.error() != QFileDevice::NoError
                                ? file.errorString()
                                : QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        return fail(errorText, why);
    }
    if (!file.commit())
        return fail(errorText, file.errorString());
    return true;
}

} // namespace qly
