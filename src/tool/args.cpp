#include "tool/args.h"

#include <charconv>

namespace dotreel::tool {
namespace {

const OptionDef* findLong(const std::vector<OptionDef>& known, const std::string& name) {
    for (const auto& s : known)
        if (s.name == name) return &s;
    return nullptr;
}

const OptionDef* findShort(const std::vector<OptionDef>& known, char c) {
    for (const auto& s : known)
        if (s.shortName != 0 && s.shortName == c) return &s;
    return nullptr;
}

}  // namespace

std::optional<std::string> ParsedArgs::value(const std::string& name) const {
    auto it = values_.find(name);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

ParsedArgs parseArgs(const std::vector<std::string>& args, const std::vector<OptionDef>& known) {
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
        const OptionDef* option = nullptr;
        std::optional<std::string> inlineValue;
        std::string shown;
        if (a.rfind("--", 0) == 0) {
            std::string name = a.substr(2);
            const auto eq = name.find('=');
            if (eq != std::string::npos) {
                inlineValue = name.substr(eq + 1);
                name.resize(eq);
            }
            option = findLong(known, name);
            shown = "--" + name;
        } else if (a.size() == 2) {
            option = findShort(known, a[1]);
            shown = a;
        }
        if (option == nullptr) throw UsageError("unknown option '" + a + "'");
        if (parsed.has(option->name)) throw UsageError("option " + shown + " given twice");
        if (!option->takesValue) {
            if (inlineValue) throw UsageError("option " + shown + " takes no value");
            parsed.set(option->name, "");
            continue;
        }
        if (inlineValue) {
            parsed.set(option->name, *inlineValue);
        } else {
            if (i + 1 >= args.size()) throw UsageError("option " + shown + " needs a value");
            parsed.set(option->name, args[++i]);
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
