#include "social/Thelp.h"

#include "social/HelpPages.h"
#include "social/Tabout.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextBrowser>

namespace {
constexpr int sideWidth = 136;
constexpr QRect captionPlace{144, 8, 402, 26};
constexpr QRect stackPlace{144, 38, 402, 374};
} // namespace

Thelp::Thelp(QWidget* parent, Tabout* about, const QPixmap& background)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_about(about),
      m_background(background) {
    setObjectName("help");
    setWindowTitle("Climora - Help File");
    setFixedSize(clientWidth, clientHeight);
    setModal(false);

    auto* side = new QWidget(this);
    side->setObjectName("panel_side");
    side->setGeometry(0, 0, sideWidth, clientHeight);
    m_side = side; // styled when first shown (see showEvent)
    auto addButton = [&](const QString& name, const QString& caption, int top) {
        auto* button = new QPushButton(caption, side);
        button->setObjectName(name);
        button->setFlat(true);
        button->setAutoFillBackground(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setGeometry(10, top, sideWidth - 20, 26);
        m_buttons << button;
        return button;
    };
    for (int n = 1; n <= HelpPages::count; ++n) {
        QPushButton* button =
            addButton(QString("SelButton%1").arg(n), HelpPages::caption(n), 12 + (n - 1) * 32);
        button->setProperty("tag", n);
        connect(button, &QPushButton::clicked, this, [this, n] { SelButton1Click(n); });
    }
    connect(addButton("button_about", "About", clientHeight - 84), &QPushButton::clicked, this,
            &Thelp::button_aboutClick);
    connect(addButton("button_done", "Done", clientHeight - 46), &QPushButton::clicked, this,
            &Thelp::button_doneClick);

    m_caption = new QLabel(HelpPages::caption(1), this);
    m_caption->setObjectName("label_caption");
    m_caption->setTextFormat(Qt::PlainText);
    QFont bold("Arial");
    bold.setPixelSize(16);
    bold.setBold(true);
    m_caption->setFont(bold);
    m_caption->setGeometry(captionPlace);

    m_stack = new QStackedWidget(this);
    m_stack->setObjectName("panel_pages");
    m_stack->setGeometry(stackPlace);
    for (int n = 1; n <= HelpPages::count; ++n)
        m_pages << nullptr;
}

void Thelp::setBackground(const QPixmap& picture) {
    m_background = picture;
    update();
}

void Thelp::SelButton1Click(int page) {
    if (page < 1 || page > HelpPages::count)
        return;
    m_current = page;
    m_caption->setText(HelpPages::caption(page));
    if (isVisible())
        bringToFront();
}

void Thelp::button_aboutClick() {
    if (!m_about)
        return;
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void Thelp::button_doneClick() {
    hide();
}

QString Thelp::caption() const {
    return m_caption->text();
}

QPushButton* Thelp::button(int n) const {
    return n >= 1 && n <= int(m_buttons.size()) ? m_buttons[n - 1] : nullptr;
}

QTextBrowser* Thelp::page(int n) const {
    return n >= 1 && n <= HelpPages::count ? m_pages[n - 1] : nullptr;
}

void Thelp::showEvent(QShowEvent* event) {
    // Style sheets are costly to set up; this window starts hidden, so its
    // buttons get theirs when it first appears.
    if (m_side->styleSheet().isEmpty())
        m_side->setStyleSheet("QPushButton { background-color: #800000; color: #C0C0C0;"
                              " border: none; font-family: Arial; font-size: 13px;"
                              " font-weight: bold; padding: 0px; }"
                              " QPushButton:pressed { background-color: #600000; }");
    QDialog::showEvent(event);
    bringToFront();
}

void Thelp::bringToFront() {
    QTextBrowser* page = m_pages[m_current - 1];
    if (!page)
        page = m_pages[m_current - 1] = makePage(m_current);
    m_stack->setCurrentWidget(page);
}

QTextBrowser* Thelp::makePage(int n) {
    auto* page = new QTextBrowser;
    page->setObjectName(QString("memo%1").arg(n));
    page->setFrameShape(QFrame::NoFrame);
    page->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    page->setOpenLinks(false);
    page->setStyleSheet("QTextBrowser { background-color: #D2CAAE; color: black; }");
    QFont font("Arial");
    font.setPixelSize(11);
    page->setFont(font);
    page->document()->setDefaultFont(font);
    page->document()->setDocumentMargin(5);
    page->setHtml(HelpPages::text(n));
    m_stack->addWidget(page);
    return page;
}

void Thelp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgb(backgroundColour));
    if (!m_background.isNull())
        painter.drawPixmap(0, 0, m_background);
}
