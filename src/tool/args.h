// Command-line arguments of dotreel-tool: options with or without a value, and the positional
// arguments between them. Every mistake is a UsageError, reported with exit status 2.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dotreel::tool {

// A mistake in the command line itself: unknown option, missing value, bad number...
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failure while doing the work: unreadable input, unwritable output, input that cannot be used.
class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One option, declared once: the parser, the help text and the check that it suits the chosen
// export format all read it from here.
struct OptionDef {
    std::string_view name;   // long name without the dashes: "format"
    std::string_view value;  // what its value is called in the help ("PATH"); empty: a flag
    char shortName = 0;      // 'o' for "-o out.bin"; 0 for none
    std::string_view help;   // the help text; a '\n' starts a new line of it
    unsigned formats = ~0U;  // export formats it applies to (bits of a format list)

    bool takesValue() const { return !value.empty(); }
};

class ParsedArgs {
public:
    std::vector<std::string> positionals;

    bool has(const std::string& name) const { return values_.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const;

    void set(const std::string& name, std::string value) { values_[name] = std::move(value); }

private:
    std::map<std::string, std::string> values_;
};

// Parses `args` (the words after the command name). An option may be given once; "--" ends the
// options, so that a file named "-x" can still be passed.
ParsedArgs parseArgs(const std::vector<std::string>& args, const std::vector<OptionDef>& known);

// A whole decimal number within [low, high]; `what` names it in the error ("--at").
int parseInteger(const std::string& text, int low, int high, const std::string& what);

// "RRGGBB" or "#RRGGBB" as 0xFFRRGGBB (opaque); false when the text is neither.
bool parseColour(const std::string& text, uint32_t& colour);

// The Options section of a help text: each option with its value name and help, aligned.
std::string describeOptions(const std::vector<OptionDef>& options);

// The one of `names` nearest to `typed` by edit distance, when it is close enough to be a
// likely typo; empty otherwise.
std::string nearestName(std::string_view typed, const std::vector<std::string_view>& names);

// `text` in lower case (ASCII letters only).
std::string lowerCase(std::string_view text);

}  // namespace dotreel::tool
