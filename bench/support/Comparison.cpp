#include "bench/support/Comparison.h"

#include "bench/support/Launcher.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

Comparison::~Comparison() {
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

bool Comparison::takeOption(int argc, char** argv, int& i) {
    if (i + 1 >= argc)
        return false;
    const char* name = argv[i];
    const QString value = QString::fromLocal8Bit(argv[i + 1]);
    if (!std::strcmp(name, "--platform")) {
        if (value != "both" && value != "offscreen" && value != "xcb")
            return false;
        platforms = value == "both" ? QStringList{"offscreen", "xcb"} : QStringList{value};
    } else if (!std::strcmp(name, "--game")) {
        game = value;
    } else if (!std::strcmp(name, "--minimal")) {
        minimal = value;
    } else {
        return false;
    }
    ++i;
    return true;
}

bool Comparison::prepare() {
    m_copy = benchpaths::privateCopy(game, &m_folder);
    if (m_copy.isEmpty() || !QFileInfo(minimal).isExecutable()) {
        std::fprintf(stderr, "cannot find the game (%s) or the minimal program (%s)\n",
                     qPrintable(game), qPrintable(minimal));
        return false;
    }
    return true;
}

void Comparison::forEachPlatform(
    const std::function<void(const QString& platform, const QString& display)>& body) const {
    for (const QString& platform : platforms) {
        VirtualDisplay xvfb;
        QString display;
        if (platform == "xcb") {
            QString error;
            if (!xvfb.start(&error)) {
                std::printf("%s: skipped, %s\n", qPrintable(platform), qPrintable(error));
                continue;
            }
            display = xvfb.display();
        }
        body(platform, display);
    }
}

bool Comparison::forEachPair(const PairBody& body) const {
    bool allMet = true;
    forEachPlatform([&](const QString& platform, const QString& display) {
        Launcher ours, reference;
        QString error;
        if (!startBoth(ours, reference, platform, display, &error)) {
            std::printf("%s: %s\n", qPrintable(platform), qPrintable(error));
            allMet = false;
            return;
        }
        allMet = body(platform, display, ours, reference) && allMet;
    });
    return allMet;
}

QString Comparison::heading(const QString& platform, const QString& display) {
    return display.isEmpty() ? platform + ":" : QString("%1 (Xvfb %2):").arg(platform, display);
}

bool Comparison::startBoth(Launcher& ours, Launcher& reference, const QString& platform,
                           const QString& display, QString* error) const {
    Launcher::Plan plan;
    plan.platform = platform;
    plan.display = display;
    plan.program = m_copy;
    if (!ours.start(plan, error))
        return false;
    plan.program = minimal;
    if (!reference.start(plan, error))
        return false;
    if (!ours.waitFirstPaint(20000) || !reference.waitFirstPaint(20000)) {
        *error =
            "a program did not paint; the game said:\n" + QString::fromLocal8Bit(ours.output());
        return false;
    }
    return true;
}
