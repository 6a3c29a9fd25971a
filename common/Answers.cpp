// Parsing and matching of the answers file.
#include "common/Answers.h"

#include "common/Messages.h"
#include "platform/Cp1252.h"

#include <algorithm>
#include <cctype>

namespace setup {

namespace {

struct NamedButton {
    const char* name;
    int id;
};
constexpr NamedButton kButtons[] = {
    {"OK", IdOk},   {"Cancel", IdCancel}, {"Yes", IdYes},       {"No", IdNo},
    {"All", IdAll}, {"Retry", IdRetry},   {"Ignore", IdIgnore},
};

bool isBlank(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\v' || ch == '\f';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

const char* ButtonName(int id) {
    for (const auto& button : kButtons)
        if (button.id == id) return button.name;
    return "None";
}

int ButtonFromName(std::string_view name) {
    for (const auto& button : kButtons) {
        const std::string_view known = button.name;
        if (known.size() == name.size() &&
            std::equal(known.begin(), known.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            return button.id;
    }
    return 0;
}

std::string AnswerMatchText(const std::string& text) {
    std::string result;
    for (const char ch : plat::cp1252ToUtf8(text)) {
        if (ch == '\r')
            result += "\\r";
        else if (ch == '\n')
            result += "\\n";
        else
            result += ch;
    }
    return result;
}

bool AnswerRules::Parse(std::string_view utf8Text, std::string& error) {
    // A byte-order mark some editors put in front of UTF-8 text.
    if (utf8Text.starts_with("\xEF\xBB\xBF")) utf8Text.remove_prefix(3);
    std::vector<Rule> rules;
    int lineNumber = 0;
    while (!utf8Text.empty()) {
        const size_t end = utf8Text.find('\n');
        std::string_view line = utf8Text.substr(0, end);
        utf8Text.remove_prefix(end == std::string_view::npos ? utf8Text.size() : end + 1);
        ++lineNumber;
        line = trim(line);
        if (line.empty() || line.front() == '#') continue;

        Rule rule;
        rule.line = std::string(line);
        // " *" at the end: the rule answers every message it matches.
        if (line.size() >= 2 && line.back() == '*' && isBlank(line[line.size() - 2])) {
            rule.everyMatch = true;
            line = trim(line.substr(0, line.size() - 1));
        }
        std::string_view buttonName = line;
        // The last "=>" separates text and button, so a text may hold "=>" itself.
        const size_t arrow = line.rfind("=>");
        if (arrow != std::string_view::npos) {
            rule.text = std::string(trim(line.substr(0, arrow)));
            buttonName = trim(line.substr(arrow + 2));
        }
        rule.button = ButtonFromName(buttonName);
        if (rule.button == 0) {
            // Message texts are Windows-1252: the file's UTF-8 is converted for them.
            error = "Zeile " + std::to_string(lineNumber) + ": \"" +
                    plat::utf8ToCp1252(std::string(buttonName)) +
                    "\" ist keine Schaltfl\xE4"
                    "che (OK, Cancel, Yes, No, All, Retry, Ignore)";
            return false;
        }
        rules.push_back(std::move(rule));
    }
    rules_ = std::move(rules);
    return true;
}

int AnswerRules::Take(const std::string& message, const std::vector<int>& offered) {
    const std::string text = AnswerMatchText(message);
    for (auto& rule : rules_) {
        if (rule.used && !rule.everyMatch) continue;
        if (std::find(offered.begin(), offered.end(), rule.button) == offered.end()) continue;
        if (text.find(rule.text) == std::string::npos) continue;
        rule.used = true;
        rule.answered = true;
        return rule.button;
    }
    return 0;
}

std::vector<std::string> AnswerRules::Unanswered() const {
    std::vector<std::string> lines;
    for (const Rule& rule : rules_)
        if (!rule.answered) lines.push_back(rule.line);
    return lines;
}

size_t AnswerRules::Remaining() const {
    return static_cast<size_t>(
        std::count_if(rules_.begin(), rules_.end(), [](const Rule& rule) { return !rule.used; }));
}

} // namespace setup
