#pragma once
// Answers the program's dialogs from a script, so commands run headless, and
// records every message shown.
#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "widgets/prompts.h"

class ScriptedPrompts : public Prompts {
public:
    ScriptedPrompts() { Install(this); }
    ~ScriptedPrompts() override { Install(nullptr); }

    struct Shown {
        std::string text;
        std::string caption;
    };
    std::vector<Shown> messages;
    // Answers in order; an empty queue answers as a cancel would.
    std::deque<int> messageAnswers;
    std::deque<std::string> texts;    // AskText: std::string("\x18") cancels
    std::deque<std::string> paths;    // OpenFileName, SaveFileName, ChooseFolder
    std::vector<std::string> startFolders;  // where each of those dialogs opened
    std::vector<std::string> prompts;  // AskText prompts seen
    int dialogsRun = 0;

    int Message(QWidget*, const std::string& text, const std::string& caption, Buttons buttons,
                Icon) override {
        messages.push_back({text, caption});
        if (messageAnswers.empty()) return buttons == Buttons::Ok ? kOk : kCancel;
        const int answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    std::string OpenFileName(QWidget*, const std::vector<FileFilter>&, const std::string& start) override {
        return NextPath(start);
    }
    std::string SaveFileName(QWidget*, const std::vector<FileFilter>&, const std::string&,
                             const std::string& start) override {
        return NextPath(start);
    }
    std::string ChooseFolder(QWidget*, const std::string&, const std::string& start) override {
        return NextPath(start);
    }
    bool AskText(QWidget*, const std::string& prompt, std::string& text) override {
        prompts.push_back(prompt + "|" + text);
        if (texts.empty() || texts.front() == "\x18") {
            if (!texts.empty()) texts.pop_front();
            return false;
        }
        text = texts.front();
        texts.pop_front();
        return true;
    }
    // AskTextAndChoice: the text from `texts`, the choice from `choices`
    // (kept as offered when empty); what was offered is kept in `offered`.
    std::deque<int> choices;
    std::vector<int> offered;
    bool AskTextAndChoice(QWidget* parent, const std::string& prompt, std::string& text,
                          const std::vector<std::string>& names, int& choice) override {
        offered.push_back(choice);
        if (!AskText(parent, prompt, text)) return false;
        if (!choices.empty()) {
            choice = std::min(choices.front(), int(names.size()) - 1);
            choices.pop_front();
        }
        return true;
    }
    int RunDialog(QDialog&) override {
        ++dialogsRun;
        return 1;
    }

private:
    std::string NextPath(const std::string& start) {
        startFolders.push_back(start);
        if (paths.empty()) return {};
        std::string path = paths.front();
        paths.pop_front();
        return path;
    }
};
