// Message boxes of the emulated Windows: a prompt on the terminal. Caption,
// text and buttons go to stderr; the choice (the button's number, its
// accelerator or first letter, or its label; Enter for the default) is read
// from stdin.
#include "platform/Dialogs.h"

#include <unistd.h>

#include <cstdio>

#include "platform/Cp1252.h"
#include "platform/emulated/Emulated.h"

namespace plat {
namespace {

struct Choice {
    std::string label; // without "&"
    char key;          // upper-case accelerator
    int id;
};

Choice makeChoice(const std::string& label, int id) {
    Choice c{"", 0, id};
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '&' && i + 1 < label.size()) {
            ++i;
            if (label[i] != '&' && !c.key) c.key = emulated::upCase(label[i]);
        }
        c.label += label[i];
    }
    if (!c.key && !c.label.empty()) c.key = emulated::upCase(c.label[0]);
    return c;
}

std::string trimmedLine(const std::string& line) {
    size_t b = 0, e = line.size();
    while (b < e && (line[b] == ' ' || line[b] == '\t'))
        ++b;
    while (e > b && (line[e - 1] == ' ' || line[e - 1] == '\t' || line[e - 1] == '\n' ||
                     line[e - 1] == '\r'))
        --e;
    return line.substr(b, e - b);
}

// Shows the prompt until a choice is made; closeId when stdin ends.
int ask(const std::string& caption, const std::string& text, const std::vector<Choice>& choices,
        size_t defaultIndex, int closeId) {
    if (choices.empty()) return closeId;
    if (defaultIndex >= choices.size()) defaultIndex = 0;
    std::fprintf(stderr, "\n== %s ==\n%s\n", cp1252ToTerminalText(caption).c_str(),
                 cp1252ToTerminalText(text).c_str());
    for (;;) {
        for (size_t i = 0; i < choices.size(); ++i)
            std::fprintf(stderr, "%s[%zu] %s", i ? "  " : "", i + 1,
                         cp1252ToUtf8(choices[i].label).c_str());
        std::fprintf(stderr, "  (Enter: %s)\n> ",
                     cp1252ToUtf8(choices[defaultIndex].label).c_str());
        std::fflush(stderr);
        std::string line;
        char buffer[256];
        bool gotLine = false;
        while (std::fgets(buffer, sizeof buffer, stdin)) {
            gotLine = true;
            line += buffer;
            if (!line.empty() && line.back() == '\n') break;
        }
        if (!gotLine) return closeId;
        const std::string answer = utf8ToCp1252(trimmedLine(line));
        if (answer.empty()) return choices[defaultIndex].id;
        for (size_t i = 0; i < choices.size(); ++i)
            if (answer == std::to_string(i + 1) || emulated::sameText(answer, choices[i].label))
                return choices[i].id;
        if (answer.size() == 1)
            for (const Choice& c : choices)
                if (emulated::upCase(answer[0]) == c.key) return c.id;
        std::fprintf(stderr, "?\n");
    }
}

} // namespace

int messageBox(uintptr_t, const std::string& text, const std::string& caption, uint32_t flags) {
    constexpr int kIdTryAgain = 10, kIdContinue = 11;
    std::vector<Choice> choices;
    switch (flags & 0x0F) {
    case 0:
        choices = {{"OK", 'O', kIdOk}};
        break;
    case 1:
        choices = {{"OK", 'O', kIdOk}, {"Abbrechen", 'A', kIdCancel}};
        break;
    case 2:
        choices = {{"Abbrechen", 'A', kIdAbort},
                   {"Wiederholen", 'W', kIdRetry},
                   {"Ignorieren", 'I', kIdIgnore}};
        break;
    case 3:
        choices = {{"Ja", 'J', kIdYes}, {"Nein", 'N', kIdNo}, {"Abbrechen", 'A', kIdCancel}};
        break;
    case 4:
        choices = {{"Ja", 'J', kIdYes}, {"Nein", 'N', kIdNo}};
        break;
    case 5:
        choices = {{"Wiederholen", 'W', kIdRetry}, {"Abbrechen", 'A', kIdCancel}};
        break;
    case 6:
        choices = {{"Abbrechen", 'A', kIdCancel},
                   {"Wiederholen", 'W', kIdTryAgain},
                   {"Weiter", 'E', kIdContinue}};
        break;
    default:
        return 0;
    }
    // Closing the box means Cancel where there is one, OK for a lone OK;
    // the others cannot be closed, so nothing was chosen.
    int closeId = 0;
    for (const Choice& c : choices)
        if (c.id == kIdCancel) closeId = kIdCancel;
    if (choices.size() == 1) closeId = kIdOk;
    return ask(caption, text, choices, (flags >> 8) & 0x0F, closeId);
}

int buttonDialog(const std::string& title, const std::string& text, bool,
                 const std::vector<DialogButton>& buttons, int cancelId) {
    std::vector<Choice> choices;
    for (const DialogButton& b : buttons)
        choices.push_back(makeChoice(b.label, b.id));
    return ask(title, text, choices, 0, cancelId);
}

bool canAskPerson() {
    return isatty(STDIN_FILENO) == 1;
}

} // namespace plat
