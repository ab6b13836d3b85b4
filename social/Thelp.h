#pragma once

#include <QDialog>
#include <QList>
#include <QPixmap>

class QLabel;
class QPushButton;
class QStackedWidget;
class QTextBrowser;
class Tabout;

// The help window: a side panel of page buttons and a stack of read-only
// pages, `memo1` to `memo6`, one in front. It keeps its page while hidden, so
// it reopens on the page last shown. Pages are made the first time they are
// shown, so creating the window at start costs almost nothing.
class Thelp : public QDialog {
    Q_OBJECT
public:
    static constexpr int clientWidth = 556;
    static constexpr int clientHeight = 422;
    static constexpr QRgb backgroundColour = 0xBFB38A;

    // "About" shows the About window, when there is one.
    explicit Thelp(QWidget* parent = nullptr, Tabout* about = nullptr,
                   const QPixmap& background = QPixmap());

    void setBackground(const QPixmap& picture);
    void setAbout(Tabout* about) { m_about = about; }

    // A page button: brings page n (1 to 6) to the front and shows its caption.
    void SelButton1Click(int page);
    void button_aboutClick();
    void button_doneClick();

    int currentPage() const { return m_current; }
    QString caption() const;
    // The page button of page n (1 to 6), or 7 for "About", 8 for "Done".
    QPushButton* button(int n) const;
    // Page n if it has been made, else nullptr.
    QTextBrowser* page(int n) const;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QTextBrowser* makePage(int n);
    void bringToFront();

    Tabout* m_about;
    QPixmap m_background;
    QList<QPushButton*> m_buttons;
    QList<QTextBrowser*> m_pages; // index n - 1; nullptr until made
    QLabel* m_caption = nullptr;
    QStackedWidget* m_stack = nullptr;
    QWidget* m_side = nullptr; // the page buttons' panel
    int m_current = 1;
};
