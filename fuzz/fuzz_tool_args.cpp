// Any words as dotreel-tool's command line: the option parser, frame ranges, whole numbers,
// colours and the nearest-command hint must either give a result that keeps their promises or
// refuse with a UsageError; nothing else may escape.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzzsupport.h"
#include "tool/args.h"
#include "tool/store.h"

using namespace dotreel;
using namespace dotreel::tool;
using fuzzsupport::check;

namespace {

// The same kinds of option the tool declares: flags, values, a short name.
const std::vector<OptionDef>& options() {
    static const std::vector<OptionDef> known = {
        {"help", "", 'h', "h"},    {"format", "FORMAT", 0, "f"}, {"output", "PATH", 'o', "o"},
        {"force", "", 0, "x"},     {"frames", "A..B", 0, "r"},   {"scale", "N", 0, "s"},
        {"lit", "RRGGBB", 0, "l"},
    };
    return known;
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void checkWord(const std::string& word) {
    try {
        const FrameRange r = parseFrameRange(word, "--frames");
        check(r.first >= 0 && r.first <= kLastFrame && r.last >= 0 && r.last <= kLastFrame,
              "a frame range outside 0..267");
        const std::vector<int> frames = r.frames();
        check(static_cast<int>(frames.size()) == r.count() && frames.front() == r.first &&
                  frames.back() == r.last,
              "a frame range lists other frames than it spans");
        const FrameRange again =
            parseFrameRange(std::to_string(r.first) + ".." + std::to_string(r.last), "--frames");
        check(again.first == r.first && again.last == r.last, "a range did not read back");
    } catch (const UsageError&) {
    }
    try {
        const int v = parseInteger(word, -5, 300, "--n");
        check(v >= -5 && v <= 300, "a whole number outside its bounds");
        check(parseInteger(std::to_string(v), -5, 300, "--n") == v, "a number did not read back");
    } catch (const UsageError&) {
    }
    uint32_t colour = 0;
    if (parseColour(word, colour)) {
        const std::string_view hex = word[0] == '#' ? std::string_view(word).substr(1) : word;
        check(hex.size() == 6, "a colour of other than six digits");
        for (char c : hex) check(isHex(c), "a colour with a digit that is no hexadecimal one");
        check((colour >> 24) == 0xFF, "a colour that is not opaque");
    }
    const std::vector<std::string_view> names{"check", "info", "export", "import"};
    const std::string nearest = nearestName(word, names);
    check(nearest.empty() || nearest == "check" || nearest == "info" || nearest == "export" ||
              nearest == "import",
          "a hint that is no command");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Words separated by NUL bytes, as in argv. A command line of more than a few dozen words
    // takes no path that a shorter one does not, while every refused word costs an exception:
    // keep the runs short so that they stay in the thousands a second.
    constexpr size_t kMaxWords = 24;
    std::vector<std::string> words(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] != 0)
            words.back().push_back(static_cast<char>(data[i]));
        else if (words.size() < kMaxWords)
            words.emplace_back();
        else
            break;
    }
    for (const auto& w : words) checkWord(w);
    try {
        const ParsedArgs parsed = parseArgs(words, options());
        // Every positional is one of the words, in order; each option that takes a value has
        // one (an empty one only when the words gave it so).
        size_t at = 0;
        for (const auto& p : parsed.positionals) {
            while (at < words.size() && words[at] != p) ++at;
            check(at < words.size(), "a positional argument that was not given");
            ++at;
        }
        for (const auto& option : options()) {
            const auto value = parsed.value(std::string(option.name));
            check(value.has_value() == parsed.has(std::string(option.name)),
                  "has() and value() disagree");
            if (value && !option.takesValue()) check(value->empty(), "a flag with a value");
        }
    } catch (const UsageError&) {
    }
    return 0;
}
