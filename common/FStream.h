// TFStream: the installer's buffered, byte-oriented file stream. One buffer of
// at most 32,752 bytes; the file is read and written in whole buffer loads;
// lines end at CR or CR LF. Every I/O failure raises setup::SetupError whose
// text names the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/FileSystem.h"

namespace setup {

class TFStream {
  public:
    static constexpr uint16_t MaxBufferSize = 32752;

    // Allocates a buffer of the given size; a null pointer means out of memory.
    // Replaceable so that the halving on low memory can be exercised.
    using Allocator = std::unique_ptr<char[]> (*)(std::size_t size);

    // The buffer size is clamped to MaxBufferSize; the buffer itself is
    // allocated at the first open.
    explicit TFStream(uint16_t bufferSize);
    ~TFStream(); // Close(); errors of the final flush are swallowed
    TFStream(const TFStream&) = delete;
    TFStream& operator=(const TFStream&) = delete;

    // Path of the file; set before opening.
    std::string FileName;

    // Opens FileName read-only; false (no exception) when it cannot be opened.
    // Raises "Speichermangel\r" + FileName when no buffer of 256 bytes or more
    // can be had.
    bool OpenRead();
    // Reads the given bytes as if they were FileName's contents: a file that
    // was converted before it is read.
    void OpenText(std::string bytes);
    // Creates or truncates FileName; raises "\"" + FileName + "\" kann nicht
    // geschrieben werden" when that fails. Returns true.
    bool OpenWrite();

    // The next byte; raises "Leseversuch nach Dateiende\r" + FileName at the end.
    char ReadChar();
    // Reads one line into dest as a zero-terminated string of at most
    // capacity - 1 characters; the rest of a longer line is skipped. A line
    // ends at CR or CR LF; a lone LF is an ordinary character.
    void ReadLine(char* dest, uint16_t capacity);

    void WriteChar(char b);
    // Appends count bytes; returns count.
    std::size_t WriteBlock(const void* data, std::size_t count);
    std::size_t WriteString(const std::string& s);
    // The string's bytes, then CR LF.
    void WriteLine(const std::string& s);
    // The bytes up to, not including, the terminating 0.
    void WriteZString(const char* s);

    // Writes the buffered bytes; raises "Datentr\xE4ger voll oder
    // schreibgesch\xFCtzt\r" + FileName when not all of them could be written.
    void Flush();
    // Flushes when modified, closes the file and frees the buffer. Closing a
    // stream that is not open does nothing.
    void Close();

    // True when no further byte can be read: turns true as soon as the last
    // byte of the file has been returned. True after construction and Close.
    bool EndOfFile() const { return eof_; }
    // Bytes read or written since the last open.
    int64_t Position() const { return position_; }
    uint16_t BufferSize() const { return bufferSize_; }
    bool IsOpen() const { return open_; }
    // Win32 error code of the last open.
    uint32_t LastError() const { return lastError_; }

    void SetAllocator(Allocator allocator) { allocator_ = allocator; }

  private:
    void CloseCurrent();
    // Closes what is open and sets the read position to the start.
    void StartReading();
    void AllocateForRead();
    void Refill();
    void CheckWritable();
    bool AtFileEnd();
    [[noreturn]] void RaiseWithName(const char* text);

    plat::File file_;
    std::string text_; // the bytes of OpenText
    bool fromText_ = false;
    std::unique_ptr<char[]> buffer_; // BufferSize + 2 bytes; data at 1..BufferSize
    Allocator allocator_;
    uint16_t bufferSize_;
    uint32_t index_ = 1; // 1-based index of the next byte to read or write
    int32_t count_ = 0;  // valid bytes after a refill
    int64_t position_ = 0;
    uint64_t filePos_ = 0; // bytes taken from the file so far
    uint32_t lastError_ = 0;
    bool eof_ = true;
    bool modified_ = false;
    bool open_ = false;
};

} // namespace setup
