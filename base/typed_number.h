#pragma once
// Numbers the user types: one reading of blanks, a sign and digits, taken
// either as the C library's atoi takes it (the window's boxes) or strictly
// (command-line values, where anything else is refused).
#include <string>

// Blanks skipped, an optional sign, digits up to the first other character;
// 0 without digits. Values past the int range stop at its ends instead of
// wrapping.
int AtoiLike(const std::string& text);

// A whole number in [low, high]: optional blanks, an optional sign, digits,
// optional blanks, nothing else. False for anything else ("abc", "5x", "",
// "1e3", a value past the range); `out` is then left as it was.
bool ParseWholeNumber(const std::string& text, int low, int high, int& out);

// "WxH" (x or X; blanks allowed around each number), both whole numbers in
// [low, high] without a sign. False for anything else, leaving both as they were.
bool ParseSizePair(const std::string& text, int low, int high, int& width, int& height);
