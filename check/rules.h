// The rules of the deep check: one table with every rule's id, its severity
// and the three texts of the rule reference (mshtool check --rules): what a
// finding means, why the game or its tools care, and how to fix it.
//
// Severity follows the tools: an error is a fault the model compiler refuses
// or the game crashes on; a warning is a shape the tools accept that is
// likely a mistake. A few rules give a warning for the milder form of their
// fault (a record longer than its layout, a list with bytes after its last
// entry); the table names their usual severity and the text says which.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace check {

// A note is a finding that is likely no fault: a mod tree's reference that
// the tree cannot resolve but a stock asset of the game may.
enum class Severity : uint8_t { error, warning, note };

// "error", "warning" or "note".
const char* SeverityName(Severity s);

struct Rule {
    const char* id;
    Severity severity;
    const char* means;
    const char* why;
    const char* fix;
    // The model compiler's error and warning codes this rule stands for,
    // separated by ", " (empty when the compiler has none).
    const char* compiler;
};

// The compiler's codes that no mesh or option file can give (its own
// failures, its output files), with the reason, for the reference.
struct UntriggeredCode {
    const char* code;
    const char* why;
};
std::span<const UntriggeredCode> UntriggeredCodes();

// Every rule, in the order of the reference.
std::span<const Rule> Rules();

// The rule of an id, or null.
const Rule* FindRule(std::string_view id);

}  // namespace check
