#include "social/Tabout.h"

#include "protocol/Commands.h"
#include "social/SocialArt.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

namespace {
constexpr char linkProperty[] = "climoraSiteLink";
} // namespace

Tabout::Tabout(QWidget* parent, const DeferredPixmap& background)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_background(background),
      m_opener([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setObjectName("about");
    setWindowTitle("Climora - About");
    setFixedSize(clientWidth, clientHeight);
    setModal(false);

    m_logo = new QLabel(this);
    m_logo->setObjectName("image_aboutlogo");
    m_logo->setGeometry((clientWidth - 259) / 2, 8, 259, 76);
    m_logo->setCursor(Qt::PointingHandCursor);

    m_url = new QLabel(siteAddress, this);
    m_url->setObjectName("label_url");
    m_url->setTextFormat(Qt::PlainText);
    QFont link = m_url->font();
    link.setBold(true);
    link.setUnderline(true);
    m_url->setFont(link);
    m_url->setAlignment(Qt::AlignCenter);
    m_url->setCursor(Qt::PointingHandCursor);
    QPalette navy = m_url->palette();
    navy.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
    m_url->setPalette(navy);
    m_url->adjustSize();
    m_url->setGeometry((clientWidth - m_url->width()) / 2, 88, m_url->width(), 18);

    // "Version 1.0.1.0": the caption, the version label and its ".0".
    auto* row = new QWidget(this);
    row->setObjectName("panel_version");
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* caption = new QLabel("Version ", row);
    caption->setObjectName("label_version");
    m_version = new QLabel(QString::fromLatin1(cmd::version), row);
    m_version->setObjectName("version");
    auto* suffix = new QLabel(".0", row);
    suffix->setObjectName("label_versionend");
    layout->addWidget(caption);
    layout->addWidget(m_version);
    layout->addWidget(suffix);
    row->adjustSize();
    row->move((clientWidth - row->width()) / 2, 112);

    m_done = new QPushButton("Done", this);
    m_done->setObjectName("button_done");
    m_done->setGeometry((clientWidth - 75) / 2, 138, 75, 25);
    connect(m_done, &QPushButton::clicked, this, &Tabout::button_doneClick);

    attachLogo(m_logo);
    attachLogo(m_url);
}

void Tabout::showEvent(QShowEvent* event) {
    // The logo is read when the window is first shown, not at start-up.
    if (m_logo->pixmap().isNull())
        m_logo->setPixmap(DeferredPixmap::load(SocialArt::aboutLogo(), devicePixelRatioF()));
    QDialog::showEvent(event);
}

void Tabout::setBackground(const DeferredPixmap& picture) {
    m_background = picture;
    update();
}

QString Tabout::versionText() const {
    return m_version->text();
}

void Tabout::openSite() {
    m_opener(QUrl("http://" + siteAddress));
}

void Tabout::attachLogo(QWidget* logo) {
    if (!logo)
        return;
    logo->setCursor(Qt::PointingHandCursor);
    logo->setProperty(linkProperty, true);
    logo->installEventFilter(this); // installing twice still filters once
}

void Tabout::button_doneClick() {
    close();
}

void Tabout::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgb(backgroundColour));
    if (!m_background.isNull())
        painter.drawPixmap(0, 0, m_background.get());
}

bool Tabout::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->property(linkProperty).toBool())
        return QDialog::eventFilter(watched, event);
    // A label would pass the press on to its parent, which would then take
    // the release too; the link keeps both.
    if (event->type() == QEvent::MouseButtonPress && qobject_cast<QLabel*>(watched))
        return true;
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* widget = static_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton &&
            widget->rect().contains(mouse->position().toPoint()))
            openSite();
    }
    return QDialog::eventFilter(watched, event);
}
