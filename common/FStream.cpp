#include "common/FStream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/Error.h"

namespace setup {

namespace {

// Reads start with an index past any count, so that the first read refills.
constexpr uint32_t kRefillIndex = 65534;
// Below this size a failed allocation is given up.
constexpr uint16_t kMinBufferSize = 256;

std::unique_ptr<char[]> AllocateNoThrow(std::size_t size) {
    return std::unique_ptr<char[]>(new (std::nothrow) char[size]);
}

} // namespace

TFStream::TFStream(uint16_t bufferSize)
    : allocator_(AllocateNoThrow), bufferSize_(std::min(bufferSize, MaxBufferSize)) {
    // A buffer of no bytes could hold nothing; one byte is the least that works.
    if (bufferSize_ == 0) bufferSize_ = 1;
}

TFStream::~TFStream() {
    try {
        Close();
    } catch (const SetupError&) {
        // A destructor must not throw; owners that care call Close() first.
    }
}

void TFStream::RaiseWithName(const char* text) {
    throw SetupError(text + FileName);
}

void TFStream::CloseCurrent() {
    if (!open_) return;
    if (modified_) Flush();
    file_.close();
    text_.clear();
    fromText_ = false;
    open_ = false;
}

void TFStream::StartReading() {
    CloseCurrent();
    position_ = 0;
    modified_ = false;
    index_ = kRefillIndex;
    count_ = 0;
    filePos_ = 0;
    eof_ = true;
}

bool TFStream::OpenRead() {
    StartReading();
    if (!file_.open(FileName, plat::OpenMode::Read)) {
        lastError_ = file_.lastError();
        return false;
    }
    lastError_ = 0;
    if (!buffer_) AllocateForRead();
    const std::optional<uint64_t> size = file_.size();
    eof_ = !size || *size == 0;
    open_ = true;
    return true;
}

void TFStream::OpenText(std::string bytes) {
    StartReading();
    lastError_ = 0;
    text_ = std::move(bytes);
    fromText_ = true;
    if (!buffer_) AllocateForRead();
    eof_ = text_.empty();
    open_ = true;
}

void TFStream::AllocateForRead() {
    for (;;) {
        buffer_ = allocator_(static_cast<std::size_t>(bufferSize_) + 2);
        if (buffer_) break;
        if (bufferSize_ < kMinBufferSize) {
            file_.close();
            RaiseWithName("Speichermangel\r");
        }
        bufferSize_ /= 2;
    }
    buffer_[0] = 0;
    buffer_[bufferSize_ + 1] = 0;
}

bool TFStream::OpenWrite() {
    CloseCurrent();
    position_ = 0;
    modified_ = true;
    index_ = 1;
    count_ = 0;
    eof_ = true;
    if (!file_.open(FileName, plat::OpenMode::CreateAlways)) {
        lastError_ = file_.lastError();
        throw SetupError("\"" + FileName + "\" kann nicht geschrieben werden");
    }
    lastError_ = 0;
    if (!buffer_) {
        buffer_ = allocator_(static_cast<std::size_t>(bufferSize_) + 2);
        if (!buffer_) {
            file_.close();
            RaiseWithName("Speichermangel\r");
        }
        buffer_[0] = 0;
        buffer_[bufferSize_ + 1] = 0;
    }
    open_ = true;
    return true;
}

bool TFStream::AtFileEnd() {
    if (!open_) return true;
    if (fromText_) return filePos_ >= text_.size();
    const std::optional<uint64_t> size = file_.size();
    return !size || filePos_ >= *size;
}

void TFStream::Refill() {
    eof_ = AtFileEnd();
    if (eof_) RaiseWithName("Leseversuch nach Dateiende\r");
    int64_t got;
    if (fromText_) {
        got = static_cast<int64_t>(std::min<uint64_t>(bufferSize_, text_.size() - filePos_));
        std::memcpy(buffer_.get() + 1, text_.data() + filePos_, static_cast<size_t>(got));
    } else {
        got = file_.read(buffer_.get() + 1, bufferSize_);
    }
    // A file that shrank under us, or a read error, ends the data here.
    if (got <= 0) {
        eof_ = true;
        count_ = 0;
        RaiseWithName("Leseversuch nach Dateiende\r");
    }
    filePos_ += static_cast<uint64_t>(got);
    count_ = static_cast<int32_t>(got);
    index_ = 1;
}

char TFStream::ReadChar() {
    if (static_cast<int64_t>(index_) > count_) Refill();
    const char result = buffer_[index_];
    ++index_;
    ++position_;
    if (static_cast<int64_t>(index_) > count_) eof_ = AtFileEnd();
    return result;
}

void TFStream::ReadLine(char* dest, uint16_t capacity) {
    // One place stays for the terminating 0; with no place at all the line
    // is still consumed. Characters beyond the room are skipped up to the CR.
    size_t room = capacity > 0 ? capacity - 1u : 0u;
    size_t stored = 0;
    bool sawCr = false;
    while (!eof_) {
        if (static_cast<int64_t>(index_) > count_) Refill();
        // Scan the buffered bytes at once rather than one ReadChar at a time.
        const char* start = buffer_.get() + index_;
        const size_t avail = static_cast<size_t>(count_) + 1 - index_;
        const char* cr = static_cast<const char*>(std::memchr(start, '\r', avail));
        const size_t len = cr ? static_cast<size_t>(cr - start) : avail;
        const size_t take = std::min(len, room);
        if (take > 0) std::memcpy(dest + stored, start, take);
        stored += take;
        room -= take;
        const size_t consumed = cr ? len + 1 : len;
        index_ += static_cast<uint32_t>(consumed);
        position_ += static_cast<int64_t>(consumed);
        if (static_cast<int64_t>(index_) > count_) eof_ = AtFileEnd();
        if (cr) {
            sawCr = true;
            break;
        }
    }
    if (sawCr && !eof_) {
        const char next = ReadChar();
        if (next != '\n') {
            // Push back: the next read returns this byte again, so the
            // stream is not at its end even if this was the file's last byte.
            --index_;
            --position_;
            if (index_ == 0) buffer_[0] = next;
            eof_ = false;
        }
    }
    if (capacity > 0) dest[stored] = 0;
}

void TFStream::CheckWritable() {
    if (!open_ || !modified_)
        throw SetupError("\"" + FileName + "\" kann nicht geschrieben werden");
}

void TFStream::WriteChar(char b) {
    CheckWritable();
    buffer_[index_] = b;
    ++index_;
    ++position_;
    if (index_ > bufferSize_) Flush();
    modified_ = true;
}

std::size_t TFStream::WriteBlock(const void* data, std::size_t count) {
    CheckWritable();
    const char* src = static_cast<const char*>(data);
    std::size_t left = count;
    while (left > 0) {
        const std::size_t chunk = std::min<std::size_t>(left, bufferSize_ + 1u - index_);
        std::memcpy(buffer_.get() + index_, src, chunk);
        index_ += static_cast<uint32_t>(chunk);
        position_ += static_cast<int64_t>(chunk);
        src += chunk;
        left -= chunk;
        modified_ = true;
        if (index_ > bufferSize_) Flush();
    }
    return count;
}

std::size_t TFStream::WriteString(const std::string& s) {
    return WriteBlock(s.data(), s.size());
}

void TFStream::WriteLine(const std::string& s) {
    if (!s.empty()) WriteBlock(s.data(), s.size());
    WriteBlock("\r\n", 2);
}

void TFStream::WriteZString(const char* s) {
    WriteBlock(s, std::strlen(s));
}

void TFStream::Flush() {
    // Only a stream opened for writing has bytes to write.
    if (open_ && modified_ && index_ > 1) {
        const int64_t want = static_cast<int64_t>(index_) - 1;
        index_ = 1;
        const int64_t written = file_.write(buffer_.get() + 1, static_cast<uint64_t>(want));
        if (written != want) RaiseWithName("Datentr\xE4ger voll oder schreibgesch\xFCtzt\r");
        return;
    }
    if (modified_) index_ = 1;
}

void TFStream::Close() {
    if (!open_) return;
    // The file is closed and the stream reset even when the last flush fails.
    struct Reset {
        TFStream& s;
        ~Reset() {
            s.file_.close();
            s.buffer_.reset();
            s.index_ = kRefillIndex;
            s.count_ = 0;
            s.eof_ = true;
            s.open_ = false;
        }
    } reset{*this};
    if (modified_) Flush();
}

} // namespace setup
