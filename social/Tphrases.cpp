#include "social/Tphrases.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

Tphrases::Tphrases(QWidget* parent, const DeferredPixmap& background)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_background(background) {
    setObjectName("Tphrases");
    setWindowTitle("Climora - Phrase Buttons ");
    setModal(false);
    setFixedSize(clientWidth, clientHeight);
    // The window has a fixed pixel size, so its text gets a fixed pixel size
    // too: a large desktop font must not push the rows out of the window.
    QFont text = font();
    text.setPixelSize(12);
    setFont(text);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    grid->setColumnStretch(1, 1);
    for (int n = 1; n <= phraseCount; ++n) {
        auto* label = new QLabel(QString("Phrase Button %1:").arg(n), this);
        label->setObjectName(QString("label%1").arg(n));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* box = new QLineEdit(this);
        box->setObjectName(QString("phrase%1").arg(n));
        box->setMaxLength(maxPhraseLength);
        label->setBuddy(box);
        grid->addWidget(label, n - 1, 0);
        grid->addWidget(box, n - 1, 1);
        m_boxes << box;
    }

    auto* note = new QLabel("Buttons can only be used once every 2 seconds", this);
    note->setObjectName("label_note");
    QFont small = text;
    small.setPixelSize(11);
    small.setItalic(true);
    note->setFont(small);

    m_done = new QPushButton("Done", this);
    m_done->setObjectName("button_done");
    m_done->setFixedWidth(75);
    m_done->setDefault(true); // Enter in a box confirms, as in any dialog
    connect(m_done, &QPushButton::clicked, this, &Tphrases::button_doneClick);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(note, 1);
    bottom->addWidget(m_done);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(6);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(bottom);
}

void Tphrases::setBackground(const DeferredPixmap& picture) {
    m_background = picture;
    update();
}

void Tphrases::open(const QStringList& currentPhrases) {
    for (int n = 1; n <= phraseCount; ++n)
        m_boxes[n - 1]->setText(currentPhrases.value(n - 1));
    m_boxes.first()->setFocus();
    centre();
    show();
    raise();
    activateWindow();
}

QStringList Tphrases::phrases() const {
    QStringList texts;
    for (const QLineEdit* box : m_boxes)
        texts << box->text();
    return texts;
}

QLineEdit* Tphrases::phraseBox(int n) const {
    return n >= 1 && n <= phraseCount ? m_boxes[n - 1] : nullptr;
}

void Tphrases::button_doneClick() {
    emit phrasesDone(phrases());
    close();
}

void Tphrases::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(rect(), QColor(backgroundColour));
    if (!m_background.isNull())
        painter.drawPixmap(0, 0, m_background.get());
}

void Tphrases::centre() {
    QRect around;
    if (QWidget* owner = parentWidget(); owner && owner->isVisible())
        around = owner->window()->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        around = screen->availableGeometry();
    if (around.isValid())
        move(around.center() - QPoint(width() / 2, height() / 2));
}
