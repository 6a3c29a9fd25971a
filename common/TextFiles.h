// Small files the engine reads or writes whole: macro files, the list of
// superfluous files, the project file list. A file written here replaces its
// predecessor only when it is complete.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace setup {

class Effects;

// The bytes of a file; nullopt when it cannot be read or is larger than maxSize.
std::optional<std::string> ReadWholeFile(const std::string& path, uint64_t maxSize);
// The same as the run's effects see the file: a plan's own text of a file it
// wrote, nothing for one it moved or deleted.
std::optional<std::string> ReadWholeFile(Effects& effects, const std::string& path,
                                         uint64_t maxSize);

// Writes bytes to a new file beside path and moves it over path. 0, or the
// error code of the step that failed (path then keeps its previous contents).
uint32_t WriteWholeFile(const std::string& path, const std::string& bytes);
// The same through the effects of a run.
uint32_t WriteWholeFile(Effects& effects, const std::string& path, const std::string& bytes);

} // namespace setup
