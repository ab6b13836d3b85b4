// Measures the tally container's block coder and decoder in memory, side by
// side with LZ4 and zlib level 1 on the same inputs, all cut into 32 KiB
// blocks coded one by one. Prints speeds (MB/s of uncompressed data) and
// output sizes, and checks that every coder gives its input back.
//
//   bench_lzrw1 [seconds per measurement, default 0.3]
#include "tally/Tlzrw1.h"

#include <lz4.h>
#include <zlib.h>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int Block = Tlzrw1::BlockSize;
constexpr size_t CorpusSize = 4 << 20;

// English-like prose: common words drawn with falling frequencies, sentences
// with commas and full stops, lines wrapped at 72 columns.
Bytes englishText() {
    static const char* words[] = {
        "the",       "of",      "and",       "to",      "a",         "in",       "is",
        "that",      "it",      "was",       "for",     "on",        "are",      "as",
        "with",      "his",     "they",      "at",      "be",        "this",     "from",
        "have",      "or",      "by",        "one",     "had",       "not",      "but",
        "what",      "all",     "were",      "when",    "we",        "there",    "can",
        "an",        "your",    "which",     "their",   "said",      "if",       "do",
        "will",      "each",    "about",     "how",     "up",        "out",      "them",
        "then",      "she",     "many",      "some",    "so",        "these",    "would",
        "other",     "into",    "has",       "more",    "her",       "two",      "like",
        "him",       "see",     "time",      "could",   "no",        "make",     "than",
        "first",     "been",    "its",       "who",     "now",       "people",   "my",
        "made",      "over",    "did",       "down",    "only",      "way",      "find",
        "use",       "may",     "water",     "long",    "little",    "very",     "after",
        "words",     "called",  "just",      "where",   "most",      "know",     "get",
        "through",   "back",    "much",      "before",  "go",        "good",     "new",
        "write",     "our",     "used",      "me",      "man",       "too",      "any",
        "day",       "same",    "right",     "look",    "think",     "also",     "around",
        "another",   "came",    "come",      "work",    "three",     "word",     "must",
        "because",   "does",    "part",      "even",    "place",     "well",     "such",
        "here",      "take",    "why",       "things",  "help",      "put",      "years",
        "different", "away",    "again",     "off",     "went",      "old",      "number",
        "great",     "tell",    "men",       "say",     "small",     "every",    "found",
        "still",     "between", "name",      "should",  "home",      "big",      "give",
        "air",       "line",    "set",       "own",     "under",     "read",     "last",
        "never",     "us",      "left",      "end",     "along",     "while",    "might",
        "next",      "sound",   "below",     "saw",     "something", "thought",  "both",
        "few",       "those",   "always",    "looked",  "show",      "large",    "often",
        "together",  "asked",   "house",     "world",   "going",     "want",     "school",
        "important", "until",   "form",      "food",    "keep",      "children", "feet",
        "land",      "side",    "without",   "boy",     "once",      "animals",  "life",
        "enough",    "took",    "sometimes", "four",    "head",      "above",    "kind",
        "began",     "almost",  "live",      "page",    "got",       "earth",    "need",
        "far",       "hand",    "high",      "year",    "mother",    "light",    "parts",
        "country",   "father",  "let",       "night",   "following", "picture",  "being",
        "study",     "second",  "eyes",      "soon",    "times",     "story",    "boys",
        "since",     "white",   "days",      "ever",    "paper",     "hard",     "near",
        "sentence",  "better",  "best",      "across",  "during",    "today",    "others",
        "however",   "sure",    "means",     "knew",    "try",       "told",     "young",
        "miles",     "sun",     "ways",      "thing",   "whole",     "hear",     "example",
        "heard",     "several", "change",    "answer",  "room",      "sea",      "against",
        "top",       "turned",  "learn",     "point",   "city",      "play",     "toward",
        "five",      "using",   "himself",   "usually", "dice",      "column",   "marker",
        "board",     "turn",    "player",    "game",    "roll",      "chip",     "winner"};
    const int count = int(std::size(words));
    // Zipf-like weights: word i is drawn with weight 1 / (i + 2).
    std::vector<double> cumulative(count);
    double sum = 0;
    for (int i = 0; i < count; ++i)
        cumulative[i] = sum += 1.0 / (i + 2);
    std::mt19937 rng(12345);
    auto pick = [&]() {
        const double x = double(rng()) / 4294967296.0 * sum;
        return words[std::lower_bound(cumulative.begin(), cumulative.end(), x) -
                     cumulative.begin()];
    };
    std::string text;
    size_t column = 0;
    auto addWord = [&](const std::string& w) {
        if (column + w.size() + 1 > 72) {
            text += "\n";
            column = 0;
        } else if (column > 0) {
            text += " ";
            ++column;
        }
        text += w;
        column += w.size();
    };
    while (text.size() < CorpusSize) {
        const int length = 5 + int(rng() % 16);
        for (int i = 0; i < length; ++i) {
            std::string w = pick();
            if (i == 0)
                w[0] = char(std::toupper(w[0]));
            if (i == length - 1)
                w += ".";
            else if (rng() % 9 == 0)
                w += ",";
            addWord(w);
        }
        if (rng() % 6 == 0) {
            text += "\n\n";
            column = 0;
        }
    }
    text.resize(CorpusSize);
    return Bytes(text.begin(), text.end());
}

// The licence texts of the machine, repeated to the corpus size (empty when
// the folder is missing).
Bytes licenceTexts() {
    Bytes all;
    const QDir dir("/usr/share/common-licenses");
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray data = f.readAll();
            all.insert(all.end(), data.begin(), data.end());
        }
    }
    if (all.empty())
        return all;
    Bytes out;
    while (out.size() < CorpusSize)
        out.insert(out.end(), all.begin(), all.end());
    out.resize(CorpusSize);
    return out;
}

// A tally table as the tally window saves it, with many followed players:
// counts, rows, then each column's cells, one line each.
Bytes tallyTable() {
    std::mt19937 rng(77);
    const int rows = 40000;
    std::vector<std::string> names;
    static const char* parts[] = {"Klot", "dice", "Mara", "Tom", "rol", "ler", "ina",
                                  "Big",  "_",    "42",   "Ace", "Zed", "ly",  "o"};
    for (int r = 1; r < rows; ++r) {
        std::string n;
        for (int p = 0, k = 1 + int(rng() % 3); p < k; ++p)
            n += parts[rng() % std::size(parts)];
        names.push_back(n);
    }
    std::string t = "9\r\n" + std::to_string(rows) + "\r\n0\r\n";
    for (const auto& n : names)
        t += n + "\r\n";
    for (int c = 1; c < 9; ++c) {
        t += c <= 2 ? std::to_string(rng() % 5000) + "\r\n" : "0\r\n";
        for (int r = 1; r < rows; ++r)
            t += (c >= 5 ? std::to_string(rng() % 4) : std::to_string(rng() % 300)) + "\r\n";
    }
    return Bytes(t.begin(), t.end());
}

Bytes randomBytes() {
    std::mt19937_64 rng(4242);
    Bytes out(CorpusSize);
    for (size_t i = 0; i < out.size(); i += 8) {
        const uint64_t v = rng();
        std::memcpy(out.data() + i, &v, 8);
    }
    return out;
}

double secondsPerRun = 0.3;

struct Coder {
    const char* name;
    // Codes one block into out (room enough), returns the coded length.
    std::function<int(const uint8_t*, int, uint8_t*)> code;
    // Decodes one coded block into out (room: Tlzrw1::DecodeBufferSize),
    // returns the decoded length.
    std::function<int(const uint8_t*, int, uint8_t*)> decode;
};

struct Result {
    double codeMBs = 0;
    double decodeMBs = 0;
    size_t outSize = 0;
};

// Best time of one pass of each piece of work. The pieces take turns, pass
// by pass, so that a busy machine slows them all alike.
std::vector<double> bestSeconds(const std::vector<std::function<void()>>& work) {
    using clock = std::chrono::steady_clock;
    std::vector<double> best(work.size(), 1e30);
    const auto start = clock::now();
    int passes = 0;
    do {
        for (size_t i = 0; i < work.size(); ++i) {
            const auto t0 = clock::now();
            work[i]();
            best[i] = std::min(best[i], std::chrono::duration<double>(clock::now() - t0).count());
        }
        ++passes;
    } while (passes < 5 || std::chrono::duration<double>(clock::now() - start).count() <
                               secondsPerRun * double(work.size()));
    return best;
}

std::vector<Result> measure(const std::vector<Coder>& coders, const Bytes& data) {
    const size_t blocks = (data.size() + Block - 1) / Block;
    const size_t count = coders.size();
    std::vector<std::vector<Bytes>> coded(count, std::vector<Bytes>(blocks, Bytes(Block + 1024)));
    std::vector<std::vector<int>> codedLen(count, std::vector<int>(blocks));
    std::vector<Bytes> back(count, Bytes(data.size() + Tlzrw1::DecodeBufferSize));
    std::vector<bool> intact(count, true);

    std::vector<std::function<void()>> coding;
    std::vector<std::function<void()>> decoding;
    for (size_t c = 0; c < count; ++c) {
        coding.push_back([&, c]() {
            for (size_t b = 0; b < blocks; ++b) {
                const int n = int(std::min<size_t>(Block, data.size() - b * Block));
                codedLen[c][b] = coders[c].code(data.data() + b * Block, n, coded[c][b].data());
            }
        });
        decoding.push_back([&, c]() {
            size_t at = 0;
            for (size_t b = 0; b < blocks; ++b) {
                const int got =
                    coders[c].decode(coded[c][b].data(), codedLen[c][b], back[c].data() + at);
                if (got < 0) {
                    intact[c] = false;
                    return;
                }
                at += size_t(got);
            }
            intact[c] = intact[c] && at == data.size();
        });
    }
    const std::vector<double> codeTime = bestSeconds(coding);
    const std::vector<double> decodeTime = bestSeconds(decoding);

    std::vector<Result> results(count);
    const double mb = double(data.size()) / 1e6;
    for (size_t c = 0; c < count; ++c) {
        for (int len : codedLen[c])
            results[c].outSize += size_t(len);
        results[c].codeMBs = mb / codeTime[c];
        results[c].decodeMBs = mb / decodeTime[c];
        if (!intact[c] || std::memcmp(back[c].data(), data.data(), data.size()) != 0)
            std::printf("  !! %s did not give its input back\n", coders[c].name);
    }
    return results;
}

z_stream deflater{};
z_stream inflater{};

std::vector<Coder> coders() {
    deflateInit(&deflater, 1);
    inflateInit(&inflater);
    return {
        {"Tlzrw1", Tlzrw1::codeBlock, Tlzrw1::decodeBlock},
        {"LZ4",
         [](const uint8_t* src, int n, uint8_t* dst) {
             return LZ4_compress_default(reinterpret_cast<const char*>(src),
                                         reinterpret_cast<char*>(dst), n, LZ4_compressBound(n));
         },
         [](const uint8_t* src, int n, uint8_t* dst) {
             return LZ4_decompress_safe(reinterpret_cast<const char*>(src),
                                        reinterpret_cast<char*>(dst), n, Block);
         }},
        {"zlib -1",
         [](const uint8_t* src, int n, uint8_t* dst) {
             deflateReset(&deflater);
             deflater.next_in = const_cast<Bytef*>(src);
             deflater.avail_in = uInt(n);
             deflater.next_out = dst;
             deflater.avail_out = Block + 1024;
             deflate(&deflater, Z_FINISH);
             return int(deflater.total_out);
         },
         [](const uint8_t* src, int n, uint8_t* dst) {
             inflateReset(&inflater);
             inflater.next_in = const_cast<Bytef*>(src);
             inflater.avail_in = uInt(n);
             inflater.next_out = dst;
             inflater.avail_out = Block;
             return inflate(&inflater, Z_FINISH) == Z_STREAM_END ? int(inflater.total_out) : -1;
         }},
    };
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1)
        secondsPerRun = std::max(0.01, std::atof(argv[1]));
    const struct {
        const char* name;
        Bytes data;
    } corpora[] = {
        {"english-like text", englishText()},
        {"licence texts", licenceTexts()},
        {"tally table", tallyTable()},
        {"random bytes", randomBytes()},
    };
    const std::vector<Coder> all = coders();
    std::printf("%-18s %-8s %10s %10s %7s %11s %12s\n", "input", "coder", "in bytes", "out bytes",
                "ratio", "code MB/s", "decode MB/s");
    for (const auto& corpus : corpora) {
        if (corpus.data.empty())
            continue;
        const std::vector<Result> results = measure(all, corpus.data);
        for (size_t c = 0; c < all.size(); ++c) {
            const Result& r = results[c];
            std::printf("%-18s %-8s %10zu %10zu %6.1f%% %11.0f %12.0f\n", corpus.name, all[c].name,
                        corpus.data.size(), r.outSize,
                        100.0 * double(r.outSize) / double(corpus.data.size()), r.codeMBs,
                        r.decodeMBs);
        }
        std::printf("%-18s Tlzrw1 coding %.2fx LZ4, %.2fx zlib; decoding %.2fx LZ4, %.2fx zlib\n\n",
                    "", results[0].codeMBs / results[1].codeMBs,
                    results[0].codeMBs / results[2].codeMBs,
                    results[0].decodeMBs / results[1].decodeMBs,
                    results[0].decodeMBs / results[2].decodeMBs);
    }
    deflateEnd(&deflater);
    inflateEnd(&inflater);
    return 0;
}
