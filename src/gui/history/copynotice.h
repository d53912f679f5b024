#pragma once

#include <QFrame>
#include <QTimer>

class QLabel;
class QPushButton;
class QToolButton;

namespace qly {

// A short notice above the page, that lets the user go on typing: it names the
// pages that have new conflict copies, or a page kept when it was deleted, and offers their
// history. It goes by itself after a
// while, or with its close button or Escape.
class CopyNotice : public QFrame {
    Q_OBJECT
public:
    static constexpr int ShownMs = 20'000;

    explicit CopyNotice(QWidget* parent);

    // Shows the notice for `copies` new copies of these pages (0 = A), from these sync tools,
    // the first page offered in History.
    void showFor(const QList<int>& pages, int copies, const QStringList& tools);
    // Shows text, a notice about page (0 = A), whose history it offers.
    void showText(const QString& text, int page);
    int offeredPage() const { return m_page; }
    QLabel* textLabel() const { return m_text; }
    QPushButton* historyButton() const { return m_historyButton; }
    QToolButton* closeButton() const { return m_closeButton; }

signals:
    void historyRequested(int page);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLabel* m_text = nullptr;
    QPushButton* m_historyButton = nullptr;
    QToolButton* m_closeButton = nullptr;
    QTimer m_hide;
    int m_page = -1;
};

} // namespace qly
