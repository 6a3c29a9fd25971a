#include "ui/Language.h"

#include <unordered_map>

#include "common/Ansi.h"
#include "common/Error.h"
#include "script/Ini.h"
#include "platform/System.h"

namespace setup {
namespace {

// "SECTION\x01KEY" in upper case -> text, for every value of the loaded file.
std::unordered_map<std::string, std::string>& Texts() {
    static std::unordered_map<std::string, std::string> texts;
    return texts;
}

std::string LookupKey(std::string_view section, std::string_view key) {
    std::string k = AnsiUpperCase(section);
    k += '\x01';
    k += AnsiUpperCase(key);
    return k;
}

std::string Unescape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            switch (value[i + 1]) {
            case 'r':
                c = '\r';
                break;
            case 'n':
                c = '\n';
                break;
            case 't':
                c = '\t';
                break;
            case '\\':
                c = '\\';
                break;
            default:
                out += c;
                continue;
            }
            ++i;
        }
        out += c;
    }
    return out;
}

std::string Lookup(std::string_view section, std::string_view key, const std::string& fallback) {
    const auto& texts = Texts();
    if (texts.empty()) return fallback;
    auto it = texts.find(LookupKey(section, key));
    return it == texts.end() ? fallback : it->second;
}

} // namespace

void LoadLanguageFile(const std::string& path) {
    std::unordered_map<std::string, std::string> loaded;
    if (!path.empty()) {
        try {
            TIni ini(path);
            for (int s = 0; s < ini.SectionCount(); ++s) {
                const TSection_i& section = ini.Section(s);
                for (int e = 0; e < section.Count(); ++e) {
                    if (section.Key(e).empty()) continue; // comments
                    // The first entry of a key counts, as in the script.
                    loaded.try_emplace(LookupKey(ini.SectionName(s), section.Key(e)),
                                       Unescape(section.Value(e)));
                }
            }
        } catch (const SetupError&) {
            // An unreadable language file leaves the German texts.
            loaded.clear();
        }
    }
    Texts() = std::move(loaded);
}

std::string FormText(const std::string& form, const std::string& control,
                     const std::string& germanDefault) {
    return Lookup(form, control, germanDefault);
}

std::string StringText(int id, const std::string& germanDefault) {
    return Lookup("Strings", std::to_string(id), germanDefault);
}

std::string LanguageFileName(const std::string& programFolder) {
    const std::string lang = plat::userLanguageAbbreviation();
    if (lang.empty()) return {};
    std::string folder = programFolder;
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder + "Setup." + lang;
}

} // namespace setup
