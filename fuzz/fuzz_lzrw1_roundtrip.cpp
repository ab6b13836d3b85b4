// Arbitrary data: a file compresses into a container that decompresses to
// the same bytes, and the block coder's output of any prefix decodes back
// to it without touching bytes outside the decoder's room.
#include "FuzzScratch.h"
#include "tally/Tlzrw1.h"

#include <QFileInfo>

#include <cstdint>
#include <cstring>
#include <memory>

namespace {

void checkBlock(const uint8_t* data, int n) {
    // Exactly the rooms the coder and decoder promise to stay within, so
    // that AddressSanitizer sees any byte written past them.
    auto coded = std::make_unique<uint8_t[]>(Tlzrw1::CodeBufferSize);
    auto decoded = std::make_unique<uint8_t[]>(Tlzrw1::DecodeBufferSize);
    const int length = Tlzrw1::codeBlock(data, n, coded.get());
    FUZZ_CHECK(length >= 1 && length <= n + 1);
    // The decoder reads nothing past the data: copy it to a buffer of its size.
    auto exact = std::make_unique<uint8_t[]>(size_t(length));
    std::memcpy(exact.get(), coded.get(), size_t(length));
    const int got = Tlzrw1::decodeBlock(exact.get(), length, decoded.get());
    FUZZ_CHECK(got == n || (n == 0 && got == 0));
    FUZZ_CHECK(n == 0 || std::memcmp(decoded.get(), data, size_t(n)) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Inputs above two blocks add nothing the block boundary does not.
    if (size > 3 * size_t(Tlzrw1::BlockSize))
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString plain = fuzzScratch().filePath("plain.txt");
    const QString packed = fuzzScratch().filePath("packed.tld");
    const QString back = fuzzScratch().filePath("back.txt");
    writeFileOrDie(plain, input);

    Tlzrw1 coder;
    coder.setInputFile(plain);
    coder.setOutputFile(packed);
    const qint64 packedSize = coder.Compress();
    FUZZ_CHECK(packedSize == QFileInfo(packed).size());
    // Header, then per block at most the data, its flag byte and its length.
    const qint64 blocks = qint64(size) / Tlzrw1::BlockSize + 1;
    FUZZ_CHECK(packedSize <= 8 + qint64(size) + 3 * blocks);

    coder.setInputFile(packed);
    coder.setOutputFile(back);
    FUZZ_CHECK(coder.Decompress() == qint64(size));
    FUZZ_CHECK(readFileOrDie(back) == input);

    const int first = int(qMin<size_t>(size, Tlzrw1::BlockSize));
    checkBlock(data, first);
    if (size > 0)
        checkBlock(data + size / 2, int(qMin<size_t>(size - size / 2, Tlzrw1::BlockSize)));
    return 0;
}
