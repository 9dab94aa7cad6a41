#pragma once
// Every message box and standard dialog the program shows goes through one
// Prompts object, so that tests can answer them and run the commands headless.
// The installed object is the process's; without one, the real dialogs run.
#include <string>
#include <vector>

#include "image/gdi_types.h"

class QDialog;
class QWidget;

class Prompts {
public:
    // Answers of Message, as the classic message box numbers them.
    enum Answer { kOk = 1, kCancel = 2, kYes = 6, kNo = 7 };
    enum class Buttons { Ok, YesNoCancel };
    enum class Icon { None, Information, Warning, Error };

    struct FileFilter {
        std::string name;                   // "All Movies"
        std::vector<std::string> patterns;  // "*.avi", ...
    };

    virtual ~Prompts() = default;

    virtual int Message(QWidget* parent, const std::string& text, const std::string& caption,
                        Buttons buttons, Icon icon);
    // The file and folder dialogs open in `startFolder`; "" is the current folder.
    // A path to an existing file, or "" when cancelled.
    virtual std::string OpenFileName(QWidget* parent, const std::vector<FileFilter>& filters,
                                     const std::string& startFolder);
    // A path to write; asks before replacing an existing file and appends
    // `defaultSuffix` (".jpg") to a name typed without one. "" when cancelled.
    virtual std::string SaveFileName(QWidget* parent, const std::vector<FileFilter>& filters,
                                     const std::string& defaultSuffix, const std::string& startFolder);
    // An existing folder, or "" when cancelled.
    virtual std::string ChooseFolder(QWidget* parent, const std::string& title, const std::string& startFolder);
    // One line of text under `prompt`, starting as `text`; false when cancelled.
    virtual bool AskText(QWidget* parent, const std::string& prompt, std::string& text);
    // The same with a choice of `choices` beside the text, starting at and
    // answered in `choice`; false when cancelled.
    virtual bool AskTextAndChoice(QWidget* parent, const std::string& prompt, std::string& text,
                                  const std::vector<std::string>& choices, int& choice);
    // The platform colour dialog; false when cancelled.
    virtual bool ChooseColor(QWidget* parent, COLORREF& color);
    // A font and its text colour chosen together; false when cancelled.
    virtual bool ChooseFont(QWidget* parent, LOGFONTA& font, COLORREF& color);

    // Runs a dialog of the program's own modally (About, Options); answers its
    // result code.
    virtual int RunDialog(QDialog& dialog);

    // The process's prompts: the installed object, else the real dialogs.
    static Prompts& Current();
    // Installs `prompts` (not owned; null goes back to the real dialogs).
    static void Install(Prompts* prompts);
};
