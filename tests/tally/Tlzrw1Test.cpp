#include "tally/Tlzrw1.h"
#include "tally/ELzrw1Exception.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes hex(const char* text) {
    Bytes out;
    for (const QByteArray& part : QByteArray(text).split(' '))
        if (!part.isEmpty())
            out.push_back(uint8_t(part.toUInt(nullptr, 16)));
    return out;
}

Bytes toBytes(const QByteArray& a) {
    return Bytes(a.begin(), a.end());
}
QByteArray toArray(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
}

// The block coding rules carried out one step at a time, without any of the
// word-wide shortcuts, to hold the real coder to byte-exact output.
Bytes referenceCode(const Bytes& src) {
    const int n = int(src.size());
    std::vector<int> table(4096, -1);
    Bytes dst{0x40, 0, 0};
    size_t control = 1;
    unsigned bits = 0;
    int items = 0;
    int pos = 0;
    while (pos < n && int(dst.size()) <= n) {
        if (items == 16) {
            dst[control] = uint8_t(bits >> 8);
            dst[control + 1] = uint8_t(bits);
            control = dst.size();
            dst.push_back(0);
            dst.push_back(0);
            bits = 0;
            items = 0;
        }
        int run = 1;
        while (pos + run < n && run < 4095 && src[pos + run] == src[pos])
            ++run;
        if (run >= 16) {
            dst.insert(dst.end(), {0, uint8_t((run - 16) >> 8), uint8_t(run - 16), src[pos]});
            pos += run;
            bits = bits << 1 | 1;
        } else {
            int m = 0;
            int e = -1;
            if (pos + 2 < n) {
                unsigned h = ((((unsigned(src[pos]) * 16) ^ src[pos + 1]) * 16) ^ src[pos + 2]);
                h = ((h * 40543u) >> 4) & 0xFFF;
                e = table[h];
                table[h] = pos;
                if (e >= 0 && pos - e < 4096)
                    while (m < 18 && pos + m < n && src[e + m] == src[pos + m])
                        ++m;
            }
            if (m >= 3) {
                const unsigned v = unsigned(pos - e) * 16 + unsigned(m - 3);
                dst.push_back(uint8_t(v >> 8));
                dst.push_back(uint8_t(v));
                pos += m;
                bits = bits << 1 | 1;
            } else {
                dst.push_back(src[pos]);
                ++pos;
                bits <<= 1;
            }
        }
        ++items;
    }
    bits = items == 16 ? bits : bits << (16 - items);
    dst[control] = uint8_t(bits >> 8);
    dst[control + 1] = uint8_t(bits);
    if (int(dst.size()) <= n)
        return dst;
    Bytes stored{0x80};
    stored.insert(stored.end(), src.begin(), src.end());
    return stored;
}

Bytes code(const Bytes& src) {
    Bytes dst(Tlzrw1::CodeBufferSize);
    dst.resize(size_t(Tlzrw1::codeBlock(src.data(), int(src.size()), dst.data())));
    return dst;
}

// Decodes into a buffer of exactly the promised room, so that a sanitizer
// build sees any write beyond it; the block data is copied to a buffer of its
// own size for the same reason.
int decode(const Bytes& block, Bytes* out = nullptr) {
    Bytes src(block);
    Bytes dst(Tlzrw1::DecodeBufferSize);
    const int got = Tlzrw1::decodeBlock(src.data(), int(src.size()), dst.data());
    if (out && got >= 0)
        *out = Bytes(dst.begin(), dst.begin() + got);
    return got;
}

// Inputs of several kinds: random bytes, text-like words, long runs and a
// mixture, which exercise literals, copies, runs and stored blocks.
Bytes sample(std::mt19937& rng, int size, int kind) {
    static const char* words[] = {"the ",  "tally ", "of ",   "games ", "Klot ",  "won ",   "and ",
                                  "lost ", "\r\n",   "0\r\n", "1\r\n",  "12\r\n", "player "};
    Bytes out;
    out.reserve(size_t(size));
    while (int(out.size()) < size) {
        switch (kind % 4) {
        case 0:
            out.push_back(uint8_t(rng()));
            break;
        case 1: {
            const char* w = words[rng() % std::size(words)];
            out.insert(out.end(), w, w + strlen(w));
            break;
        }
        case 2:
            out.insert(out.end(), rng() % 6000, uint8_t(rng() % 3));
            break;
        default:
            if (rng() % 4 == 0)
                out.insert(out.end(), rng() % 40, uint8_t(rng()));
            else if (rng() % 2 == 0 && out.size() > 20) {
                const size_t back = 1 + rng() % std::min<size_t>(out.size(), 5000);
                const size_t len = rng() % 30;
                for (size_t i = 0; i < len; ++i)
                    out.push_back(out[out.size() - back]);
            } else
                out.push_back(uint8_t('a' + rng() % 5));
        }
    }
    out.resize(size_t(size));
    return out;
}

class Lzrw1Files : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    void put(const QString& name, const Bytes& data) const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(toArray(data));
    }
    Bytes get(const QString& name) const {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        return toBytes(f.readAll());
    }
    qint64 compress(const QString& from, const QString& to) {
        Tlzrw1 z;
        z.setInputFile(path(from));
        z.setOutputFile(path(to));
        return z.Compress();
    }
    qint64 decompress(const QString& from, const QString& to) {
        Tlzrw1 z;
        z.InputFile = path(from);
        z.OutputFile = path(to);
        return z.Decompress();
    }
    // Decompressing must fail with exactly this text and leave no output.
    void expectRefused(const Bytes& container, const QString& text) {
        put("bad.tld", container);
        QFile::remove(path("out.txt"));
        try {
            decompress("bad.tld", "out.txt");
            ADD_FAILURE() << "accepted a damaged container";
        } catch (const ELzrw1Exception& e) {
            EXPECT_EQ(e.text().toStdString(), text.toStdString());
        }
        EXPECT_FALSE(QFile::exists(path("out.txt")));
    }
    QString truncatedText() const {
        return "Lzrw1 : Error reading from input file : " + path("bad.tld");
    }
    QString corruptText() const {
        return "Lzrw1 (decompression LZRW1/KH) : Corrupt compressed data in : " + path("bad.tld");
    }

    QTemporaryDir dir;
};

} // namespace

// The four containers every reader and writer of tally files must agree on.
TEST_F(Lzrw1Files, WorkedExamplesAreWrittenAndReadByteForByte) {
    const struct {
        QByteArray data;
        const char* container;
    } cases[] = {
        {"", "57 52 5A 4C 00 00 00 00 01 00 80"},
        {"abc", "57 52 5A 4C 03 00 00 00 04 00 80 61 62 63"},
        {QByteArray(20, 'A'), "57 52 5A 4C 14 00 00 00 07 00 40 80 00 00 00 04 41"},
        {"abcabcabc", "57 52 5A 4C 09 00 00 00 08 00 40 10 00 61 62 63 00 33"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.container);
        put("in.txt", toBytes(c.data));
        const Bytes expected = hex(c.container);
        EXPECT_EQ(compress("in.txt", "out.tld"), qint64(expected.size()));
        EXPECT_EQ(get("out.tld"), expected);
        EXPECT_EQ(decompress("out.tld", "back.txt"), c.data.size());
        EXPECT_EQ(get("back.txt"), toBytes(c.data));
    }
}

TEST(Lzrw1Blocks, ShortAndIncompressibleInputsAreStored) {
    EXPECT_EQ(code(hex("41")), hex("80 41"));
    EXPECT_EQ(code(hex("41 41")), hex("80 41 41"));
    std::mt19937 rng(7);
    const Bytes noise = sample(rng, 32768, 0);
    const Bytes block = code(noise);
    ASSERT_EQ(block.size(), 32769u);
    EXPECT_EQ(block[0], 0x80);
    EXPECT_TRUE(std::equal(noise.begin(), noise.end(), block.begin() + 1));
}

// Runs start at 16 equal bytes; shorter repeats are a literal and a copy of
// offset 1, and a run is cut at 4095 with coding going on behind it.
TEST(Lzrw1Blocks, RunsAreCodedAtTheirLimits) {
    EXPECT_EQ(code(Bytes(15, 'A')), hex("40 40 00 41 00 1B"));
    EXPECT_EQ(code(Bytes(16, 'A')), hex("40 80 00 00 00 00 41"));
    EXPECT_EQ(code(Bytes(5000, 'x')), hex("40 C0 00 00 0F EF 78 00 03 79 78"));
    // 4095 + 15: the run, then a literal and a copy, as after any other item.
    EXPECT_EQ(code(Bytes(4110, 'x')), hex("40 A0 00 00 0F EF 78 78 00 1B"));
    Bytes out;
    ASSERT_EQ(decode(code(Bytes(5000, 'x')), &out), 5000);
    EXPECT_EQ(out, Bytes(5000, 'x'));
}

TEST_F(Lzrw1Files, FullBlockIsFollowedByAnEmptyBlock) {
    std::mt19937 rng(1);
    for (int size : {32768, 65536}) {
        const Bytes data = sample(rng, size, 1);
        put("in.txt", data);
        compress("in.txt", "out.tld");
        const Bytes c = get("out.tld");
        ASSERT_GE(c.size(), 11u);
        EXPECT_EQ(Bytes(c.end() - 3, c.end()), hex("01 00 80"));
        EXPECT_EQ(c[4] | c[5] << 8 | c[6] << 16, size);
        EXPECT_EQ(decompress("out.tld", "back.txt"), size);
        EXPECT_EQ(get("back.txt"), data);
    }
}

// The real coder must give exactly what the plain rules give, on every kind
// of input and around the sizes where its shortcuts change.
TEST(Lzrw1Blocks, CoderMatchesThePlainRulesAndDecodesBack) {
    std::mt19937 rng(2024);
    const int sizes[] = {0, 1, 2, 3, 4, 15, 16, 17, 18, 19, 24, 25, 100, 4095, 4111, 32767, 32768};
    int checked = 0;
    for (int round = 0; round < 30; ++round)
        for (int size : sizes)
            for (int kind = 0; kind < 4; ++kind) {
                const int n = size > 100 && round % 2 ? int(rng() % size) : size;
                const Bytes data = sample(rng, n, kind + round);
                const Bytes block = code(data);
                ASSERT_EQ(block, referenceCode(data)) << "size " << n << " kind " << kind;
                Bytes out;
                ASSERT_EQ(decode(block, &out), n);
                ASSERT_EQ(out, data);
                ++checked;
            }
    EXPECT_EQ(checked, 30 * 17 * 4);
}

TEST_F(Lzrw1Files, ManyFilesSurviveARoundTrip) {
    std::mt19937 rng(99);
    for (int i = 0; i < 40; ++i) {
        const int size =
            i < 8 ? 32768 * (i / 2) + (i % 2 ? 1 : -1) * int(i > 1) : int(rng() % 200000);
        const Bytes data = sample(rng, std::max(size, 0), i);
        put("in.txt", data);
        const qint64 written = compress("in.txt", "out.tld");
        EXPECT_EQ(written, qint64(get("out.tld").size()));
        EXPECT_EQ(decompress("out.tld", "back.txt"), qint64(data.size()));
        ASSERT_EQ(get("back.txt"), data) << "file " << i;
    }
}

// The program unpacks its tally into a fresh temporary file at every start:
// a new output is written straight under its name (nothing else is left in
// the folder), one that exists is replaced whole, and a container that turns
// out damaged after a first good block leaves no new file behind.
TEST_F(Lzrw1Files, NewOutputsAreWrittenInPlaceAndOldOnesReplacedWhole) {
    std::mt19937 rng(5);
    const Bytes data = sample(rng, 70000, 3);
    put("in.txt", data);
    compress("in.txt", "tally.tld");
    QFile::remove(path("in.txt"));
    EXPECT_EQ(decompress("tally.tld", "temp.txt"), qint64(data.size()));
    EXPECT_EQ(get("temp.txt"), data);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"tally.tld", "temp.txt"}));

    put("temp.txt", hex("09 09"));
    EXPECT_EQ(decompress("tally.tld", "temp.txt"), qint64(data.size()));
    EXPECT_EQ(get("temp.txt"), data);

    QFile container(path("tally.tld"));
    ASSERT_TRUE(container.open(QIODevice::ReadOnly));
    const QByteArray whole = container.readAll();
    container.close();
    put("cut.tld", toBytes(whole.left(whole.size() - 10)));
    EXPECT_THROW(decompress("cut.tld", "fresh.txt"), ELzrw1Exception);
    EXPECT_FALSE(QFile::exists(path("fresh.txt")));
}

TEST_F(Lzrw1Files, ContainersWithoutSignatureOrWithFalseSizeAreRefused) {
    expectRefused(hex("57 52 5A 4D 00 00 00 00 01 00 80"),
                  path("bad.tld") + " : Lzrw1 decompression : this file has no valid header !");
    expectRefused(hex("57 52 5A 4C 04 00 00 00 04 00 80 61 62 63"),
                  "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !");
    expectRefused(hex("57 52 5A 4C 02 00 00 00 04 00 80 61 62 63"),
                  "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !");
    expectRefused(hex("21 48 5A 4C 00 00 00 00 01 00 80"),
                  path("bad.tld") +
                      " : Lzrw1 decompression : this file uses a method that is not supported !");
}

// A damaged file must never replace what the output file held before.
TEST_F(Lzrw1Files, RefusedContainerLeavesAnOldOutputUntouched) {
    put("out.txt", hex("01 02 03"));
    put("bad.tld", hex("00 11 22 33"));
    EXPECT_THROW(decompress("bad.tld", "out.txt"), ELzrw1Exception);
    EXPECT_EQ(get("out.txt"), hex("01 02 03"));
}

TEST_F(Lzrw1Files, EveryTruncationIsRefused) {
    std::mt19937 rng(5);
    const Bytes data = sample(rng, 70000, 3);
    put("in.txt", data);
    compress("in.txt", "full.tld");
    const Bytes full = get("full.tld");
    std::vector<size_t> cuts;
    for (size_t cut = 0; cut < 40; ++cut)
        cuts.push_back(cut);
    for (size_t cut = full.size() - 40; cut < full.size(); ++cut)
        cuts.push_back(cut);
    for (int i = 0; i < 40; ++i)
        cuts.push_back(rng() % full.size());
    for (size_t cut : cuts) {
        SCOPED_TRACE(cut);
        put("bad.tld", Bytes(full.begin(), full.begin() + cut));
        QFile::remove(path("out.txt"));
        EXPECT_THROW(decompress("bad.tld", "out.txt"), ELzrw1Exception);
        EXPECT_FALSE(QFile::exists(path("out.txt")));
    }
    // Only the header's own cuts get the plain read error.
    expectRefused(hex("57 52 5A"), truncatedText());
    expectRefused(hex("57 52 5A 4C 03 00 00 00 04 00 80 61"), truncatedText());
}

// Block data no coder writes: each must be refused without reading or writing
// past the buffers (a sanitizer build checks the latter).
TEST_F(Lzrw1Files, ImpossibleBlocksAreRefused) {
    Bytes tooLong = hex("57 52 5A 4C 00 80 00 00 02 80");
    tooLong.resize(10 + 32769, 'a');
    expectRefused(tooLong, corruptText());
    // A copy at the very start of a block has nothing to copy from.
    expectRefused(hex("57 52 5A 4C 04 00 00 00 05 00 40 80 00 00 31"), corruptText());
    // A copy of offset 2 after a single byte reaches before the block.
    expectRefused(hex("57 52 5A 4C 04 00 00 00 06 00 40 40 00 61 00 21"), corruptText());
    // Nine longest runs make more than a block.
    Bytes runs = hex("57 52 5A 4C 00 00 01 00 27 00 40 FF 80");
    for (int i = 0; i < 9; ++i)
        runs.insert(runs.end(), {0x00, 0x0F, 0xEF, 0x61});
    expectRefused(runs, corruptText());

    const struct {
        const char* block;
        int result;
    } blocks[] = {
        {"", 0},
        {"40", 0},
        {"80", 0},
        {"40 00", -1},             // half a control word
        {"40 00 00", 0},           // a control word and no items
        {"40 00 00 61 62", 2},     // literals end where the data ends
        {"40 40 00 61 00", -1},    // copy cut after its first byte
        {"40 80 00 00 00 05", -1}, // run cut short
        {"40 00 00 61 61 61 61 61 61 61 61 61 61 61 61 61 61 61 61 00",
         -1}, // lone byte after a group
        {"40 00 00 61 61 61 61 61 61 61 61 61 61 61 61 61 61 61 61", 16},
        {"40 C0 00 00 0F EF 61 00 0F EF 61", 8190},
        {"41 20 00 61 62 00 2F", 20}, // any flag but 0x80 is a coded block
    };
    for (const auto& b : blocks) {
        SCOPED_TRACE(b.block);
        EXPECT_EQ(decode(hex(b.block)), b.result);
    }

    // The same reach before the block deep inside long data, where groups
    // are decoded without per-item checks: 16 literals, then a copy of
    // offset 17, then enough literals behind it.
    Bytes deep = hex("40 00 00");
    deep.insert(deep.end(), 16, 'a');
    deep.insert(deep.end(), {0x80, 0x00, 0x01, 0x10});
    deep.insert(deep.end(), 15, 'b');
    for (int g = 0; g < 4; ++g) {
        deep.insert(deep.end(), {0x00, 0x00});
        deep.insert(deep.end(), 16, 'c');
    }
    EXPECT_EQ(decode(deep), -1);
    deep[22] = 0x00; // offset 16 reaches the first byte exactly
    Bytes out;
    ASSERT_EQ(decode(deep, &out), 16 + 3 + 15 + 64);
    EXPECT_EQ(Bytes(out.begin() + 16, out.begin() + 19), Bytes(3, 'a'));
}

TEST(Lzrw1Blocks, RandomBlockDataNeverOverrunsTheOutput) {
    std::mt19937 rng(31337);
    Bytes dst(Tlzrw1::DecodeBufferSize + 64, 0xEE);
    int valid = 0;
    for (int i = 0; i < 3000; ++i) {
        Bytes src(rng() % (i < 2000 ? 200 : 33000));
        for (auto& b : src)
            b = uint8_t(rng() % (i % 3 == 0 ? 4 : 256));
        if (!src.empty())
            src[0] = i % 5 == 0 ? 0x80 : 0x40;
        const int got = Tlzrw1::decodeBlock(src.data(), int(src.size()), dst.data());
        ASSERT_GE(got, -1);
        ASSERT_LE(got, Tlzrw1::BlockSize);
        valid += got >= 0;
        for (size_t g = Tlzrw1::DecodeBufferSize; g < dst.size(); ++g)
            ASSERT_EQ(dst[g], 0xEE);
    }
    EXPECT_GT(valid, 0);
}

TEST_F(Lzrw1Files, MissingFilesAreReportedByName) {
    const QString missing = path("nothing.txt");
    Tlzrw1 z;
    z.InputFile = missing;
    z.OutputFile = path("out.tld");
    try {
        z.Compress();
        ADD_FAILURE();
    } catch (const ELzrw1Exception& e) {
        EXPECT_EQ(e.text(), "Lzrw1 compression : Failed to obtain the size of : " + missing);
    }
    try {
        z.Decompress();
        ADD_FAILURE();
    } catch (const ELzrw1Exception& e) {
        EXPECT_EQ(e.text(), "Lzrw1 (de)compression : Failed to open input file : " + missing);
    }
    put("in.txt", hex("61"));
    z.InputFile = path("in.txt");
    z.OutputFile = path("no/such/folder/out.tld");
    try {
        z.Compress();
        ADD_FAILURE();
    } catch (const ELzrw1Exception& e) {
        EXPECT_EQ(e.text(), "Lzrw1 (de)compression : Failed to open output file : " + z.OutputFile);
    }
}
