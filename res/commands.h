#pragma once
// Command identifiers and the texts of the menus and the toolbar.
#include <vector>

enum CommandId : int {
    ID_GRAB_CURRENT = 32771,
    ID_PAUSE = 32772,
    ID_PLAY = 32773,
    ID_STOP = 32774,
    ID_GRAB_ALL = 32775,
    ID_EXIT = 32778,
    ID_OPTIONS = 32780,
    ID_OPEN_FOLDER = 32781,
    ID_SAVE_MULTIPLE = 32782,
    ID_FILE_OPEN = 57601,
    ID_FILE_CLOSE = 57602,
    ID_FILE_SAVE = 57603,
    ID_APP_ABOUT = 57664,
};

inline constexpr const char* kIdleMessage = "Ready";

// One menu item; id 0 is a separator.
struct MenuItem {
    int id;
    const char* text;    // with "&" before the mnemonic
    const char* prompt;  // shown in the status bar while highlighted
};
struct MenuDef {
    const char* title;
    std::vector<MenuItem> items;
};

// The menu bar: "&File" and "&Help".
const std::vector<MenuDef>& MainMenu();

// Toolbar buttons in order; id 0 is a separator.
struct ToolButton {
    int id;
    const char* prompt;
};
const std::vector<ToolButton>& MainToolbar();
