// The exceptions of the installer. Messages are Windows-1252 texts.
#pragma once

#include <stdexcept>
#include <string>

namespace setup {

// The general exception: I/O errors of the stream, folders that cannot be
// created. It reaches the user through the window's error box.
class SetupError : public std::runtime_error {
  public:
    explicit SetupError(const std::string& message) : std::runtime_error(message) {}
};

// An abort without a message (out of memory inside a copy): ends the caller's
// operation silently.
class SilentAbort : public std::exception {
  public:
    const char* what() const noexcept override { return "silent abort"; }
};

} // namespace setup
