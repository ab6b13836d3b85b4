#pragma once

#include <QString>

// The name a player goes by in games with others: shown in every seat label
// and chat line of every player, and kept in the settings file. It is one
// line of at most 24 characters, without control characters and without
// blanks at either end.
class PlayerName {
public:
    static constexpr int maxLength = 24;

    // Why the name cannot be used; empty when it can. Blanks at either end
    // are not counted against it: cleaned() drops them.
    static QString problem(const QString& name);
    // The name without blanks at either end.
    static QString cleaned(const QString& name) { return name.trimmed(); }
    // A remembered name (from the settings file, so untrusted): the name
    // when it is usable, else empty.
    static QString fromStored(const QString& stored);
};
