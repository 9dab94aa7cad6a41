#pragma once
// A message box with one OK button, captioned with the program's title: how
// the program's commands tell the user what went wrong.
#include <string>

#include "res/app_title.h"
#include "res/commands.h"
#include "widgets/prompts.h"

inline void ShowAppMessage(QWidget* parent, const std::string& text,
                           Prompts::Icon icon = Prompts::Icon::None) {
    Prompts::Current().Message(parent, text, kAppTitle, Prompts::Buttons::Ok, icon);
}
