#pragma once

#include "client/BoardGeometry.h"
#include "client/BoardView.h"
#include "client/GameMessages.h"
#include "client/GameView.h"
#include "client/Picture.h"
#include "client/SeatsView.h"
#include "client/TableModel.h"
#include "client/TurnButton.h"
#include "support/FakeClientServices.h"

#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

// A board panel of the main window's size with the table model and the game
// view on it, the game's message handlers, and a recording stand-in for the
// main window.
class ViewFixture : public ::testing::Test {
protected:
    void SetUp() override {
        panel = std::make_unique<QWidget>();
        panel->setObjectName("panel_board");
        panel->resize(764, 526);
        model = new TableModel(panel.get());
        view = new GameView(panel.get(),
                            {services.m_state, services, services, services, services.prompts},
                            *model);
        game = new GameMessages(services, services, services, services, *model, view);
    }

    void login(int seat, const QString& name = "Ann") {
        services.m_state.loggedIn = true;
        model->setOwnSeat(seat);
        model->seatArrived(seat, name);
    }

    Picture* pic(const QString& name) const {
        auto* found = panel->findChild<Picture*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    Picture* chip(int column, int position) const {
        return pic(QString("chip_%1%2").arg(column).arg(position));
    }
    QLabel* label(const QString& name) const {
        auto* found = panel->findChild<QLabel*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    QString status() const { return label("label_status")->text(); }
    QByteArray args(const QByteArray& message) const { return cmd::split(message).args; }

    FakeClientServices services;
    std::unique_ptr<QWidget> panel;
    TableModel* model = nullptr;
    GameView* view = nullptr;
    GameMessages* game = nullptr;
};
