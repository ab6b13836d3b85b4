#include "tally/Tlzrw1.h"

#include "tally/ELzrw1Exception.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

namespace {

// Where Decompress writes. A file that exists is replaced only once the
// whole new one is written (QSaveFile). A new file is written in place and
// removed again if anything fails: there is nothing earlier to protect, and
// QSaveFile's commit flushes the disk, which would cost every start of the
// program, whose tally text goes to a fresh temporary file read once.
class DecodedOutput {
public:
    explicit DecodedOutput(const QString& name) : m_name(name), m_replace(QFile::exists(name)) {
        if (m_replace)
            m_save.emplace(name);
        else
            m_fresh.emplace(name);
    }
    ~DecodedOutput() {
        if (m_fresh && m_opened && !m_done) {
            m_fresh->close();
            QFile::remove(m_name);
        }
    }
    bool open() {
        // NewOnly: a file that appeared in the meantime is not overwritten.
        m_opened = m_replace ? m_save->open(QIODevice::WriteOnly)
                             : m_fresh->open(QIODevice::WriteOnly | QIODevice::NewOnly);
        return m_opened;
    }
    qint64 write(const char* data, qint64 count) {
        return m_replace ? m_save->write(data, count) : m_fresh->write(data, count);
    }
    bool commit() {
        if (m_replace)
            return m_save->commit();
        m_done = m_fresh->flush() && m_fresh->error() == QFileDevice::NoError;
        m_fresh->close();
        return m_done;
    }

private:
    QString m_name;
    bool m_replace;
    bool m_opened = false;
    bool m_done = false;
    std::optional<QSaveFile> m_save;
    std::optional<QFile> m_fresh;
};

constexpr int HashSize = 4096;
constexpr int MaxOffset = 4095;
constexpr int MinMatch = 3;
constexpr int MaxMatch = 18;
constexpr int MinRun = 16;
constexpr int MaxRun = 4095;
// A table entry no position can reach: pos - Unused is never below 4096.
constexpr int16_t Unused = -4096;

constexpr uint8_t StoredFlag = 0x80;
constexpr uint8_t CodedFlag = 0x40;
constexpr char Signature[4] = {'W', 'R', 'Z', 'L'};
constexpr char OtherSignature[4] = {'!', 'H', 'Z', 'L'};

inline uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline void copy8(uint8_t* to, const uint8_t* from) {
    std::memcpy(to, from, 8);
}

// Number of equal bytes at the start of a and b, at most limit.
inline int agreement(const uint8_t* a, const uint8_t* b, int limit) {
    int m = 0;
    while (m + 8 <= limit) {
        const uint64_t x = load64(a + m) ^ load64(b + m);
        if (x != 0)
            return m + (std::countr_zero(x) >> 3);
        m += 8;
    }
    while (m < limit && a[m] == b[m])
        ++m;
    return m;
}

inline unsigned hashOf(const uint8_t* p) {
    const uint32_t mixed = ((uint32_t(p[0]) << 4 ^ p[1]) << 4) ^ p[2];
    return ((mixed * 40543u) >> 4) & (HashSize - 1);
}

inline uint8_t* putRun(uint8_t* op, int run, uint8_t value) {
    const int stored = run - MinRun;
    op[0] = 0;
    op[1] = uint8_t(stored >> 8);
    op[2] = uint8_t(stored);
    op[3] = value;
    return op + 4;
}

inline uint8_t* putCopy(uint8_t* op, int offset, int match) {
    const unsigned item = unsigned(offset) << 4 | unsigned(match - MinMatch);
    op[0] = uint8_t(item >> 8);
    op[1] = uint8_t(item);
    return op + 2;
}

// Reads until count bytes or the end of the file; -1 on a read error.
qint64 readUpTo(QFile& file, uint8_t* to, qint64 count) {
    qint64 done = 0;
    while (done < count) {
        const qint64 got = file.read(reinterpret_cast<char*>(to) + done, count - done);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

// A buffer for one block's input or output; running out of memory is
// reported as the container's own error.
std::unique_ptr<uint8_t[]> ioBuffer(size_t size) {
    try {
        return std::unique_ptr<uint8_t[]>(new uint8_t[size]);
    } catch (const std::bad_alloc&) {
        throw ELzrw1Exception("Lzrw1 (de)compression : Failed to get memory for I/O buffers !");
    }
}

} // namespace

int Tlzrw1::codeBlock(const uint8_t* src, int n, uint8_t* dst) {
    int16_t table[HashSize];
    std::fill(table, table + HashSize, Unused);

    dst[0] = CodedFlag;
    uint8_t* control = dst + 1;
    uint8_t* op = dst + 3;
    // Coding goes on only while its output is no longer than the input.
    const uint8_t* const limit = dst + n;
    uint32_t bits = 0;
    int items = 0;
    int pos = 0;

    while (pos < n && op <= limit) {
        if (items == 16) {
            control[0] = uint8_t(bits >> 8);
            control[1] = uint8_t(bits);
            control = op;
            op += 2;
            bits = 0;
            items = 0;
        }
        const int remain = n - pos;
        const uint8_t* const here = src + pos;

        if (remain >= 24) {
            // The common case, with room for whole-word reads: a run item
            // needs 16 equal bytes, which holds when the words at 0 and 1 are
            // equal (bytes 0..8) and the words at 0 and 8 are (bytes 8..15).
            const uint64_t word = load64(here);
            if (word == load64(here + 1) && word == load64(here + 8)) {
                const int run =
                    MinRun + agreement(here + MinRun, here, std::min(remain, MaxRun) - MinRun);
                op = putRun(op, run, here[0]);
                pos += run;
                bits = bits << 1 | 1;
            } else {
                const unsigned h = hashOf(here);
                const int offset = pos - table[h];
                table[h] = int16_t(pos);
                // Worked out without a branch, which random data would keep
                // mispredicting: an entry out of reach compares the position
                // with itself and is then rejected by the flag.
                const unsigned tooFar = unsigned(MaxOffset - offset) >> 31;
                const uint8_t* const ref = here - (offset & (int(tooFar) - 1));
                const uint64_t diff = load64(ref) ^ word;
                if (((uint32_t(diff) & 0xFFFFFF) | tooFar) == 0) {
                    const int match = diff != 0 ? std::countr_zero(diff) >> 3
                                                : 8 + agreement(here + 8, ref + 8, MaxMatch - 8);
                    op = putCopy(op, offset, match);
                    pos += match;
                    bits = bits << 1 | 1;
                } else {
                    *op++ = here[0];
                    ++pos;
                    bits <<= 1;
                }
            }
        } else if (remain >= MinRun &&
                   std::all_of(here + 1, here + MinRun, [&](uint8_t b) { return b == here[0]; })) {
            const int run = MinRun + agreement(here + MinRun, here, remain - MinRun);
            op = putRun(op, run, here[0]);
            pos += run;
            bits = bits << 1 | 1;
        } else {
            int match = 0;
            int offset = 0;
            if (remain >= MinMatch) {
                const unsigned h = hashOf(here);
                offset = pos - table[h];
                table[h] = int16_t(pos);
                if (offset <= MaxOffset)
                    match = agreement(here, here - offset, std::min(remain, MaxMatch));
            }
            if (match >= MinMatch) {
                op = putCopy(op, offset, match);
                pos += match;
                bits = bits << 1 | 1;
            } else {
                *op++ = here[0];
                ++pos;
                bits <<= 1;
            }
        }
        ++items;
    }
    bits = items == 0 ? 0 : bits << (16 - items);
    control[0] = uint8_t(bits >> 8);
    control[1] = uint8_t(bits);

    if (op <= limit)
        return int(op - dst);
    dst[0] = StoredFlag;
    if (n > 0)
        std::memcpy(dst + 1, src, size_t(n));
    return n + 1;
}

int Tlzrw1::decodeBlock(const uint8_t* src, int len, uint8_t* dst) {
    if (len < 2)
        return 0;
    if (src[0] == StoredFlag) {
        if (len - 1 > BlockSize)
            return -1;
        std::memcpy(dst, src + 1, size_t(len - 1));
        return len - 1;
    }
    const uint8_t* ip = src + 1;
    const uint8_t* const end = src + len;
    uint8_t* op = dst;
    uint8_t* const limit = dst + BlockSize;

    for (;;) {
        if (ip == end)
            return int(op - dst);
        if (end - ip < 2)
            return -1;
        // The 16 control bits on top, a marker bit below them: once only the
        // marker is left, the group is done.
        uint32_t control = uint32_t(ip[0]) << 24 | uint32_t(ip[1]) << 16 | 0x8000u;
        ip += 2;
        if (end - ip >= 16 * 4 + 16 && limit - op >= 16 * MaxMatch + 16) {
            // The whole group is in the data and its literals and copies fit
            // in the room, so they go without checks. A stretch of literals
            // is taken at once and is always followed by a copy or run.
            for (;;) {
                if ((control & 0x80000000u) == 0) {
                    const int count = std::countl_zero(control);
                    copy8(op, ip);
                    copy8(op + 8, ip + 8);
                    op += count;
                    ip += count;
                    control <<= count;
                    if (control == 0x80000000u)
                        break;
                }
                const int offset = ip[0] << 4 | ip[1] >> 4;
                const int length = (ip[1] & 0x0F) + MinMatch;
                if (offset >= 8 && offset <= op - dst) {
                    const uint8_t* ref = op - offset;
                    copy8(op, ref);
                    copy8(op + 8, ref + 8);
                    copy8(op + 16, ref + 16);
                } else if (offset == 0) {
                    break; // a run may use up the room: the checked steps go on
                } else if (offset > op - dst) {
                    return -1;
                } else {
                    const uint8_t* ref = op - offset;
                    for (int i = 0; i < length; ++i)
                        op[i] = ref[i];
                }
                op += length;
                ip += 2;
                control <<= 1;
                if (control == 0x80000000u)
                    break;
            }
        }
        while (control != 0x80000000u) {
            if (ip == end)
                return int(op - dst);
            if ((control & 0x80000000u) == 0) {
                // A stretch of literals, taken at once.
                int count = std::countl_zero(control);
                const int avail = int(end - ip);
                if (count > avail)
                    count = avail;
                if (limit - op < count)
                    return -1;
                if (avail >= 16) {
                    copy8(op, ip);
                    copy8(op + 8, ip + 8);
                } else {
                    std::memcpy(op, ip, size_t(count));
                }
                op += count;
                ip += count;
                control <<= count;
                continue;
            }
            if (end - ip < 2)
                return -1;
            const int offset = ip[0] << 4 | ip[1] >> 4;
            if (offset == 0) {
                if (end - ip < 4)
                    return -1;
                const int run = (ip[1] << 8 | ip[2]) + MinRun;
                if (limit - op < run)
                    return -1;
                std::memset(op, ip[3], size_t(run));
                op += run;
                ip += 4;
            } else {
                const int length = (ip[1] & 0x0F) + MinMatch;
                if (offset > op - dst || limit - op < length)
                    return -1;
                const uint8_t* ref = op - offset;
                if (offset >= 8) {
                    // Whole words; each reads only bytes the words before it
                    // have already written.
                    copy8(op, ref);
                    copy8(op + 8, ref + 8);
                    copy8(op + 16, ref + 16);
                } else {
                    for (int i = 0; i < length; ++i)
                        op[i] = ref[i];
                }
                op += length;
                ip += 2;
            }
            control <<= 1;
        }
    }
}

qint64 Tlzrw1::Compress() {
    const std::unique_ptr<uint8_t[]> in = ioBuffer(BlockSize);
    const std::unique_ptr<uint8_t[]> out = ioBuffer(CodeBufferSize);

    const QFileInfo info(InputFile);
    if (InputFile.isEmpty() || !info.isFile() || info.size() > qint64(UINT32_MAX))
        throw ELzrw1Exception("Lzrw1 compression : Failed to obtain the size of : " + InputFile);
    const qint64 size = info.size();

    QFile input(InputFile);
    if (!input.open(QIODevice::ReadOnly))
        throw ELzrw1Exception("Lzrw1 (de)compression : Failed to open input file : " + InputFile);
    // Nothing reaches OutputFile before commit(); leaving early discards it.
    QSaveFile output(OutputFile);
    if (OutputFile.isEmpty() || !output.open(QIODevice::WriteOnly))
        throw ELzrw1Exception("Lzrw1 (de)compression : Failed to open output file : " + OutputFile);

    auto write = [&](const void* data, qint64 count) {
        if (output.write(static_cast<const char*>(data), count) != count)
            throw ELzrw1Exception("Lzrw1 : Error writing to output file : " + OutputFile);
    };

    uint8_t header[8];
    std::memcpy(header, Signature, 4);
    for (int i = 0; i < 4; ++i)
        header[4 + i] = uint8_t(quint64(size) >> (8 * i));
    write(header, 8);
    qint64 written = 8;
    qint64 consumed = 0;
    for (;;) {
        const qint64 got = readUpTo(input, in.get(), BlockSize);
        if (got < 0)
            throw ELzrw1Exception("Lzrw1 : Error reading from input file : " + InputFile +
                                  " (LZRW1/KH)");
        consumed += got;
        const int length = codeBlock(in.get(), int(got), out.get());
        const uint8_t stored[2] = {uint8_t(length), uint8_t(length >> 8)};
        write(stored, 2);
        write(out.get(), length);
        written += 2 + length;
        if (got < BlockSize)
            break;
    }
    // A file that changed while it was read would give a container whose
    // stored size is wrong.
    if (consumed != size)
        throw ELzrw1Exception("Lzrw1 : Error reading from input file : " + InputFile +
                              " (LZRW1/KH)");
    if (!output.commit())
        throw ELzrw1Exception("Lzrw1 : Error writing to output file : " + OutputFile);
    return written;
}

qint64 Tlzrw1::Decompress() {
    const std::unique_ptr<uint8_t[]> in = ioBuffer(MaxStoredLength);
    const std::unique_ptr<uint8_t[]> out = ioBuffer(DecodeBufferSize);

    QFile input(InputFile);
    if (InputFile.isEmpty() || !input.open(QIODevice::ReadOnly))
        throw ELzrw1Exception("Lzrw1 (de)compression : Failed to open input file : " + InputFile);
    if (OutputFile.isEmpty())
        throw ELzrw1Exception("Lzrw1 (de)compression : Failed to open output file : " + OutputFile);
    DecodedOutput output(OutputFile);
    if (!output.open())
        throw ELzrw1Exception("Lzrw1 (de)compression : Failed to open output file : " + OutputFile);

    auto read = [&](uint8_t* to, qint64 count) {
        if (readUpTo(input, to, count) != count)
            throw ELzrw1Exception("Lzrw1 : Error reading from input file : " + InputFile);
    };
    auto corrupt = [&]() {
        return ELzrw1Exception("Lzrw1 (decompression LZRW1/KH) : Corrupt compressed data in : " +
                               InputFile);
    };
    const ELzrw1Exception sizeMismatch(
        "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !");

    uint8_t header[4];
    read(header, 4);
    if (std::memcmp(header, OtherSignature, 4) == 0)
        throw ELzrw1Exception(InputFile +
                              " : Lzrw1 decompression : this file uses a method that is not "
                              "supported !");
    if (std::memcmp(header, Signature, 4) != 0)
        throw ELzrw1Exception(InputFile +
                              " : Lzrw1 decompression : this file has no valid header !");
    read(header, 4);
    const qint64 size = qint64(header[0]) | qint64(header[1]) << 8 | qint64(header[2]) << 16 |
                        qint64(header[3]) << 24;
    if (size > MaxOriginalSize)
        throw ELzrw1Exception(
            QString("Lzrw1 (decompression LZRW1/KH) : %1 declares %2 bytes, more than the %3 "
                    "allowed !")
                .arg(InputFile)
                .arg(size)
                .arg(MaxOriginalSize));

    qint64 total = 0;
    for (;;) {
        uint8_t stored[2];
        read(stored, 2);
        const int length = stored[0] | stored[1] << 8;
        if (length > MaxStoredLength)
            throw corrupt();
        read(in.get(), length);
        const int got = decodeBlock(in.get(), length, out.get());
        if (got < 0)
            throw corrupt();
        total += got;
        // Refused at once rather than after writing more than was promised.
        if (total > size)
            throw sizeMismatch;
        if (output.write(reinterpret_cast<const char*>(out.get()), got) != got)
            throw ELzrw1Exception("Lzrw1 : Error writing to output file : " + OutputFile);
        if (got < BlockSize)
            break;
    }
    if (total != size)
        throw sizeMismatch;
    if (!output.commit())
        throw ELzrw1Exception("Lzrw1 : Error writing to output file : " + OutputFile);
    return total;
}
