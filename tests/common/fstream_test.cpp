#include "common/FStream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/Error.h"
#include "platform/FileSystem.h"
#include "support/TestEnv.h"

namespace setup {
namespace {

class FStreamTest : public testenv::FreshEnv {
  protected:
    std::string Path(const std::string& name) const { return scratch_ + name; }
};

// Reads every line with ReadLine as the script reader does: while not EndOfFile.
std::vector<std::string> ReadAllLines(const std::string& path, uint16_t bufferSize,
                                      uint16_t capacity) {
    TFStream stream(bufferSize);
    stream.FileName = path;
    EXPECT_TRUE(stream.OpenRead());
    std::vector<std::string> lines;
    std::vector<char> line(capacity + 1u, 'X');
    do {
        stream.ReadLine(line.data(), capacity);
        lines.emplace_back(line.data());
    } while (!stream.EndOfFile());
    return lines;
}

// The line rules written out plainly: CR or CR LF ends a line, LF is data,
// at most capacity - 1 characters are kept, the last line needs no end.
std::vector<std::string> ReferenceLines(const std::string& bytes, size_t capacity) {
    std::vector<std::string> lines;
    size_t i = 0;
    do {
        std::string line;
        while (i < bytes.size() && bytes[i] != '\r') {
            if (line.size() < capacity - 1) line += bytes[i];
            ++i;
        }
        if (i < bytes.size()) {
            ++i;
            if (i < bytes.size() && bytes[i] == '\n') ++i;
        }
        lines.push_back(line);
    } while (i < bytes.size());
    return lines;
}

TEST_F(FStreamTest, ReadLineSplitsAtCrAndCrLf) {
    const std::string long600(600, 'x');
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"CR LF", "a\r\nb", {"a", "b"}},
        {"CR alone, next byte pushed back", "a\rb", {"a", "b"}},
        {"LF is an ordinary character", "a\nb", {"a\nb"}},
        {"empty file", "", {""}},
        {"last line ended", "a\r\n", {"a"}},
        {"empty lines kept", "a\r\r\n\rb", {"a", "", "", "b"}},
        {"600 characters keep 499", long600 + "\r\nnext", {std::string(499, 'x'), "next"}},
    };
    for (const Case& c : cases) {
        testenv::WriteFile(Path("f.txt"), c.bytes);
        EXPECT_EQ(ReadAllLines(Path("f.txt"), 32752, 500), c.lines) << c.what;
    }
}

// Refills, the push-back after a CR and the look-ahead of EndOfFile at every
// possible buffer boundary, against the plain rules above.
TEST_F(FStreamTest, ReadLineMatchesRulesAtEveryBufferBoundary) {
    std::mt19937 rng(12345);
    const char alphabet[] = {'a', 'b', '\r', '\n'};
    for (int round = 0; round < 300; ++round) {
        std::string bytes(rng() % 40, ' ');
        for (char& ch : bytes)
            ch = alphabet[rng() % 4];
        const uint16_t bufferSize = static_cast<uint16_t>(1 + rng() % 7);
        const uint16_t capacity = static_cast<uint16_t>(1 + rng() % 6);
        testenv::WriteFile(Path("r.txt"), bytes);
        ASSERT_EQ(ReadAllLines(Path("r.txt"), bufferSize, capacity),
                  ReferenceLines(bytes, capacity))
            << "buffer " << bufferSize << " capacity " << capacity;
    }
}

TEST_F(FStreamTest, ReadCharEndsWithLookAheadAndRaisesPastTheEnd) {
    testenv::WriteFile(Path("ab.txt"), "ab");
    TFStream stream(65280);
    EXPECT_EQ(stream.BufferSize(), 32752);
    stream.FileName = Path("ab.txt");
    ASSERT_TRUE(stream.OpenRead());
    EXPECT_FALSE(stream.EndOfFile());
    EXPECT_EQ(stream.ReadChar(), 'a');
    EXPECT_FALSE(stream.EndOfFile());
    EXPECT_EQ(stream.ReadChar(), 'b');
    EXPECT_TRUE(stream.EndOfFile());
    EXPECT_EQ(stream.Position(), 2);
    try {
        stream.ReadChar();
        FAIL() << "no exception";
    } catch (const SetupError& e) {
        EXPECT_EQ(std::string(e.what()), "Leseversuch nach Dateiende\r" + Path("ab.txt"));
    }
    stream.Close();
    EXPECT_THROW(stream.ReadChar(), SetupError); // closed: no buffer, still no crash
}

TEST_F(FStreamTest, OpenFailures) {
    TFStream stream(1024);
    stream.FileName = Path("missing.txt");
    EXPECT_FALSE(stream.OpenRead());
    EXPECT_TRUE(stream.EndOfFile());
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_NE(stream.LastError(), 0u);

    stream.FileName = Path("no folder\\x.txt");
    try {
        stream.OpenWrite();
        FAIL() << "no exception";
    } catch (const SetupError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "\"" + Path("no folder\\x.txt") + "\" kann nicht geschrieben werden");
    }
    EXPECT_THROW(stream.WriteChar('a'), SetupError);
}

TEST_F(FStreamTest, WritesFlushWhenTheBufferIsFull) {
    const std::string path = Path("w.txt");
    TFStream stream(65280);
    stream.FileName = path;
    ASSERT_TRUE(stream.OpenWrite());
    for (int i = 0; i < 32751; ++i)
        stream.WriteChar('x');
    EXPECT_EQ(plat::statPath(path)->size, 0u);
    stream.WriteChar('y');
    EXPECT_EQ(plat::statPath(path)->size, 32752u);
    stream.Close();
    EXPECT_EQ(plat::statPath(path)->size, 32752u);
    EXPECT_EQ(testenv::ReadFile(path), std::string(32751, 'x') + "y");
}

TEST_F(FStreamTest, WriteOperationsProduceTheirBytes) {
    const std::string path = Path("ops.txt");
    std::string big(100000, ' ');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>('a' + i % 26);
    {
        TFStream stream(1000); // blocks far larger than the buffer
        stream.FileName = path;
        ASSERT_TRUE(stream.OpenWrite());
        stream.WriteLine("");
        EXPECT_EQ(stream.WriteString("abc"), 3u);
        stream.WriteZString("\xE4z");
        stream.WriteChar('=');
        stream.WriteLine("line");
        EXPECT_EQ(stream.WriteBlock(big.data(), big.size()), big.size());
        EXPECT_EQ(stream.Position(), 2 + 3 + 2 + 1 + 6 + 100000);
    } // destructor closes
    EXPECT_EQ(testenv::ReadFile(path), "\r\nabc\xE4z=line\r\n" + big);

    // Re-opening the same object for reading works with the kept name.
    TFStream stream(1000);
    stream.FileName = path;
    ASSERT_TRUE(stream.OpenWrite());
    stream.WriteString("one\r\ntwo");
    ASSERT_TRUE(stream.OpenRead()); // flushes and closes the written file first
    char line[10];
    stream.ReadLine(line, sizeof line);
    EXPECT_STREQ(line, "one");
    stream.ReadLine(line, sizeof line);
    EXPECT_STREQ(line, "two");
    EXPECT_TRUE(stream.EndOfFile());
}

// Allocation sizes tried when memory is short, and the give-up below 256.
std::vector<size_t> g_tried;
size_t g_limit = 0;
std::unique_ptr<char[]> LimitedAllocator(size_t size) {
    g_tried.push_back(size);
    if (size > g_limit) return nullptr;
    return std::make_unique<char[]>(size);
}

TEST_F(FStreamTest, ReadBufferIsHalvedWhenMemoryIsShort) {
    testenv::WriteFile(Path("m.txt"), "line one\r\nline two");
    TFStream stream(65280);
    stream.FileName = Path("m.txt");
    stream.SetAllocator(LimitedAllocator);
    g_tried.clear();
    g_limit = 5000;
    ASSERT_TRUE(stream.OpenRead());
    EXPECT_EQ(g_tried, (std::vector<size_t>{32754, 16378, 8190, 4096}));
    EXPECT_EQ(stream.BufferSize(), 4094);
    char line[100];
    stream.ReadLine(line, sizeof line);
    EXPECT_STREQ(line, "line one");
    stream.Close();

    g_tried.clear();
    g_limit = 0;
    try {
        stream.OpenRead();
        FAIL() << "no exception";
    } catch (const SetupError& e) {
        EXPECT_EQ(std::string(e.what()), "Speichermangel\r" + Path("m.txt"));
    }
    EXPECT_EQ(g_tried, (std::vector<size_t>{4096, 2049, 1025, 513, 257}));
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_TRUE(plat::deleteFile(Path("m.txt"))); // the file was closed again
}

#ifndef _WIN32
TEST_F(FStreamTest, FullDiskRaisesOnFlush) {
    // The full device inside the emulated drive (Z:, where it lives, is read-only).
    std::filesystem::create_symlink("/dev/full", testenv::Native(Path("full")));
    TFStream stream(100);
    stream.FileName = Path("full");
    ASSERT_TRUE(stream.OpenWrite());
    stream.WriteString(std::string(50, 'x'));
    try {
        stream.Close();
        FAIL() << "no exception";
    } catch (const SetupError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Datentr\xE4ger voll oder schreibgesch\xFCtzt\r" + Path("full"));
    }
    EXPECT_FALSE(stream.IsOpen());
}
#endif

} // namespace
} // namespace setup
