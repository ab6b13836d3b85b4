// Arbitrary dice statistics files. A file the reader accepts is a record
// that is consistent on its own and writes back to text that reads as the
// same record; a file it refuses says why in a non-empty reason.
#include "FuzzScratch.h"
#include "client/StatsStore.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    DiceRecord record;
    QString error;
    if (!StatsStore::parse(input, record, error)) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    FUZZ_CHECK(record.problem().isEmpty());
    const QByteArray written = StatsStore::format(record);
    FUZZ_CHECK(written.size() <= StatsStore::maxFileSize);
    DiceRecord again;
    FUZZ_CHECK(StatsStore::parse(written, again, error));
    FUZZ_CHECK(again == record);
    FUZZ_CHECK(StatsStore::format(again) == written);
    return 0;
}
