// The event log. Each line goes to the file in one write, so a crash of the
// program loses nothing that was logged before it.
#include "common/Log.h"

#include "platform/Console.h"
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

struct LogState {
    std::string name; // the path as given, Windows-1252
    bool writeFailed = false;
};
LogState& state() {
    static LogState s;
    return s;
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
#ifdef _WIN32
    state().name = nativePath;
#else
    state().name = plat::utf8ToCp1252(nativePath);
#endif
    state().writeFailed = false;
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
    // A log that cannot be written must not stop the installation; whoever
    // reads the log later is told at once that it is incomplete.
    if (file->write(line.data(), line.size()) == static_cast<int64_t>(line.size())) return;
    if (state().writeFailed) return;
    state().writeFailed = true;
    std::string message = "Das Protokoll " + state().name + " kann nicht geschrieben werden.";
    const std::string reason = plat::sysErrorText(file->lastError());
    if (!reason.empty()) message += " " + reason;
    plat::writeConsole(message + "\n", true);
}

bool WriteFailed() {
    return IsOpen() && state().writeFailed;
}

} // namespace setup::log
