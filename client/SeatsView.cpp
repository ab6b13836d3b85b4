#include "client/SeatsView.h"

#include "client/BoardGeometry.h"
#include "client/ImageList.h"
#include "client/Picture.h"
#include "client/SeatNames.h"
#include "client/TableModel.h"

#include <QLabel>

namespace {
QLabel* makeLabel(QWidget* parent, const QString& name, const QRect& geometry,
                  const QString& caption) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPixelSize(13);
    font.setBold(true);
    label->setFont(font);
    return label;
}
} // namespace

SeatsView::SeatsView(QWidget* panelBoard, TableModel& model) : QObject(panelBoard), m_model(model) {
    const QPixmap logo = ImageList::picture("logo");
    m_logo = new Picture(panelBoard, "image_logo", QRect(board::logo, QSize(264, 54)));
    m_logo->setPicture(logo);
    m_logo->setCursor(Qt::PointingHandCursor);
    connect(m_logo, &Picture::clicked, this, &SeatsView::logoClicked);

    for (int seat = 1; seat <= board::seats; ++seat) {
        const int top = board::seatRowTop[seat - 1];
        const QString n = QString::number(seat);

        auto* swatch = new Picture(panelBoard, "image_seatcolor" + n,
                                   QRect(board::swatchLeft, top + 3, 14, 14));
        swatch->setPicture(ImageList::deferred("swatch" + n));
        m_swatches[seat - 1] = swatch;

        QLabel* name = makeLabel(panelBoard, "label_playername" + n,
                                 QRect(board::nameLeft, top, board::nameWidth, board::rowHeight),
                                 seats::waiting);
        // The eyes lie over the label's left end; the indent keeps the name
        // clear of them.
        name->setIndent(15);
        name->setProperty("tag", seat);
        name->setProperty("hint", seats::computerName(seat));
        name->setToolTip(seats::computerName(seat));
        m_names[seat - 1] = name;

        QLabel* score = makeLabel(panelBoard, "label_score" + n,
                                  QRect(board::scoreLeft, top, 40, board::rowHeight), "0");
        score->setProperty("tag", seat);
        m_scores[seat - 1] = score;

        auto* eyes =
            new Picture(panelBoard, "image_eyes" + n, QRect(board::eyesLeft, top + 5, 23, 10));
        eyes->setPicture(ImageList::deferred("eyes"));
        eyes->hide();
        m_eyes[seat - 1] = eyes;

        for (QLabel* label : {name, score}) {
            label->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(label, &QWidget::customContextMenuRequested, this,
                    [this, seat, label, name](const QPoint& pos) {
                        emit seatMenuRequested(seat, label == name, label->mapToGlobal(pos));
                    });
        }
    }

    m_turn = new Picture(panelBoard, "image_Turn",
                         QRect(board::turnArrowLeft, board::seatRowTop[0], 26, board::rowHeight));
    m_turn->setPicture(ImageList::deferred("turn"));
    m_turn->hide();

    connect(&model, &TableModel::seatChanged, this, &SeatsView::showSeat);
    connect(&model, &TableModel::turnChanged, this, &SeatsView::showTurn);
}

QLabel* SeatsView::nameLabel(int seat) const {
    return seat >= 1 && seat <= board::seats ? m_names[seat - 1] : nullptr;
}
QLabel* SeatsView::scoreLabel(int seat) const {
    return seat >= 1 && seat <= board::seats ? m_scores[seat - 1] : nullptr;
}
Picture* SeatsView::eyes(int seat) const {
    return seat >= 1 && seat <= board::seats ? m_eyes[seat - 1] : nullptr;
}
Picture* SeatsView::swatch(int seat) const {
    return seat >= 1 && seat <= board::seats ? m_swatches[seat - 1] : nullptr;
}

void SeatsView::showSeat(int seat) {
    if (!seats::isPlaying(seat))
        return;
    const TableModel::Seat& shown = m_model.seat(seat);
    m_names[seat - 1]->setText(shown.name);
    m_scores[seat - 1]->setText(QString::number(shown.score));
    m_eyes[seat - 1]->setVisible(shown.watching);
}

void SeatsView::showTurn() {
    const int seat = m_model.arrowSeat();
    if (!seats::isPlaying(seat))
        return; // the arrow stays where it was
    // Placed from the fixed grid, not read back from the controls, which lie
    // elsewhere while the window is scaled up.
    m_turn->move(board::turnArrowLeft, board::seatRowTop[seat - 1]);
    m_turn->show();
    m_turn->raise();
}
