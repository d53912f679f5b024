#pragma once

#include <QDialog>
#include <QPixmap>
#include <QUrl>

#include <functional>

class QLabel;
class QPushButton;

namespace qly {

// The about box: the logo, the version line and the support address, with buttons for the
// help contents, the maker's web site and an e-mail to the maker.
class AboutForm : public QDialog {
    Q_OBJECT
public:
    // The maker's addresses; the domain is one reserved for examples.
    static const QUrl WebSite;
    static const QString SupportEmail;

    explicit AboutForm(QWidget* parent = nullptr);

    // The logo picture, 260 x 81, drawn rather than stored.
    static QPixmap drawLogo();
    // "Quillery", the trade-mark sign, a blank and the version.
    static QString versionLine();

    // How web and mail addresses are handed to the desktop; tests replace it. Without one,
    // xdg-open runs in the background and a failure shows the warning when it ends.
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { m_openUrl = std::move(opener); }

    void btAcknowledgmentsClick();
    void btWebSiteClick();
    void btEmailClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void open(const QUrl& url, const QString& failure);
    void warn(const QString& text);

    std::function<bool(const QUrl&)> m_openUrl;
    QLabel* m_emailLabel = nullptr;
};

} // namespace qly
