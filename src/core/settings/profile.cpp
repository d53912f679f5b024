#include "settings/profile.h"

#include "settings/atomicfile.h"
#include "settings/error.h"

#include <QFile>

#include <cerrno>

namespace qly {

namespace {

constexpr qint64 MaxFileSize = 64 * 1024 * 1024; // a settings file is a few hundred bytes

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArray trimmed(QByteArrayView v) {
    qsizetype b = 0, e = v.size();
    while (b < e && isBlank(v[b]))
        ++b;
    while (e > b && isBlank(v[e - 1]))
        --e;
    return v.sliced(b, e - b).toByteArray();
}

bool sameName(QByteArrayView a, QByteArrayView b) {
    return a.size() == b.size() && qstrnicmp(a.data(), a.size(), b.data(), b.size()) == 0;
}

} // namespace

Profile::Profile(QString path) : m_path(std::move(path)) {
    if (m_path.isEmpty())
        return; // the program does not know where it is: nothing to read
    // Only a regular file: a pipe in its place must not hang the start, and a link is not
    // followed (nor written through).
    const IoResult<FileContent> file = readRegularFile(m_path, MaxFileSize);
    if (file)
        parse(file.value().bytes);
    else if (file.error().code != ENOENT)
        m_readError = file.reason();
}

QString Profile::takeReadErrorReport() const {
    // One program, one settings file: said once, whoever meets it first.
    static bool reported = false;
    if (m_readError.isEmpty() || reported)
        return QString();
    reported = true;
    return QStringLiteral("The settings file %1 cannot be read whole (%2). It is left as it "
                          "is, and settings are not saved to it")
        .arg(m_path, m_readError);
}

bool Profile::mayWriteFile() const {
    // No path: the program does not know where it is, and has said so at start-up.
    if (m_path.isEmpty())
        return false;
    if (m_readError.isEmpty())
        return true;
    const QString report = takeReadErrorReport();
    if (!report.isEmpty())
        throw Error(report);
    return false;
}

void Profile::parse(const QByteArray& bytes) {
    QByteArrayView rest(bytes);
    if (rest.startsWith("\xEF\xBB\xBF")) {
        m_bom = "\xEF\xBB\xBF";
        rest = rest.sliced(3);
    }
    if (rest.isEmpty())
        return;
    const qsizetype firstLf = rest.indexOf('\n');
    if (firstLf > 0 && rest[firstLf - 1] == '\r')
        m_eol = "\r\n";
    m_endsWithEol = rest.endsWith('\n');

    QByteArray section;
    while (!rest.isEmpty()) {
        qsizetype lf = rest.indexOf('\n');
        QByteArrayView raw = lf < 0 ? rest : rest.first(lf);
        rest = lf < 0 ? QByteArrayView() : rest.sliced(lf + 1);
        if (raw.endsWith('\r'))
            raw.chop(1);
        Line line;
        line.text = raw.toByteArray();
        const QByteArray t = trimmed(raw);
        if (t.startsWith('[')) {
            const qsizetype close = t.indexOf(']');
            section = trimmed(QByteArrayView(t).sliced(1, (close < 0 ? t.size() : close) - 1));
            line.isSection = true;
            line.section = section;
        } else if (const qsizetype eq = t.indexOf('='); eq > 0 && !t.startsWith(';')) {
            line.isKey = true;
            line.section = section;
            line.key = trimmed(QByteArrayView(t).first(eq));
        } else {
            line.section = section;
        }
        m_lines.append(std::move(line));
    }
}

QByteArray Profile::serialize() const {
    QByteArray out = m_bom;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        out += m_lines[i].text;
        if (i + 1 < m_lines.size() || m_endsWithEol)
            out += m_eol;
    }
    return out;
}

int Profile::findKey(const QByteArray& section, const QByteArray& key) const {
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line& l = m_lines[i];
        if (l.isKey && sameName(l.section, section) && sameName(l.key, key))
            return int(i);
    }
    return -1;
}

std::optional<QString> Profile::read(const QString& section, const QString& key) const {
    const int i = findKey(section.toUtf8(), key.toUtf8());
    if (i < 0)
        return std::nullopt;
    const QByteArray& text = m_lines[i].text;
    QByteArray value = trimmed(QByteArrayView(text).sliced(text.indexOf('=') + 1));
    // The system's reader drops one pair of quotes around a value.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    if (value.size() > MaxValueLength)
        value.truncate(MaxValueLength);
    return QString::fromUtf8(value);
}

QString Profile::readString(const QString& section, const QString& key, const QString& def) const {
    return read(section, key).value_or(def);
}

std::optional<int> Profile::parseInteger(QStringView text) {
    bool ok = false;
    qint64 v = 0;
    if (text.startsWith(u'$')) {
        v = text.sliced(1).toLongLong(&ok, 16);
        ok = ok && text.size() > 1 && !text.sliced(1).startsWith(u'-') &&
             !text.sliced(1).startsWith(u'+');
    } else if (text.size() > 2 && (text.startsWith(u"0x") || text.startsWith(u"0X"))) {
        v = text.sliced(2).toLongLong(&ok, 16);
        ok = ok && !text.sliced(2).startsWith(u'-') && !text.sliced(2).startsWith(u'+');
    } else {
        v = text.toLongLong(&ok, 10);
        if (ok && (v < INT_MIN || v > INT_MAX))
            ok = false;
        return ok ? std::optional<int>(int(v)) : std::nullopt;
    }
    // Hexadecimal spans 32 bits: $FFFFFFFF is -1.
    if (!ok || v < 0 || v > 0xFFFFFFFFLL)
        return std::nullopt;
    return int(quint32(v));
}

int Profile::readInteger(const QString& section, const QString& key, int def) const {
    const auto text = read(section, key);
    if (!text)
        return def;
    return parseInteger(*text).value_or(def);
}

bool Profile::readBool(const QString& section, const QString& key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

// After the last key or entry of the section's first occurrence; a section that is not there
// yet is added at the end, a blank line apart.
void Profile::insertKeyLine(Line line) {
    qsizetype header = -1;
    for (qsizetype i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].isSection && sameName(m_lines[i].section, line.section)) {
            header = i;
            break;
        }
    m_endsWithEol = true;
    if (header < 0) {
        if (!m_lines.isEmpty() && !trimmed(m_lines.back().text).isEmpty()) {
            Line blank;
            blank.section = m_lines.back().section;
            m_lines.append(blank);
        }
        Line head;
        head.isSection = true;
        head.section = line.section;
        head.text = '[' + line.section + ']';
        m_lines.append(head);
        m_lines.append(std::move(line));
        return;
    }
    qsizetype at = header + 1;
    for (qsizetype i = header + 1; i < m_lines.size() && !m_lines[i].isSection; ++i)
        if (!trimmed(m_lines[i].text).isEmpty())
            at = i + 1;
    line.section = m_lines[header].section;
    m_lines.insert(at, std::move(line));
}

void Profile::writeString(const QString& section, const QString& key, const QString& value) {
    if (!m_grouped && !mayWriteFile())
        return;
    const QByteArray sec = section.toUtf8();
    const QByteArray k = key.toUtf8();
    QByteArray v = value.toUtf8();
    v.replace('\n', ' ').replace('\r', ' ');

    const QList<Line> before = m_lines;
    Line line;
    line.isKey = true;
    line.section = sec;
    line.key = k;
    line.text = k + '=' + v;

    const int existing = findKey(sec, k);
    if (existing >= 0) {
        line.section = m_lines[existing].section;
        m_lines[existing] = line;
    } else {
        insertKeyLine(std::move(line));
    }

    if (m_grouped)
        return;
    if (const IoResult<FileIdentity> written = writeFileAtomically(m_path, serialize()); !written) {
        m_lines = before;
        throw Error(QStringLiteral("Unable to write to %1: %2").arg(m_path, written.reason()));
    }
}

void Profile::beginGroupWrite() {
    m_grouped = true;
    m_beforeGroup = m_lines;
}

void Profile::endGroupWrite() {
    m_grouped = false;
    if (!m_readError.isEmpty() || m_path.isEmpty()) {
        m_lines = m_beforeGroup;
        mayWriteFile();
        return;
    }
    if (const IoResult<FileIdentity> written = writeFileAtomically(m_path, serialize()); !written) {
        m_lines = m_beforeGroup;
        throw Error(QStringLiteral("Unable to write to %1: %2").arg(m_path, written.reason()));
    }
}

void Profile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void Profile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace qly
