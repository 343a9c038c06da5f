#include "tool/args.h"

#include <charconv>

namespace dotreel::tool {
namespace {

const OptionSpec* findLong(const std::vector<OptionSpec>& specs, const std::string& name) {
    for (const auto& s : specs)
        if (s.name == name) return &s;
    return nullptr;
}

const OptionSpec* findShort(const std::vector<OptionSpec>& specs, char c) {
    for (const auto& s : specs)
        if (s.shortName != 0 && s.shortName == c) return &s;
    return nullptr;
}

}  // namespace

std::optional<std::string> ParsedArgs::value(const std::string& name) const {
    auto it = values_.find(name);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

ParsedArgs parseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs) {
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a == "-" || a.empty() || a[0] != '-') {
            parsed.positionals.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionSpec* spec = nullptr;
        std::optional<std::string> inlineValue;
        std::string shown;
        if (a.rfind("--", 0) == 0) {
            std::string name = a.substr(2);
            const auto eq = name.find('=');
            if (eq != std::string::npos) {
                inlineValue = name.substr(eq + 1);
                name.resize(eq);
            }
            spec = findLong(specs, name);
            shown = "--" + name;
        } else if (a.size() == 2) {
            spec = findShort(specs, a[1]);
            shown = a;
        }
        if (spec == nullptr) throw UsageError("unknown option '" + a + "'");
        if (parsed.has(spec->name)) throw UsageError("option " + shown + " given twice");
        if (!spec->takesValue) {
            if (inlineValue) throw UsageError("option " + shown + " takes no value");
            parsed.set(spec->name, "");
            continue;
        }
        if (inlineValue) {
            parsed.set(spec->name, *inlineValue);
        } else {
            if (i + 1 >= args.size()) throw UsageError("option " + shown + " needs a value");
            parsed.set(spec->name, args[++i]);
        }
    }
    return parsed;
}

int parseInteger(const std::string& text, int low, int high, const std::string& what) {
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (text.empty() || (ec != std::errc() && ec != std::errc::result_out_of_range) || ptr != last)
        throw UsageError(what + ": '" + text + "' is not a whole number");
    if (ec == std::errc::result_out_of_range || value < low || value > high)
        throw UsageError(what + ": " + text + " is outside " + std::to_string(low) + ".." +
                         std::to_string(high));
    return value;
}

}  // namespace dotreel::tool
