#pragma once

#include "document.h"

#include <QString>

namespace qly {

// Creates a folder and every missing parent, silently.
void ForceFolders(const QString& path);

// The page folder: the program's folder followed by "rtf/", always ending with a separator.
QString pageFolderFor(const QString& programDir);

// The pages' files and which of them is in the editor. The editor itself is not here:
// the window hands documents in and out.
class PageStore {
public:
    explicit PageStore(const QString& programDir);

    const QString& pageFolder() const { return m_pageFolder; }
    QString pageFile(int index) const;

    const QString& currentPageFile() const { return m_currentPageFile; }
    int rememberedPageIndex() const { return m_rememberedIndex; }
    void setRememberedPageIndex(int index) { m_rememberedIndex = index; }
    // Makes the page the one in the editor: its file becomes the current page file.
    void setCurrentPage(int index);

    // Reads a page file: RTF, else plain text. Raises "Failed to Load Stream" when the
    // file cannot be read (most often: the page has no file yet).
    static Document loadPage(const QString& file);
    // Writes the document as RTF to the current page file, replacing it atomically.
    // Raises "Cannot create file <path>" when that fails; the old file is then intact.
    void SaveCurrentPage(const Document& document) const;

    static int previousIndex(int index) { return index != 0 ? index - 1 : 25; }
    static int nextIndex(int index) { return index + 1 == 26 ? 0 : index + 1; }

private:
    QString m_pageFolder;
    QString m_currentPageFile;
    int m_rememberedIndex = 0;
};

} // namespace qly
