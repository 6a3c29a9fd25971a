// The event log. Each line goes to the file in one write, so a crash of the
// program loses nothing that was logged before it.
#include "common/Log.h"

#include "platform/Cp1252.h"
#include "platform/FileSystem.h"
#include "platform/System.h"

#include <memory>

namespace setup::log {

namespace {

std::unique_ptr<plat::File>& logFile() {
    static std::unique_ptr<plat::File> file;
    return file;
}

// A field in UTF-8 with CR and LF written as \r and \n, so that one event
// stays one line.
void appendField(std::string& line, const std::string& field) {
    for (const char ch : plat::cp1252ToUtf8(field)) {
        if (ch == '\r')
            line += "\\r";
        else if (ch == '\n')
            line += "\\n";
        else
            line += ch;
    }
}

} // namespace

bool Open(const std::string& nativePath) {
    Close();
    auto file = std::make_unique<plat::File>();
    if (!file->openPlatformFile(nativePath, plat::OpenMode::CreateAlways)) return false;
    logFile() = std::move(file);
    return true;
}

void Close() {
    logFile().reset();
}

bool IsOpen() {
    return logFile() != nullptr;
}

void Line(const char* tag, std::initializer_list<std::string> fields) {
    auto& file = logFile();
    if (!file) return;
    std::string line = tag;
    line += ' ';
    bool first = true;
    for (const auto& field : fields) {
        if (!first) line += " | ";
        first = false;
        appendField(line, field);
    }
    line += '\n';
    // A log that cannot be written must not stop the installation.
    file->write(line.data(), line.size());
}

} // namespace setup::log
