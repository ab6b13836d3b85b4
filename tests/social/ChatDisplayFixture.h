#pragma once

#include "support/FakeClientServices.h"

#include "social/ChatDisplay.h"
#include "social/ChatView.h"

#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

// A chat display in a shown window; the addresses its links would open are
// recorded instead.
class ChatDisplayFixture : public ::testing::Test {
protected:
    ChatDisplayFixture() : chat(services.prompts, services, &window) {
        window.resize(800, 560);
        chat.setUrlOpener([this](const QUrl& url) {
            opened << url.toString();
            return true;
        });
        window.show();
    }
    ChatView& view() { return *chat.view(); }
    void say(const QByteArray& payload) { chat.chatrecieved(payload); }

    QWidget window;
    FakeClientServices services;
    ChatDisplay chat;
    QStringList opened;
};
