#include "client/PlayerName.h"

#include "net/DiscoveredText.h"

QString PlayerName::problem(const QString& name) {
    const QString text = cleaned(name);
    if (text.isEmpty())
        return "Type the name the other players will see.";
    if (text.size() > maxLength)
        return QString("A name has at most %1 characters.").arg(maxLength);
    for (QChar c : text)
        if (DiscoveredText::isHidden(c))
            return "A name holds no control characters.";
    return {};
}

QString PlayerName::fromStored(const QString& stored) {
    return problem(stored).isEmpty() ? cleaned(stored) : QString();
}
