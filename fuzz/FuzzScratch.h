#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

// A private folder for the files a fuzz target reads and writes, in memory
// where the machine offers it so that the file round trips stay cheap.
inline QTemporaryDir& fuzzScratch() {
    static QTemporaryDir dir(QDir("/dev/shm").exists() ? "/dev/shm/climora-fuzz-XXXXXX"
                                                       : QDir::tempPath() + "/climora-fuzz-XXXXXX");
    if (!dir.isValid()) {
        std::fprintf(stderr, "no scratch folder\n");
        std::abort();
    }
    return dir;
}

inline void writeFileOrDie(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::abort();
    }
}

inline QByteArray readFileOrDie(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        std::abort();
    }
    return file.readAll();
}

// Reports a broken property and stops, so that libFuzzer keeps the input.
[[noreturn]] inline void fuzzFail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            fuzzFail(#condition);                                                                  \
    } while (false)
