// Bitmap fonts read with FreeType, rendered one bit a dot: the named fonts of the X11 packages
// (misc-fixed and the Shinonome Gothic set for Japanese) and any BDF, PCF, OTB or TTF/OTF by path.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dotreel::text {

// A font that cannot be read or used, or a character that it lacks: the message says which.
class TextError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One character's dots, placed as the font file places them: the bitmap's top-left dot stands
// `left` columns right of the pen and `top` rows above the baseline.
struct Glyph {
    int left = 0;
    int top = 0;
    int width = 0;
    int rows = 0;
    int advance = 0;            // how far the pen moves on, in dots
    std::vector<uint8_t> dots;  // width x rows, row by row; 1 lit
};

// Where the faces of the named fonts live (xfonts-base, xfonts-shinonome).
inline constexpr char kX11FontFolder[] = "/usr/share/fonts/X11/misc";

// A named font: one face, or the three faces of the Japanese set.
struct NamedFont {
    std::string_view name;
    std::string_view cell;                // "5x7", or "6x12 / 12x12" for half and full width
    std::vector<std::string_view> files;  // Unicode (or ISO 8859-1), JIS X 0201, JIS X 0208
};
const std::vector<NamedFont>& namedFonts();
const NamedFont* findNamedFont(std::string_view name);
inline constexpr char kDefaultFont[] = "ja12";

class Face;

class Font {
public:
    // `nameOrPath` is a named font (looked up in `folder`) or a font file. `sizePx` 0 means
    // the font's own bitmap strike; a scalable font without one needs a size.
    static std::unique_ptr<Font> open(const std::string& nameOrPath, int sizePx = 0,
                                      const std::string& folder = kX11FontFolder);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const std::string& name() const { return name_; }
    int ascent() const { return ascent_; }
    int descent() const { return descent_; }
    // One line below the next: ascent + descent.
    int height() const { return ascent_ + descent_; }

    // The glyph of a code point; throws TextError "no glyph for 'X' (U+XXXX) in NAME".
    const Glyph& glyph(char32_t codePoint);

private:
    Font() = default;
    std::string name_;
    int ascent_ = 0;
    int descent_ = 0;
    std::vector<std::unique_ptr<Face>> faces_;
    std::map<char32_t, Glyph> cache_;
};

// "U+6F22", four hex digits at least.
std::string codePointName(char32_t codePoint);
// The UTF-8 of one code point.
std::string utf8Of(char32_t codePoint);

}  // namespace dotreel::text
