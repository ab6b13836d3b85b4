#pragma once

#include <QString>

// The address a player types to join a game: a host name, a dotted IPv4
// address or an IPv6 address, optionally followed by the game's port
// (":7772", or "[v6-address]:7772"). The text is untrusted: it is checked
// completely before anything is started with it, and a refusal says why in
// words a player understands.
class JoinAddress {
public:
    // The only port a game can be joined on: the command line has no port.
    static constexpr int gamePort = 7772;
    // A host name is at most 253 characters; with brackets and port a little more.
    static constexpr int maxLength = 261;

    // Leading and trailing blanks are dropped; everything else must be right.
    static JoinAddress parse(const QString& text);

    bool isValid() const { return m_problem.isEmpty(); }
    // The host to connect to, without port or brackets; empty when invalid.
    QString host() const { return m_host; }
    bool isIpv6() const { return m_ipv6; }
    // Why the text cannot be joined; empty when it can.
    QString problem() const { return m_problem; }

    // Strict "a.b.c.d", each part 0 to 255 without leading zeros.
    static bool isDottedIpv4(const QString& text);
    // An IPv6 address, with an optional "%zone" of letters and digits.
    static bool isIpv6Address(const QString& text);
    // Letters, digits and hyphens in dot-separated labels of 1 to 63
    // characters, no label starting or ending with a hyphen, and not starting
    // with a digit (a text starting with a digit is taken as an IPv4 address).
    static bool isHostName(const QString& text);

private:
    static JoinAddress refused(const QString& problem);

    QString m_host;
    QString m_problem;
    bool m_ipv6 = false;
};
