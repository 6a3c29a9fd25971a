// The event log (--log=FILE): UTF-8, one event a line, "TAG f1 | f2 | ...",
// flushed line by line. Fields are Windows-1252 texts; CR and LF inside them
// are written as \r and \n. Without an open log every call does nothing.
#pragma once

#include <initializer_list>
#include <string>

namespace setup::log {

// Opens (creates or truncates) the log; false when it cannot be created.
bool Open(const std::string& nativePath);
void Close();
bool IsOpen();
// Writes one line: the tag, a blank, the fields joined by " | ". The first
// line that cannot be written is reported on standard error at once.
void Line(const char* tag, std::initializer_list<std::string> fields);
// Whether a line could not be written since the log was opened.
bool WriteFailed();

} // namespace setup::log
