#pragma once

#include "bench/support/BenchPaths.h"

#include <QString>
#include <QStringList>

#include <functional>

class Launcher;

// What the start-up, idle and memory benchmarks share: the game against the
// minimal program, on each display platform asked for ("xcb" on an Xvfb of
// its own), the game run from a private copy.
class Comparison {
public:
    QStringList platforms{"offscreen", "xcb"};
    QString game = benchpaths::defaultGame();
    QString minimal = benchpaths::defaultMinimal();

    // Removes the game's private copy.
    ~Comparison();

    // Takes argv[i] and its value when it is --platform (offscreen, xcb or
    // both), --game or --minimal, moving i past them.
    bool takeOption(int argc, char** argv, int& i);
    static constexpr const char* usage =
        "[--platform offscreen|xcb|both] [--game PATH] [--minimal PATH]";

    // Copies the game into a private folder; false, with a message on
    // standard error, when the game or the minimal program is missing.
    bool prepare();
    // The private copy's path, after prepare().
    QString gameCopy() const { return m_copy; }

    // Runs the body once per platform with its display ("" offscreen); a
    // platform whose display cannot be had is skipped with a line saying so.
    void forEachPlatform(
        const std::function<void(const QString& platform, const QString& display)>& body) const;
    // "offscreen:" or "xcb (Xvfb :90):", the heading of a platform's figures.
    static QString heading(const QString& platform, const QString& display);

    // Starts the game copy and the minimal program side by side and waits
    // for both first paints; false, with the reason, when either fails.
    bool startBoth(Launcher& ours, Launcher& reference, const QString& platform,
                   const QString& display, QString* error) const;
    // On each platform, both programs started (startBoth) and handed to the
    // body, which answers whether the goal was met there. True when it was
    // met everywhere; a platform where a program cannot start counts as
    // missed, with a line saying why.
    using PairBody = std::function<bool(const QString& platform, const QString& display,
                                        Launcher& ours, Launcher& reference)>;
    bool forEachPair(const PairBody& body) const;

private:
    QString m_copy;
    QString m_folder;
};
