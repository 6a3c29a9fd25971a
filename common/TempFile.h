// A file that is written in full before it replaces its destination: it lives
// in the destination's folder (so the replace is a rename within one volume)
// and is deleted unless it was moved into place, also when an exception
// leaves the writer. Copies and downloads go through it, so a failed one
// never costs the previous file.
#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace setup {

class TempFile {
  public:
    TempFile() = default;
    ~TempFile() { Discard(); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Creates a new file "~setup<process id>_<n><extension>" that nobody else
    // uses in folder (which ends with a backslash, or is empty).
    bool Create(const std::string& folder, const std::string& extension);
    // Such a name, for a writer that creates the file itself.
    static std::string UniqueName(const std::string& folder, const std::string& extension);
    // Deletes the temporary files in folder whose process has ended (a run
    // that was killed); done once per folder and run, when a temporary file
    // is first made there.
    static void RemoveStale(const std::string& folder);
    plat::File& file() { return file_; }
    const std::string& path() const { return path_; }

    // Closes the file and moves it over dest; false when that fails (the
    // file is then deleted by Discard or the destructor).
    bool ReplaceInto(const std::string& dest);
    void Discard();

  private:
    plat::File file_;
    std::string path_;
};

} // namespace setup
