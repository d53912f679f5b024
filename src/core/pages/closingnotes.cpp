#include "pages/closingnotes.h"

#include "model/pageletters.h"
#include "settings/atomicfile.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace qly {

namespace {
// The notes of one close are a few lines; a file larger than this is not ours to read.
constexpr qint64 MaxNotesSize = 1 << 20;
const QString UnsavedKey = QStringLiteral("unsaved ");
const QString MessageKey = QStringLiteral("message ");

// One message a line: line breaks and backslashes escaped.
QString escaped(const QString& text) {
    QString out;
    for (QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c != QLatin1Char('\r'))
            out += c;
    }
    return out;
}

QString unescaped(QStringView text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size()) {
            ++i;
            out += text[i] == QLatin1Char('n') ? QLatin1Char('\n') : text[i];
        } else {
            out += text[i];
        }
    }
    return out;
}
} // namespace

bool ClosingNotes::add(const QString& message) const {
    return append(MessageKey + escaped(message));
}

bool ClosingNotes::addUnsavedPage(int index) const {
    return append(UnsavedKey + pageLetter(index));
}

bool ClosingNotes::append(const QString& line) const {
    const IoResult<Folder> folder = openFolder(m_folder, true);
    if (!folder)
        return false;
    QByteArray bytes;
    if (const IoResult<FileContent> old = readRegularFile(folder.value(), FileName, MaxNotesSize))
        bytes = old.value().bytes;
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += '\n';
    bytes += line.toUtf8() + '\n';
    return writeFileAtomically(folder.value(), FileName, bytes).ok();
}

ClosingNotes::Taken ClosingNotes::take() const {
    Taken taken;
    const IoResult<Folder> folder = openFolder(m_folder, false);
    if (!folder)
        return taken;
    const IoResult<FileContent> file = readRegularFile(folder.value(), FileName, MaxNotesSize);
    if (!file)
        return taken;
    ::unlinkat(folder.value().fd(), FileName, 0);
    const QString text = QString::fromUtf8(file.value().bytes);
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(MessageKey)) {
            taken.messages.append(unescaped(line.mid(MessageKey.size())));
        } else if (line.startsWith(UnsavedKey)) {
            const QStringView letter = line.mid(UnsavedKey.size());
            const int index = letter.size() == 1 ? letter[0].unicode() - u'A' : -1;
            if (index >= 0 && index < PageCount && !taken.unsavedPages.contains(index))
                taken.unsavedPages.append(index);
        }
    }
    return taken;
}

} // namespace qly
