#include "bench/soak/SoakWorld.h"

#include "bench/soak/HonestClient.h"
#include "protocol/Messages.h"

#include <chrono>
#include <cstdio>

int SoakWorld::seatField(const QByteArray& args) {
    try {
        return msg::readSeatOnly(args).seat;
    } catch (const EConvertError&) {
        return 0;
    }
}

qint64 SoakWorld::nowNs() {
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                start)
        .count();
}

void SoakWorld::failure(const QString& who, const QString& what) {
    ++m_failures;
    const QString line =
        QString("%1 s  %2: %3").arg(double(nowNs()) / 1e9, 0, 'f', 2).arg(who, what);
    if (m_failureTexts.size() < 40) {
        m_failureTexts.append(line);
        std::fprintf(stderr, "FAULT %s\n", line.toLocal8Bit().constData());
    }
}

HonestClient* SoakWorld::honestAt(int seat) const {
    for (HonestClient* client : m_clients)
        if (client->connected() && client->seat() == seat)
            return client;
    return nullptr;
}

void SoakWorld::chatSent(const QByteArray& token, const HonestClient* sender) {
    Chat chat;
    chat.sentNs = nowNs();
    chat.sender = sender;
    chat.senderGeneration = sender->generation();
    for (const HonestClient* client : m_clients)
        if (client->loggedIn())
            chat.missing.insert(client, client->generation());
    m_chats[token] = chat;
    ++counters.chatsSent;
}

void SoakWorld::chatReceived(const QByteArray& token, const HonestClient* receiver) {
    auto found = m_chats.find(token);
    if (found == m_chats.end())
        return;
    Chat& chat = found->second;
    chat.missing.remove(receiver);
    chat.lastNs = nowNs();
    if (chat.missing.isEmpty()) {
        m_chatLatencies.push_back(double(chat.lastNs - chat.sentNs) / 1e6);
        m_chats.erase(found);
    }
}

bool SoakWorld::tokenFrom(const QByteArray& token, const HonestClient* sender) const {
    auto found = m_chats.find(token);
    // Lines already received by everybody are gone from the ledger; they
    // were checked when they were still in it.
    return found == m_chats.end() || found->second.sender == sender;
}

void SoakWorld::checkChats(qint64 timeoutNs) {
    const qint64 now = nowNs();
    for (auto it = m_chats.begin(); it != m_chats.end();) {
        Chat& chat = it->second;
        // What a connection sent and the server had not handled yet when it
        // closed goes with it: a line whose sender left since is owed to nobody.
        if (!chat.sender->connected() || chat.sender->generation() != chat.senderGeneration) {
            it = m_chats.erase(it);
            continue;
        }
        // A client that left since is excused.
        for (auto m = chat.missing.begin(); m != chat.missing.end();) {
            if (!m.key()->connected() || m.key()->generation() != m.value())
                m = chat.missing.erase(m);
            else
                ++m;
        }
        if (chat.missing.isEmpty()) {
            it = m_chats.erase(it);
            continue;
        }
        if (now - chat.sentNs > timeoutNs) {
            QStringList names;
            for (auto m = chat.missing.begin(); m != chat.missing.end(); ++m)
                names << QString::fromLatin1(m.key()->name());
            failure("chat " + QString::fromLatin1(it->first),
                    "not received within the time by " + names.join(", "));
            it = m_chats.erase(it);
            continue;
        }
        ++it;
    }
}

bool SoakWorld::recentlyKicked(int seat, qint64 withinNs) const {
    auto found = m_kicks.find(seat);
    return found != m_kicks.end() && nowNs() - found->second < withinNs;
}
