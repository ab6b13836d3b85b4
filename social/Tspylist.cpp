#include "social/Tspylist.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

Tspylist::Tspylist(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName("spylist");
    setWindowTitle("Climora - Spys");
    setFixedSize(clientWidth, clientHeight);
    setModal(false);

    m_list = new QListWidget(this);
    m_list->setObjectName("listbox_spys");
    m_list->setGeometry(0, 0, clientWidth, 120);
    QPalette colours = m_list->palette();
    colours.setColor(QPalette::Base, QColor(0xD2, 0xCA, 0xAE));
    m_list->setPalette(colours);
    m_list->setMouseTracking(true);
    m_list->viewport()->installEventFilter(this);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);

    m_menu = new QMenu(this);
    m_menu->setObjectName("popup_kickhimmenu");
    m_remove = m_menu->addAction("Remove From Game");
    m_remove->setObjectName("popup_kickhim");
    m_remove->setEnabled(false);
    connect(m_remove, &QAction::triggered, this, &Tspylist::popup_kickhimClick);
    connect(m_list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_menu->popup(m_list->viewport()->mapToGlobal(pos)); });

    auto* title = new QLabel("Spy List", this);
    title->setObjectName("label_title");
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setGeometry(8, 130, 70, 20);

    m_done = new QPushButton("Done", this);
    m_done->setObjectName("button_done");
    m_done->setGeometry(92, 128, 62, 25);
    connect(m_done, &QPushButton::clicked, this, &Tspylist::button_doneClick);
}

void Tspylist::addSpy(const QString& entry) {
    m_list->addItem(entry);
}

bool Tspylist::removeSpy(const QString& entry) {
    for (int row = 0; row < m_list->count(); ++row) {
        if (m_list->item(row)->text() == entry) {
            delete m_list->takeItem(row);
            if (m_pointerIndex >= m_list->count())
                m_pointerIndex = -1;
            return true;
        }
    }
    return false;
}

QStringList Tspylist::spies() const {
    QStringList out;
    for (int row = 0; row < m_list->count(); ++row)
        out << m_list->item(row)->text();
    return out;
}

void Tspylist::setRemoveEnabled(bool enabled) {
    m_remove->setEnabled(enabled);
}

void Tspylist::listbox_spysMouseMove(const QPoint& pos) {
    const QModelIndex index = m_list->indexAt(pos);
    m_pointerIndex = index.isValid() ? index.row() : -1;
}

void Tspylist::popup_kickhimClick() {
    if (m_pointerIndex < 0 || m_pointerIndex >= m_list->count())
        return;
    const QString line = m_list->item(m_pointerIndex)->text();
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return;
    const QString field = line.left(colon);
    bool ok = false;
    const int seat = field.toInt(&ok);
    // A line that does not start with a number is left alone.
    bool digits = !field.isEmpty();
    for (QChar c : field)
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (ok && digits)
        emit kickRequested(seat);
}

void Tspylist::button_doneClick() {
    close();
}

bool Tspylist::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list->viewport() && event->type() == QEvent::MouseMove)
        listbox_spysMouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
    return QDialog::eventFilter(watched, event);
}
