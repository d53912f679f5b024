#include "spelling/personalwords.h"

#include "settings/atomicfile.h"

#include <QDir>
#include <QFileInfo>

namespace qly {

QString PersonalWords::pathFor(const QString& programPath) {
    const QFileInfo info(programPath);
    return QDir(info.path()).filePath(QStringLiteral("qly.dic"));
}

PersonalWords::PersonalWords(QString path) : m_path(std::move(path)) {}

QString PersonalWords::load() {
    m_words.clear();
    m_order.clear();
    m_readWhole = true;
    if (m_path.isEmpty())
        return {};
    IoResult<FileContent> read = readRegularFile(m_path, MaxFileSize);
    if (!read) {
        if (read.error().code == ENOENT)
            return {};
        m_readWhole = false;
        return QStringLiteral("Cannot read file %1: %2")
            .arg(QDir::toNativeSeparators(m_path), read.reason());
    }
    const QString text = QString::fromUtf8(read.value().bytes);
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        const QString word = line.trimmed().toString();
        if (!word.isEmpty() && !m_words.contains(word)) {
            m_words.insert(word);
            m_order.append(word);
        }
    }
    return {};
}

QString PersonalWords::add(const QString& word) {
    return addAll({word});
}

QString PersonalWords::addAll(const QStringList& words) {
    bool added = false;
    for (const QString& word : words) {
        const QString w = word.trimmed();
        if (w.isEmpty() || w.contains(QLatin1Char('\n')) || m_words.contains(w))
            continue;
        m_words.insert(w);
        m_order.append(w);
        added = true;
    }
    return added ? write() : QString();
}

QString PersonalWords::write() const {
    if (m_path.isEmpty())
        return {};
    if (!m_readWhole)
        return QStringLiteral("Cannot write file %1: it could not be read whole")
            .arg(QDir::toNativeSeparators(m_path));
    const QByteArray bytes = (m_order.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
    const IoResult<FileIdentity> written = writeFileAtomically(m_path, bytes);
    if (!written)
        return QStringLiteral("Cannot create file %1: %2")
            .arg(QDir::toNativeSeparators(m_path), written.reason());
    return {};
}

bool PersonalWords::contains(QStringView word) const {
    return m_words.contains(word.toString());
}

} // namespace qly
