#include "tool/args.h"

#include <algorithm>
#include <charconv>

namespace dotreel::tool {
namespace {

const OptionDef* findLong(const std::vector<OptionDef>& known, std::string_view name) {
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
        if (parsed.has(std::string(option->name)))
            throw UsageError("option " + shown + " given twice");
        if (!option->takesValue()) {
            if (inlineValue) throw UsageError("option " + shown + " takes no value");
            parsed.set(std::string(option->name), "");
            continue;
        }
        if (inlineValue) {
            parsed.set(std::string(option->name), *inlineValue);
        } else {
            if (i + 1 >= args.size()) throw UsageError("option " + shown + " needs a value");
            parsed.set(std::string(option->name), args[++i]);
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

bool parseColour(const std::string& text, uint32_t& colour) {
    const std::string_view hex =
        (!text.empty() && text[0] == '#') ? std::string_view(text).substr(1) : text;
    if (hex.size() != 6) return false;
    uint32_t value = 0;
    for (char c : hex) {
        uint32_t d = 0;
        if (c >= '0' && c <= '9')
            d = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = static_cast<uint32_t>(c - 'A' + 10);
        else
            return false;
        value = value * 16 + d;
    }
    colour = 0xFF000000U | value;
    return true;
}

std::string describeOptions(const std::vector<OptionDef>& options) {
    constexpr size_t kHelpColumn = 21;
    std::string out = "Options:\n";
    for (const auto& option : options) {
        if (option.help.empty()) continue;
        // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) about "x" + std::string.
        std::string left = "  ";
        if (option.shortName != 0) {
            left += '-';
            left += option.shortName;
            left += ", ";
        }
        left += "--";
        left.append(option.name);
        if (option.takesValue()) {
            left += ' ';
            left.append(option.value);
        }
        out += left;
        if (left.size() + 2 > kHelpColumn) {
            out += '\n';
            out.append(kHelpColumn, ' ');
        } else {
            out.append(kHelpColumn - left.size(), ' ');
        }
        for (char c : option.help) {
            out += c;
            if (c == '\n') out.append(kHelpColumn, ' ');
        }
        out += "\n";
    }
    return out;
}

std::string nearestName(std::string_view typed, const std::vector<std::string_view>& names) {
    // Levenshtein distance, small strings only: a command line word against a handful of names.
    const auto distance = [](std::string_view a, std::string_view b) {
        std::vector<size_t> row(b.size() + 1);
        for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
        for (size_t i = 1; i <= a.size(); ++i) {
            size_t diagonal = row[0];
            row[0] = i;
            for (size_t j = 1; j <= b.size(); ++j) {
                const size_t above = row[j];
                const size_t change = diagonal + (a[i - 1] == b[j - 1] ? 0 : 1);
                row[j] = std::min({above + 1, row[j - 1] + 1, change});
                diagonal = above;
            }
        }
        return row[b.size()];
    };
    const std::string lower = lowerCase(typed.substr(0, 64));
    std::string best;
    size_t bestDistance = 0;
    for (std::string_view name : names) {
        const size_t d = distance(lower, name);
        if (best.empty() || d < bestDistance) {
            best = std::string(name);
            bestDistance = d;
        }
    }
    // More than a third of the letters wrong is no typo any more.
    if (best.empty() || bestDistance * 3 > std::max(best.size(), lower.size())) return {};
    return best;
}

std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace dotreel::tool
