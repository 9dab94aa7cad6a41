#include "base/typed_number.h"

#include <cctype>
#include <climits>

namespace {

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Past every int either way, so that clamping to the int range and checking
// a range both see a value that is too large as too large.
constexpr long long kBeyond = static_cast<long long>(INT_MAX) + 2;

// Blanks, an optional sign (when `signs`), digits, from `i` on; `i` ends after
// the last digit. The value stops at +-kBeyond. False without a digit.
bool ReadNumber(const std::string& text, size_t& i, bool signs, long long& value) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (signs && i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const size_t first = i;
    value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kBeyond) value = kBeyond;
    }
    if (negative) value = -value;
    return i > first;
}

void SkipBlanks(const std::string& text, size_t& i) {
    while (i < text.size() && IsBlank(text[i])) ++i;
}

bool InRange(long long value, int low, int high) { return value >= low && value <= high; }

}  // namespace

int AtoiLike(const std::string& text) {
    size_t i = 0;
    long long value = 0;
    ReadNumber(text, i, true, value);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

bool ParseWholeNumber(const std::string& text, int low, int high, int& out) {
    size_t i = 0;
    long long value = 0;
    if (!ReadNumber(text, i, true, value)) return false;
    SkipBlanks(text, i);
    if (i != text.size() || !InRange(value, low, high)) return false;
    out = static_cast<int>(value);
    return true;
}

bool ParseSizePair(const std::string& text, int low, int high, int& width, int& height) {
    size_t i = 0;
    long long w = 0;
    long long h = 0;
    if (!ReadNumber(text, i, false, w)) return false;
    SkipBlanks(text, i);
    if (i >= text.size() || (text[i] != 'x' && text[i] != 'X')) return false;
    ++i;
    if (!ReadNumber(text, i, false, h)) return false;
    SkipBlanks(text, i);
    if (i != text.size() || !InRange(w, low, high) || !InRange(h, low, high)) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}
