#include "res/commands.h"

const std::vector<MenuDef>& MainMenu() {
    static const std::vector<MenuDef> menu = {
        {"&File",
         {{ID_FILE_OPEN, "&Open File...", "Open a video file"},
          {ID_OPEN_FOLDER, "Open &Folder...", ""},
          {0, nullptr, nullptr},
          {ID_FILE_SAVE, "&Save File...", "Save Screenshot"},
          {ID_SAVE_MULTIPLE, "Save Multiple...", ""},
          {0, nullptr, nullptr},
          {ID_FILE_CLOSE, "&Close", "Close the video file"},
          {0, nullptr, nullptr},
          {ID_OPTIONS, "Op&tions...", "Options..."},
          {ID_EXIT, "E&xit", "Quit program"}}},
        {"&Help",
         {{ID_APP_ABOUT, "&About Reelcap...",
           "Display program information, version number and copyright"}}},
    };
    return menu;
}

const std::vector<ToolButton>& MainToolbar() {
    static const std::vector<ToolButton> buttons = {
        {ID_PLAY, "Play"},
        {ID_PAUSE, "Pause"},
        {ID_STOP, "Stop"},
        {0, nullptr},
        {ID_GRAB_ALL, "Grab All Images..."},
        {ID_GRAB_CURRENT, "Grab Current Image"},
    };
    return buttons;
}
