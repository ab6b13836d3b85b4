#include "client/JoinAddress.h"

#include "net/DiscoveredText.h"
#include "net/SockAddress.h"

#include <QStringList>

#include <algorithm>
#include <optional>

namespace {
bool isAsciiLetterOrDigit(QChar c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool hasControlCharacter(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return DiscoveredText::isHidden(c); });
}

const char* const portProblem = "Games are joined on port 7772 only; leave the port out or "
                                "write :7772.";
} // namespace

JoinAddress JoinAddress::refused(const QString& problem) {
    JoinAddress address;
    address.m_problem = problem;
    return address;
}

JoinAddress JoinAddress::parse(const QString& input) {
    if (hasControlCharacter(input))
        return refused("The address holds control characters; type it again.");
    const QString text = input.trimmed();
    if (text.isEmpty())
        return refused("Type the address of the host: a name such as host.example.org, or an "
                       "IP address such as 192.168.1.20.");
    if (text.size() > maxLength)
        return refused("The address is too long to be a host name or an IP address.");
    if (text.contains(QChar(' ')) || text.contains(QChar('\t')))
        return refused("An address has no blanks inside.");

    QString host = text;
    QString port;
    bool hasPort = false;
    if (host.startsWith('[')) {
        const qsizetype close = host.indexOf(']');
        if (close < 0)
            return refused("An IPv6 address in brackets needs its closing \"]\".");
        const QString after = host.mid(close + 1);
        host = host.mid(1, close - 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(':'))
                return refused("After \"]\" only the port may follow, as :7772.");
            port = after.mid(1);
            hasPort = true;
        }
        if (!isIpv6Address(host))
            return refused("Between \"[\" and \"]\" there must be an IPv6 address.");
    } else if (host.count(':') == 1) {
        port = host.section(':', 1);
        host = host.section(':', 0, 0);
        hasPort = true;
    }
    if (hasPort) {
        bool ok = false;
        const int number = port.toInt(&ok);
        if (!ok || number != gamePort || port.startsWith('+') || port.startsWith('0'))
            return refused(portProblem);
    }

    JoinAddress address;
    if (isIpv6Address(host)) {
        address.m_ipv6 = true;
    } else if (!host.isEmpty() && host.at(0).isDigit()) {
        if (!isDottedIpv4(host))
            return refused("\"" + host.left(40) +
                           "\" is not an IP address: it needs four numbers from 0 to 255 "
                           "with dots between them, such as 192.168.1.20.");
    } else if (!isHostName(host)) {
        return refused("\"" + host.left(40) +
                       "\" is not a valid host name: use letters, digits, hyphens and "
                       "dots, such as host.example.org.");
    }
    address.m_host = host;
    return address;
}

bool JoinAddress::isDottedIpv4(const QString& text) {
    const std::optional<SockAddress> parsed = SockAddress::parse(text, false);
    return parsed && parsed->family() == AF_INET;
}

bool JoinAddress::isIpv6Address(const QString& text) {
    if (!text.contains(':') || text.size() > 64 || text.startsWith('['))
        return false;
    QString address = text;
    const qsizetype percent = text.indexOf('%');
    if (percent >= 0) {
        // The zone is only checked for its form here; whether such an
        // interface exists is the connection's business.
        const QString zone = text.mid(percent + 1);
        if (zone.isEmpty() || zone.size() > 15)
            return false;
        for (QChar c : zone)
            if (!isAsciiLetterOrDigit(c) && c != '-' && c != '_' && c != '.')
                return false;
        address = text.left(percent);
    }
    const std::optional<SockAddress> parsed = SockAddress::parse(address, false);
    return parsed && parsed->family() == AF_INET6;
}

bool JoinAddress::isHostName(const QString& text) {
    QString name = text;
    if (name.endsWith('.'))
        name.chop(1);
    if (name.isEmpty() || name.size() > 253 || name.at(0).isDigit())
        return false;
    for (const QString& label : name.split('.')) {
        if (label.isEmpty() || label.size() > 63 || label.startsWith('-') || label.endsWith('-'))
            return false;
        for (QChar c : label)
            if (!isAsciiLetterOrDigit(c) && c != '-')
                return false;
    }
    return true;
}
