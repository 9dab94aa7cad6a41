#pragma once
// The program's name as every window title and message caption shows it.
inline constexpr const char* kAppTitle = "Reelcap";
