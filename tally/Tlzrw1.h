#pragma once

#include <QString>

#include <cstdint>

// The coding methods a Tlzrw1 can be asked for. Only LZRW1/KH exists here;
// every mode compresses with it.
enum class TCompressMode { Good, Fast, Auto };

// Compresses one file into another and back, in the block container of the
// tally file:
//
//   "WRZL", uncompressed size (u32 LE), then blocks to the end of the file:
//   stored length L (u16 LE), L bytes of block data.
//
// Each block holds 32768 bytes of the data except the last, which holds fewer
// (possibly none). Block data is either 0x80 and the bytes unchanged, or 0x40
// and LZRW1/KH groups: a 16-bit control word (high byte first, one bit per
// item from the top, 1 = copy or run) and up to 16 items: a literal byte, a
// copy (12-bit offset, 4-bit length - 3) or a run (0x00, length - 16 in 12
// bits, the byte).
//
// Files are streamed a block at a time, so memory use is the same whatever
// their size. The output is written through a temporary file beside it and
// only replaces the old file when complete: a failure never leaves a partial
// output and never destroys what was there before.
class Tlzrw1 {
public:
    static constexpr int BlockSize = 32768;
    // Room codeBlock needs in its output: coding stops one item after the
    // output passes the input size, and an item takes at most 6 bytes.
    static constexpr int CodeBufferSize = BlockSize + 16;
    // Room decodeBlock needs in its output: it writes whole 8- and 16-byte
    // words, up to 24 bytes past the last byte it produces.
    static constexpr int DecodeBufferSize = BlockSize + 32;
    // The largest stored length of a valid block (a stored full block).
    static constexpr int MaxStoredLength = BlockSize + 1;

    QString InputFile;
    QString OutputFile;
    TCompressMode CompressMode = TCompressMode::Fast;
    // The largest uncompressed size Decompress accepts. A container whose
    // header declares more is refused before any block is read, so a small
    // hostile file cannot make its reader handle a huge output.
    qint64 MaxOriginalSize = qint64(UINT32_MAX);

    void setInputFile(const QString& name) { InputFile = name; }
    void setOutputFile(const QString& name) { OutputFile = name; }

    // Reads InputFile and writes its container to OutputFile; returns the
    // number of bytes written. Throws ELzrw1Exception.
    qint64 Compress();
    // Reads the container InputFile and writes the data to OutputFile;
    // returns the number of bytes written. Throws ELzrw1Exception on any
    // damaged or truncated container, or one declaring more than
    // MaxOriginalSize bytes.
    qint64 Decompress();

    // Codes n (0 to BlockSize) bytes of src as one block's data into dst,
    // which has room for CodeBufferSize bytes; returns the data's length
    // (1 to n + 1).
    static int codeBlock(const uint8_t* src, int n, uint8_t* dst);
    // Decodes len bytes of block data into dst, which has room for
    // DecodeBufferSize bytes; returns the number of bytes produced
    // (0 to BlockSize), or -1 when the data is not a valid block. Reads
    // nothing outside src[0, len) and writes nothing outside dst's room.
    static int decodeBlock(const uint8_t* src, int len, uint8_t* dst);
};
