#include "spelling/spelldictionary.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <hunspell/hunspell.hxx>

namespace qly {

namespace {
// Hunspell reads the files itself and does not say when it could not; a quick look first
// gives a clear "no" instead of an empty dictionary that marks every word.
bool readable(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.size() > 0;
}

class HunspellDictionary : public SpellDictionary {
public:
    HunspellDictionary(std::unique_ptr<Hunspell> speller, const QByteArray& encoding)
        : m_speller(std::move(speller)), m_encoder(encoding.constData()),
          m_decoder(encoding.constData()) {
        const std::string& chars = m_speller->get_wordchars_cpp();
        m_wordChars = m_decoder.decode(QByteArrayView(chars.data(), qsizetype(chars.size())));
    }

    bool valid() const { return m_encoder.isValid() && m_decoder.isValid(); }

    bool check(QStringView word) const override {
        std::string encoded;
        if (!encode(word, encoded))
            return false;
        return m_speller->spell(encoded);
    }

    QStringList suggest(QStringView word, int max) const override {
        QStringList out;
        std::string encoded;
        if (!encode(word, encoded))
            return out;
        for (const std::string& s : m_speller->suggest(encoded)) {
            if (out.size() >= max)
                break;
            out << m_decoder.decode(QByteArrayView(s.data(), qsizetype(s.size())));
        }
        return out;
    }

    bool isWordChar(QChar c) const override { return m_wordChars.contains(c); }

private:
    // A word the dictionary's encoding cannot hold is no word of that dictionary.
    bool encode(QStringView word, std::string& out) const {
        const QByteArray bytes = m_encoder.encode(word);
        if (m_encoder.hasError()) {
            m_encoder.resetState();
            return false;
        }
        out.assign(bytes.constData(), size_t(bytes.size()));
        return true;
    }

    std::unique_ptr<Hunspell> m_speller;
    mutable QStringEncoder m_encoder;
    mutable QStringDecoder m_decoder;
    QString m_wordChars;
};
} // namespace

std::unique_ptr<SpellDictionary> loadHunspellDictionary(const QString& affPath,
                                                        const QString& dicPath) {
    if (!readable(affPath) || !readable(dicPath))
        return nullptr;
    auto speller = std::make_unique<Hunspell>(QFile::encodeName(affPath).constData(),
                                              QFile::encodeName(dicPath).constData());
    QByteArray encoding = QByteArray::fromStdString(speller->get_dict_encoding());
    if (encoding.isEmpty())
        encoding = "ISO-8859-1"; // Hunspell's own default when SET is missing
    auto dictionary = std::make_unique<HunspellDictionary>(std::move(speller), encoding);
    if (!dictionary->valid())
        return nullptr;
    return dictionary;
}

} // namespace qly
