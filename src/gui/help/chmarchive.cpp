#include "help/chmarchive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QRegularExpression>
#include <QtEndian>

#include <chm_lib.h>

namespace qly {

namespace {

constexpr int SystemCodeContentsFile = 0;
constexpr int SystemCodeDefaultTopic = 2;
constexpr int SystemCodeTitle = 3;

// A string entry of "#SYSTEM": bytes up to the first zero, UTF-8 as the compiler writes them.
QString systemString(const char* data, int length) {
    const QByteArray bytes(data, length);
    const int end = bytes.indexOf('\0');
    return QString::fromUtf8(end < 0 ? bytes : bytes.left(end)).trimmed();
}

int collectFile(chmFile*, chmUnitInfo* ui, void* context) {
    const QString path = QString::fromUtf8(ui->path);
    // Internal objects start with "#", "$" or "::"; folders end with "/".
    if (path.startsWith(QLatin1Char('/')) && !path.endsWith(QLatin1Char('/')) &&
        !path.startsWith(QLatin1String("/#")) && !path.startsWith(QLatin1String("/$")))
        static_cast<QStringList*>(context)->append(path.mid(1));
    return CHM_ENUMERATOR_CONTINUE;
}

// chmlib, loaded when a help file is first opened. Linked to the program, it would cost every
// start a library more in each symbol lookup, and a copy of the program on a machine without
// it would not start at all; without it, help files open as nothing.
struct ChmLib {
    decltype(&chm_open) open = nullptr;
    decltype(&chm_close) close = nullptr;
    decltype(&chm_resolve_object) resolve = nullptr;
    decltype(&chm_retrieve_object) retrieve = nullptr;
    decltype(&chm_enumerate) enumerate = nullptr;
};

const ChmLib* chmLib() {
    static const std::optional<ChmLib> lib = []() -> std::optional<ChmLib> {
        QLibrary library(QStringLiteral("chm"), 1); // stays loaded for the program's life
        if (!library.load()) {
            qWarning("Help files cannot be read: %s", qPrintable(library.errorString()));
            return std::nullopt;
        }
        ChmLib l;
        l.open = reinterpret_cast<decltype(l.open)>(library.resolve("chm_open"));
        l.close = reinterpret_cast<decltype(l.close)>(library.resolve("chm_close"));
        l.resolve = reinterpret_cast<decltype(l.resolve)>(library.resolve("chm_resolve_object"));
        l.retrieve = reinterpret_cast<decltype(l.retrieve)>(library.resolve("chm_retrieve_object"));
        l.enumerate = reinterpret_cast<decltype(l.enumerate)>(library.resolve("chm_enumerate"));
        if (!l.open || !l.close || !l.resolve || !l.retrieve || !l.enumerate)
            return std::nullopt;
        return l;
    }();
    return lib ? &*lib : nullptr;
}

} // namespace

ChmArchive::ChmArchive(const QString& fileName) : m_fileName(fileName) {
    // chmlib opens whatever path it is given; only a readable regular file is a help file.
    const QFileInfo info(fileName);
    if (!info.isFile() || !info.isReadable() || !chmLib())
        return;
    m_file = chmLib()->open(QFile::encodeName(fileName).constData());
    if (!m_file)
        return;
    readSystemEntries();
    // A project compiled without naming its contents file: take the one at the top.
    if (m_contentsFile.isEmpty()) {
        for (const QString& file : files())
            if (!file.contains(QLatin1Char('/')) &&
                file.endsWith(QLatin1String(".hhc"), Qt::CaseInsensitive)) {
                m_contentsFile = file;
                break;
            }
    }
}

ChmArchive::~ChmArchive() {
    if (m_file)
        chmLib()->close(m_file);
}

QString ChmArchive::normalizedPath(const QString& path) {
    QString p = path;
    const int cut = p.indexOf(QRegularExpression(QStringLiteral("[#?]")));
    if (cut >= 0)
        p.truncate(cut);
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!p.startsWith(QLatin1Char('/')))
        p.prepend(QLatin1Char('/'));
    return QDir::cleanPath(p);
}

bool ChmArchive::contains(const QString& path) const {
    if (!m_file || path.isEmpty())
        return false;
    const QByteArray name = normalizedPath(path).toUtf8();
    if (name.size() > CHM_MAX_PATHLEN)
        return false;
    chmUnitInfo ui{};
    return chmLib()->resolve(m_file, name.constData(), &ui) == CHM_RESOLVE_SUCCESS;
}

std::optional<QByteArray> ChmArchive::read(const QString& path) const {
    if (path.isEmpty())
        return std::nullopt;
    return readObject(normalizedPath(path).toUtf8());
}

std::optional<QByteArray> ChmArchive::readObject(const QByteArray& name) const {
    if (!m_file || name.size() > CHM_MAX_PATHLEN)
        return std::nullopt;
    chmUnitInfo ui{};
    if (chmLib()->resolve(m_file, name.constData(), &ui) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    if (ui.length > static_cast<LONGUINT64>(MaxObjectSize))
        return std::nullopt;
    QByteArray data(static_cast<qsizetype>(ui.length), Qt::Uninitialized);
    LONGUINT64 done = 0;
    while (done < ui.length) {
        const LONGINT64 got =
            chmLib()->retrieve(m_file, &ui, reinterpret_cast<unsigned char*>(data.data()) + done,
                               done, static_cast<LONGINT64>(ui.length - done));
        if (got <= 0)
            return std::nullopt;
        done += static_cast<LONGUINT64>(got);
    }
    return data;
}

QStringList ChmArchive::files() const {
    QStringList result;
    if (m_file)
        chmLib()->enumerate(m_file, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, collectFile,
                            &result);
    return result;
}

// "#SYSTEM": a 4-byte version, then entries of a 2-byte code, a 2-byte length and the data.
void ChmArchive::readSystemEntries() {
    const std::optional<QByteArray> system = readObject(QByteArrayLiteral("/#SYSTEM"));
    if (!system)
        return;
    const QByteArray& s = *system;
    qsizetype pos = 4;
    while (pos + 4 <= s.size()) {
        const int code = qFromLittleEndian<quint16>(s.constData() + pos);
        const int length = qFromLittleEndian<quint16>(s.constData() + pos + 2);
        pos += 4;
        if (length > s.size() - pos)
            break;
        const char* data = s.constData() + pos;
        if (code == SystemCodeContentsFile)
            m_contentsFile = systemString(data, length);
        else if (code == SystemCodeDefaultTopic)
            m_defaultTopic = systemString(data, length);
        else if (code == SystemCodeTitle)
            m_title = systemString(data, length);
        pos += length;
    }
}

} // namespace qly
