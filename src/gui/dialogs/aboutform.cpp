#include "dialogs/aboutform.h"

#include "dialogs/desktopfont.h"
#include "help/helpoperations.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>

#ifndef QLY_VERSION
#define QLY_VERSION "0.0.0"
#endif

namespace qly {

const QUrl AboutForm::WebSite(QStringLiteral("https://www.example.com/quillery/"));
const QString AboutForm::SupportEmail(QStringLiteral("quillery-support@example.com"));

namespace {
const QChar TradeMark(0x2122);
constexpr int LogoWidth = 260;
constexpr int LogoHeight = 81;
} // namespace

AboutForm::AboutForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About Quillery"));
    const QFont dialogFont = designedFont();
    setFont(dialogFont);
    setFixedSize(395, 258);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Bevel2"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(8, 8, 268, 241);

    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("Image2"));
    logo->setPixmap(drawLogo());
    logo->setGeometry(12, 12, LogoWidth, LogoHeight);

    auto* version = new QLabel(versionLine(), this);
    version->setObjectName(QStringLiteral("lbVersion"));
    QFont versionFont = dialogFont;
    versionFont.setBold(true);
    versionFont.setPointSizeF(designedFont(10).pointSizeF());
    version->setFont(versionFont);
    version->setGeometry(25, 112, 240, 22);

    auto* separator = new QFrame(this);
    separator->setObjectName(QStringLiteral("Bevel1"));
    separator->setFrameStyle(QFrame::HLine | QFrame::Raised);
    separator->setGeometry(12, 186, 260, 2);

    // The captions keep their places; a desktop font wider than the design's widens them.
    auto* support = new QLabel(QStringLiteral("Support:"), this);
    support->setObjectName(QStringLiteral("StaticText8"));
    support->setGeometry(25, 166, qMax(44, support->sizeHint().width()), 17);

    m_emailLabel = new QLabel(SupportEmail, this);
    m_emailLabel->setObjectName(QStringLiteral("StaticText4"));
    QFont linkFont = dialogFont;
    linkFont.setUnderline(true);
    m_emailLabel->setFont(linkFont);
    QPalette linkPalette = m_emailLabel->palette();
    linkPalette.setColor(QPalette::WindowText, linkPalette.color(QPalette::Link));
    m_emailLabel->setPalette(linkPalette);
    m_emailLabel->setCursor(Qt::PointingHandCursor);
    m_emailLabel->setGeometry(qMax(73, support->geometry().right() + 5), 166,
                              m_emailLabel->sizeHint().width(), 17);
    m_emailLabel->installEventFilter(this);

    auto makeButton = [this](const char* name, const QString& caption, int top) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(286, top, 100, 26);
        button->setAutoDefault(false);
        return button;
    };
    QPushButton* btOk = makeButton("btOk", QStringLiteral("OK"), 8);
    QPushButton* btHelp = makeButton("btAcknowledgments", QStringLiteral("&Help"), 42);
    QPushButton* btWebSite = makeButton("btWebSite", QStringLiteral("Visit &Web Site"), 76);
    QPushButton* btEmail = makeButton("btEmail", QStringLiteral("&E-mail"), 110);
    btOk->setDefault(true);
    setTabOrder(btOk, btHelp);
    setTabOrder(btHelp, btWebSite);
    setTabOrder(btWebSite, btEmail);
    btOk->setFocus();

    connect(btOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btHelp, &QPushButton::clicked, this, &AboutForm::btAcknowledgmentsClick);
    connect(btWebSite, &QPushButton::clicked, this, &AboutForm::btWebSiteClick);
    connect(btEmail, &QPushButton::clicked, this, &AboutForm::btEmailClick);

    growWithDesktopFont(this);
    // The address stays whole inside the panel whatever the font: a text that grew more than
    // the design moves left towards its caption.
    const int emailWidth = m_emailLabel->sizeHint().width();
    const int inside = panel->geometry().right() - panel->frameWidth() - 2;
    const int emailX =
        qMax(support->geometry().right() + 4, qMin(m_emailLabel->x(), inside - emailWidth));
    m_emailLabel->setGeometry(emailX, m_emailLabel->y(), emailWidth, m_emailLabel->height());
    // Still too wide: the panel widens, and the buttons and the dialog with it.
    if (const int excess = m_emailLabel->geometry().right() - inside; excess > 0) {
        panel->resize(panel->width() + excess, panel->height());
        separator->resize(separator->width() + excess, separator->height());
        for (QPushButton* b : {btOk, btHelp, btWebSite, btEmail})
            b->move(b->x() + excess, b->y());
        setFixedSize(width() + excess, height());
    }
    // Centred on the screen by the client area, not by the frame.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(), size());
        r.moveCenter(screen->geometry().center());
        setGeometry(r);
    }
}

QString AboutForm::versionLine() {
    return QStringLiteral("Quillery") + TradeMark + QLatin1Char(' ') + QLatin1String(QLY_VERSION);
}

// A green plate that darkens towards its middle, the name in large white letters with the
// trade-mark sign, a thin light rule and a slogan in small pale capitals.
QPixmap AboutForm::drawLogo() {
    QPixmap logo(LogoWidth, LogoHeight);
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient plate(0, 0, 0, LogoHeight);
    plate.setColorAt(0.0, QColor(76, 175, 80));
    plate.setColorAt(0.5, QColor(16, 84, 28));
    plate.setColorAt(1.0, QColor(76, 175, 80));
    p.fillRect(logo.rect(), plate);

    QFont nameFont(QStringLiteral("DejaVu Sans"));
    nameFont.setPixelSize(34);
    nameFont.setBold(true);
    p.setFont(nameFont);
    p.setPen(Qt::white);
    const QString name = QStringLiteral("Quillery");
    const QFontMetrics nameMetrics(nameFont);
    const int nameWidth = nameMetrics.horizontalAdvance(name);
    QFont markFont = nameFont;
    markFont.setPixelSize(12);
    markFont.setBold(false);
    const int markWidth = QFontMetrics(markFont).horizontalAdvance(TradeMark);
    const int nameLeft = (LogoWidth - nameWidth - markWidth - 2) / 2;
    const int baseline = 44;
    p.drawText(nameLeft, baseline, name);
    p.setFont(markFont);
    p.drawText(nameLeft + nameWidth + 2, baseline - nameMetrics.capHeight() + 10,
               QString(TradeMark));

    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(200, 240, 200));
    p.drawLine(14, 53, LogoWidth - 15, 53);

    QFont sloganFont(QStringLiteral("DejaVu Sans"));
    sloganFont.setPixelSize(9);
    sloganFont.setCapitalization(QFont::AllUppercase);
    sloganFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(sloganFont);
    p.setPen(QColor(214, 245, 214));
    p.drawText(QRect(0, 58, LogoWidth, 16), Qt::AlignCenter,
               QStringLiteral("Your notes, always at hand"));
    p.end();
    return logo;
}

void AboutForm::btAcknowledgmentsClick() {
    showHelpContents();
}

void AboutForm::btWebSiteClick() {
    open(WebSite, QStringLiteral("Can't execute default browser"));
}

void AboutForm::btEmailClick() {
    open(QUrl(QStringLiteral("mailto:") + SupportEmail),
         QStringLiteral("Can't execute default emailer"));
}

void AboutForm::open(const QUrl& url, const QString& failure) {
    if (m_openUrl) {
        if (!m_openUrl(url))
            warn(failure);
        return;
    }
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // QDesktopServices reports success as soon as xdg-open has started, even when it then finds
    // no browser or mail program (exit code 3). xdg-open runs on its own, so the window never
    // waits on it, and its failure is told when it ends. It outlives the box if it must.
    auto* process = new QProcess;
    process->setProgram(QStringLiteral("xdg-open"));
    process->setArguments({url.toString(QUrl::FullyEncoded)});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QPointer<AboutForm> self(this);
    auto done = [process, self, failure](bool failed) {
        process->deleteLater();
        if (failed && self)
            self->warn(failure);
    };
    connect(process, &QProcess::finished, process, [done](int code, QProcess::ExitStatus status) {
        done(status != QProcess::NormalExit || code != 0);
    });
    connect(process, &QProcess::errorOccurred, process, [done](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            done(true);
    });
    process->start();
#else
    if (!QDesktopServices::openUrl(url))
        warn(failure);
#endif
}

void AboutForm::warn(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("WarningBox"));
    box.exec();
}

// The address works as a link: a left click does what "E-mail" does.
bool AboutForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_emailLabel && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            m_emailLabel->rect().contains(mouse->position().toPoint())) {
            btEmailClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qly
