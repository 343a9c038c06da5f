// Command-line arguments of dotreel-tool: options with or without a value, and the positional
// arguments between them. Every mistake is a UsageError, reported with exit status 2.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
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

struct OptionDef {
    std::string name;         // long name without the dashes: "format"
    bool takesValue = false;  // "--format bin" or "--format=bin"
    char shortName = 0;       // 'o' for "-o out.bin"; 0 for none
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

}  // namespace dotreel::tool
