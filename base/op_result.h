#pragma once
#include <string>
#include <utility>

// Outcome of an operation that can fail for reasons the user should see
// (a file that cannot be written, a corrupt picture, invalid settings).
struct OpResult {
    bool ok = true;
    std::string message;

    static OpResult Success() { return {}; }
    static OpResult Failure(std::string why) { return {false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};
