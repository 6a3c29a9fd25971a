// Scripted answers to message boxes and dialogs (--answers=FILE): UTF-8 text,
// one rule a line, "BUTTON" or "TEXT => BUTTON"; blank lines and lines
// starting with "#" are ignored. Each rule answers one box, a rule ending in
// " *" ("TEXT => BUTTON *") every box it matches.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace setup {

// The log and answers name of a button identifier (IdOk -> "OK", ...); "None"
// for 0 or an unknown identifier.
const char* ButtonName(int id);
// The identifier of a button name, case ignored; 0 when it is none of OK,
// Cancel, Yes, No, All, Retry, Ignore.
int ButtonFromName(std::string_view name);

// A message text (Windows-1252) as rules see it: UTF-8, every CR written as
// the two characters \r and every LF as \n.
std::string AnswerMatchText(const std::string& text);

class AnswerRules {
  public:
    // Parses the contents of an answers file and replaces the rules. On a bad
    // line returns false, keeps the old rules and sets error to the line's
    // number and what is wrong with it (e.g. "Zeile 3: ...").
    bool Parse(std::string_view utf8Text, std::string& error);
    // The first unused rule whose text occurs in the message (Windows-1252)
    // and whose button is among the offered ones: it is used up (unless it
    // answers every match) and its button returned. 0 when no rule matches.
    int Take(const std::string& message, const std::vector<int>& offered);
    // Rules that answered nothing yet.
    size_t Remaining() const;
    // The rules that have answered nothing so far, as written (UTF-8).
    std::vector<std::string> Unanswered() const;
    void Clear() { rules_.clear(); }

  private:
    struct Rule {
        std::string text; // UTF-8; empty matches every message
        int button = 0;
        bool used = false; // answered a box
        bool answered = false;
        bool everyMatch = false; // " *": never used up
        std::string line;        // the rule as written, for the log
    };
    std::vector<Rule> rules_;
};

} // namespace setup
