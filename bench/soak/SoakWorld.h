#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <map>
#include <random>
#include <vector>

class HonestClient;

// What the clients of the soak run share: the random source, the counters
// of the summary, the failures found, and the ledger of chat lines that
// every client present must receive.
class SoakWorld {
public:
    explicit SoakWorld(unsigned seed) : m_random(seed) {}

    // Monotonic nanoseconds since the run began.
    static qint64 nowNs();
    // The seat in the first field of a message's argument text, or 0 when
    // that field is no number (every layout with a seat names it first).
    static int seatField(const QByteArray& args);
    int below(int n) { return n <= 1 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_random) < p; }

    // A fault seen by a client: counted, and the first ones printed.
    void failure(const QString& who, const QString& what);
    int failures() const { return m_failures; }
    const QStringList& failureTexts() const { return m_failureTexts; }

    // The honest clients, to tell their seats from the rogue's.
    void addClient(HonestClient* client) { m_clients.append(client); }
    const QList<HonestClient*>& clients() const { return m_clients; }
    // The honest client logged in at the seat, or null.
    HonestClient* honestAt(int seat) const;

    // Chat lines: a token in the text, the clients that must receive it.
    QByteArray newToken() { return "[t" + QByteArray::number(++m_tokens) + "]"; }
    void chatSent(const QByteArray& token, const HonestClient* sender);
    void chatReceived(const QByteArray& token, const HonestClient* receiver);
    // A relayed line naming an honest seat whose client never sent it.
    bool tokenFrom(const QByteArray& token, const HonestClient* sender) const;
    // Reports lines not received within the time by a client that stayed.
    void checkChats(qint64 timeoutNs);
    // From the send of a chat line until the last client present held it.
    const std::vector<double>& chatLatenciesMs() const { return m_chatLatencies; }

    // A removal the host asked for: the client in that seat may be closed.
    void kickSent(int seat) { m_kicks[seat] = nowNs(); }
    bool recentlyKicked(int seat, qint64 withinNs) const;

    // Counters of the summary.
    struct Counters {
        qint64 gamesStarted = 0, gamesWon = 0, gamesReplaced = 0, stalls = 0;
        qint64 requests = 0, answers = 0, refusalsAsked = 0;
        qint64 chatsSent = 0, messagesReceived = 0;
        qint64 churns = 0, computerTurns = 0, joinsDuringGame = 0;
        qint64 rogueMessages = 0, rogueOwnTurnRequests = 0, rogueConnections = 0, rogueCut = 0;
        qint64 rogueKicked = 0, rogueFullRefused = 0, rogueOversize = 0, rogueFloods = 0;
        qint64 rogueBacklogs = 0;
        qint64 rogueEffects = 0, rogueHostile = 0;
        std::map<QString, qint64> rogueKinds;
    } counters;
    std::vector<double> answerLatenciesMs;

private:
    struct Chat {
        qint64 sentNs = 0;
        const HonestClient* sender = nullptr;
        int senderGeneration = 0;
        // Receivers still missing, with the connection they had at the send.
        QHash<const HonestClient*, int> missing;
        qint64 lastNs = 0;
    };
    std::mt19937 m_random;
    int m_failures = 0;
    QStringList m_failureTexts;
    QList<HonestClient*> m_clients;
    qint64 m_tokens = 0;
    std::map<QByteArray, Chat> m_chats;
    std::vector<double> m_chatLatencies;
    std::map<int, qint64> m_kicks;
};
