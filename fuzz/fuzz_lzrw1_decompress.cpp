// Arbitrary bytes as a container file: decompressing either succeeds with
// exactly the size the header promises or raises ELzrw1Exception, and a
// refused file leaves the output that was there before untouched.
#include "FuzzScratch.h"
#include "tally/ELzrw1Exception.h"
#include "tally/Tlzrw1.h"

#include <QFileInfo>

#include <cstdint>
#include <cstring>

namespace {
const QByteArray previousOutput = "the previous good output";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString inPath = fuzzScratch().filePath("in.tld");
    const QString outPath = fuzzScratch().filePath("out.txt");
    writeFileOrDie(inPath, input);
    // Half of the runs find an older output in place, half find none.
    const bool hadOutput = size % 2 == 0;
    if (hadOutput)
        writeFileOrDie(outPath, previousOutput);
    else
        QFile::remove(outPath);

    Tlzrw1 coder;
    coder.setInputFile(inPath);
    coder.setOutputFile(outPath);
    qint64 written = -1;
    try {
        written = coder.Decompress();
    } catch (const ELzrw1Exception&) {
        if (hadOutput)
            FUZZ_CHECK(readFileOrDie(outPath) == previousOutput);
        else
            FUZZ_CHECK(!QFileInfo::exists(outPath));
        // Nothing else may be left behind (no temporary output).
        FUZZ_CHECK(QDir(fuzzScratch().path()).entryList(QDir::Files).size() == (hadOutput ? 2 : 1));
        return 0;
    }
    // Any other exception escapes and libFuzzer reports it.
    FUZZ_CHECK(input.size() >= 8);
    uint32_t promised = 0;
    for (int i = 0; i < 4; ++i)
        promised |= uint32_t(uint8_t(input[4 + i])) << (8 * i);
    FUZZ_CHECK(written == qint64(promised));
    FUZZ_CHECK(QFileInfo(outPath).size() == written);
    return 0;
}
