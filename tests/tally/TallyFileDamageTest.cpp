// Tally files that are hostile or damaged: refused cheaply, and never lost
// by the save that follows.
#include "support/FakePrompter.h"
#include "tally/ELzrw1Exception.h"
#include "tally/TStringGrid.h"
#include "tally/Tlzrw1.h"
#include "tally/Ttallylist.h"

#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QStringList table = {"Me", "Klot", "Ann", "<Waiting>"};

class TallyFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString tallyPath() const { return m_dir.filePath("Climoratally.tld"); }
    std::unique_ptr<Ttallylist> open() {
        return std::make_unique<Ttallylist>(m_prompter, tallyPath());
    }
    static void tick(Ttallylist& w, const QString& name) {
        auto* l = w.findChild<QListWidget*>("checklist");
        for (int i = 0; i < l->count(); ++i)
            if (l->item(i)->text() == name)
                l->item(i)->setCheckState(Qt::Checked);
    }
    QByteArray unpackedTally() {
        Tlzrw1 z;
        z.InputFile = tallyPath();
        z.OutputFile = m_dir.filePath("check.txt");
        QFile::remove(z.OutputFile);
        z.Decompress();
        QFile f(z.OutputFile);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    void writeTallyText(const QByteArray& text) {
        const QString plain = m_dir.filePath("plain.txt");
        writeFileOrFail(plain, text);
        Tlzrw1 z;
        z.InputFile = plain;
        z.OutputFile = tallyPath();
        z.Compress();
    }
    static void writeFileOrFail(const QString& path, const QByteArray& content) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(content), content.size());
    }
    // A sound container of 64 MiB of zeros in about 80 KB: 2048 full blocks
    // of run items and the empty block after them.
    static QByteArray hugeDeclaration() {
        const QByteArray zeros(Tlzrw1::BlockSize, '\0');
        QByteArray block(Tlzrw1::CodeBufferSize, '\0');
        const int length =
            Tlzrw1::codeBlock(reinterpret_cast<const uint8_t*>(zeros.constData()),
                              Tlzrw1::BlockSize, reinterpret_cast<uint8_t*>(block.data()));
        block.truncate(length);
        const QByteArray item = QByteArray(1, char(length)) + char(length >> 8) + block;
        QByteArray out("WRZL\0\0\0\x04", 8);
        out.reserve(8 + 2048 * item.size() + 3);
        for (int i = 0; i < 2048; ++i)
            out += item;
        return out + QByteArray("\x01\0\x80", 3);
    }

    QTemporaryDir m_dir;
    FakePrompter m_prompter;
};

} // namespace

// A small file declaring a huge table is refused from its header, before
// anything of that size is unpacked or read: the check runs in a child whose
// address space has room for the program and little more.
TEST_F(TallyFile, HugeDeclaredTableIsRefusedWithoutAllocatingIt) {
    writeFileOrFail(tallyPath(), hugeDeclaration());
    const long page = sysconf(_SC_PAGESIZE);
    long pages = 0;
    {
        QFile statm("/proc/self/statm");
        ASSERT_TRUE(statm.open(QIODevice::ReadOnly));
        pages = statm.readAll().split(' ').value(0).toLong();
    }
    ASSERT_GT(pages, 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlim_t room = rlim_t(pages) * rlim_t(page) + (rlim_t(32) << 20);
        const rlimit limit{room, room};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(3);
        // The child never returns into the test framework.
        int code = 1;
        try {
            FakePrompter prompter;
            Ttallylist w(prompter, tallyPath());
            if (prompter.messages.size() == 1 &&
                prompter.messages[0].contains(" declares 67108864 bytes, more than the 2097152 "
                                              "allowed !") &&
                w.grid().rowCount() == 1)
                code = 0;
        } catch (...) {
            code = 2; // out of memory
        }
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A tally file that cannot be read still holds the player's history: the
// next save keeps it beside the new tally instead of writing over it.
TEST_F(TallyFile, UnreadableTallyIsKeptWhenTheNextOneIsSaved) {
    {
        auto w = open();
        w->loadchecklist(1, table);
        tick(*w, "Klot");
        w->addgame("Klot");
    }
    QFile f(tallyPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray good = f.readAll();
    f.close();
    auto packed = [this](const QByteArray& text) {
        writeTallyText(text);
        QFile p(tallyPath());
        return p.open(QIODevice::ReadOnly) ? p.readAll() : QByteArray();
    };
    const struct {
        const char* what;
        QByteArray content;
    } cases[] = {
        {"truncated container", good.left(good.size() / 2)},
        {"more cells counted than present", packed("9\r\n7\r\n0\r\nKlot\r\n")},
        {"negative row count", packed("9\r\n-2\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n")},
        {"negative column count", packed("-9\r\n1\r\n0\r\n")},
        {"huge declared size", hugeDeclaration()},
    };
    const QString kept = tallyPath() + ".damaged";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(kept);
        writeFileOrFail(tallyPath(), c.content);
        m_prompter.messages.clear();
        {
            auto w = open();
            EXPECT_EQ(m_prompter.messages.size(), 1);
            EXPECT_EQ(w->grid().rowCount(), 1);
            w->loadchecklist(1, table);
            w->addgame("addtomine");
        }
        QFile k(kept);
        ASSERT_TRUE(k.open(QIODevice::ReadOnly));
        EXPECT_EQ(k.readAll(), c.content);
        k.close();
        EXPECT_EQ(unpackedTally(), "9\r\n1\r\n0\r\n1\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
        // The new tally reads back, and its next save replaces it as usual.
        m_prompter.messages.clear();
        {
            auto w = open();
            EXPECT_TRUE(m_prompter.messages.isEmpty());
            w->addit(1, 0);
        }
        ASSERT_TRUE(k.open(QIODevice::ReadOnly));
        EXPECT_EQ(k.readAll(), c.content);
        EXPECT_FALSE(QFile::exists(kept + "2"));
    }
}

// A reader that knows how large its data can be sets a limit; a header
// declaring more is refused before any block is read (the blocks after it
// here are garbage that would otherwise be reported as corrupt).
TEST_F(TallyFile, DeclaredSizeAboveTheLimitIsRefusedBeforeAnyBlock) {
    QByteArray data;
    for (int i = 0; i < 100000; ++i)
        data += char((i * 7) ^ (i >> 5));
    writeTallyText(data);
    Tlzrw1 z;
    z.MaxOriginalSize = 100000;
    z.InputFile = tallyPath();
    z.OutputFile = m_dir.filePath("ok.txt");
    EXPECT_EQ(z.Decompress(), 100000) << "a size at the limit is accepted";

    const struct {
        QByteArray header;
        qint64 declared;
    } cases[] = {{QByteArray("WRZL\xA1\x86\x01\0", 8), 100001},
                 {QByteArray("WRZL\0\0\0\x04", 8), 64 << 20}};
    for (const auto& c : cases) {
        writeFileOrFail(tallyPath(), c.header + QByteArray("\x05\0\x40\xFF\xFF\xFF\xFF", 7));
        z.OutputFile = m_dir.filePath("out.txt");
        try {
            z.Decompress();
            ADD_FAILURE() << "accepted " << c.declared << " bytes";
        } catch (const ELzrw1Exception& e) {
            EXPECT_EQ(e.text(), QString("Lzrw1 (decompression LZRW1/KH) : %1 declares %2 bytes, "
                                        "more than the 100000 allowed !")
                                    .arg(tallyPath())
                                    .arg(c.declared));
        }
        EXPECT_FALSE(QFile::exists(z.OutputFile));
    }
}
