#include "common/CommandLineText.h"

#include "platform/System.h"

namespace setup {

namespace {

constexpr size_t kMaxProgramPath = 260;
constexpr size_t kMaxArgument = 4096;

bool IsSeparator(char ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    return c >= 1 && c <= 32;
}

std::string Cut(std::string text, size_t limit) {
    if (text.size() > limit) text.resize(limit);
    return text;
}

} // namespace

std::string ParamText(int n) {
    if (n == 0) return Cut(plat::programPath(), kMaxProgramPath);
    const auto& args = plat::arguments();
    if (n < 0 || static_cast<size_t>(n) > args.size()) return {};
    return Cut(args[static_cast<size_t>(n) - 1], kMaxArgument);
}

std::vector<std::string> SplitArguments(const std::string& commandLine) {
    std::vector<std::string> result;
    size_t i = 0;
    const size_t n = commandLine.size();
    for (;;) {
        while (i < n && IsSeparator(commandLine[i]))
            ++i;
        if (i >= n) break;
        std::string arg;
        while (i < n && !IsSeparator(commandLine[i])) {
            if (commandLine[i] != '"') {
                arg.push_back(commandLine[i++]);
                continue;
            }
            ++i; // opening quote
            while (i < n) {
                if (commandLine[i] == '"') {
                    if (i + 1 < n && commandLine[i + 1] == '"') {
                        arg.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i; // closing quote
                    break;
                }
                arg.push_back(commandLine[i++]);
            }
        }
        result.push_back(Cut(std::move(arg), kMaxArgument));
    }
    return result;
}

void SplitCommandLine(const std::string& commandLine, std::string& program,
                      std::string& parameters) {
    if (!commandLine.empty() && commandLine.front() == '"') {
        size_t i = 1;
        while (i < commandLine.size()) {
            if (commandLine[i] == '"') {
                if (i + 1 < commandLine.size() && commandLine[i + 1] == '"') {
                    i += 2; // a doubled quote stays in the text
                    continue;
                }
                break;
            }
            ++i;
        }
        program = commandLine.substr(1, i - 1);
        // Parameters begin after the closing quote and one blank.
        parameters = i + 2 <= commandLine.size() ? commandLine.substr(i + 2) : std::string();
        return;
    }
    const size_t blank = commandLine.find(' ');
    if (blank == std::string::npos) {
        program = commandLine;
        parameters.clear();
        return;
    }
    program = commandLine.substr(0, blank);
    parameters = commandLine.substr(blank + 1);
}

} // namespace setup
