#pragma once
// Numbers the user types convert as the C library's atoi does.
#include <string>

// Blanks skipped, an optional sign, digits up to the first other character;
// 0 without digits. Values past the int range stop at its ends instead of
// wrapping.
int AtoiLike(const std::string& text);
