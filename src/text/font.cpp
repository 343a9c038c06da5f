// Fonts through FreeType: the file is FreeType's to read (BDF, PCF, PCF.gz, OTB, TTF, OTF), the
// dots are its monochrome rendering, the metrics its own. A Japanese set is three faces, chosen
// per character; the JIS X 0201 and JIS X 0208 faces are reached through glibc's iconv (EUC-JP).
#include "text/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BDF_H

#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>

namespace dotreel::text {

std::string codePointName(char32_t codePoint) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(codePoint));
    return buffer;
}

std::string utf8Of(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

const std::vector<NamedFont>& namedFonts() {
    static const std::vector<NamedFont> fonts = {
        {"5x7", "5x7", {"5x7.pcf.gz"}},
        {"5x8", "5x8", {"5x8.pcf.gz"}},
        {"6x10", "6x10", {"6x10.pcf.gz"}},
        {"6x12", "6x12", {"6x12.pcf.gz"}},
        {"6x13", "6x13", {"6x13.pcf.gz"}},
        {"7x14", "7x14", {"7x14.pcf.gz"}},
        {"8x13", "8x13", {"8x13.pcf.gz"}},
        {"9x15", "9x15", {"9x15.pcf.gz"}},
        {"10x20", "10x20", {"10x20.pcf.gz"}},
        {"ja12", "6x12 / 12x12", {"shnm6x12a.pcf.gz", "shnm6x12r.pcf.gz", "shnmk12.pcf.gz"}},
        {"ja14", "7x14 / 14x14", {"shnm7x14a.pcf.gz", "shnm7x14r.pcf.gz", "shnmk14.pcf.gz"}},
        {"ja16", "8x16 / 16x16", {"shnm8x16a.pcf.gz", "shnm8x16r.pcf.gz", "shnmk16.pcf.gz"}},
    };
    return fonts;
}

const NamedFont* findNamedFont(std::string_view name) {
    for (const auto& font : namedFonts())
        if (font.name == name) return &font;
    return nullptr;
}

namespace {

// The largest size, offset or advance of a glyph, and the largest ascent or descent, in dots.
constexpr int kLargestMetric = 1024;

// How a face's character codes are reached from Unicode.
enum class Codes { Unicode, JisX0201, JisX0208 };

// EUC-JP bytes of one code point, by glibc's own conversion; empty when it has none.
std::string eucJpOf(char32_t codePoint) {
    static std::mutex guard;  // one conversion state for the program, used by one at a time
    const std::lock_guard lock(guard);
    static iconv_t converter = iconv_open("EUC-JP", "UTF-8");
    // iconv_open reports failure as (iconv_t)-1.
    if (converter == reinterpret_cast<iconv_t>(-1))  // NOLINT(performance-no-int-to-ptr)
        throw TextError("this system's iconv has no EUC-JP conversion");
    std::string in = utf8Of(codePoint);
    char out[8];
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out;
    size_t outLeft = sizeof out;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
        inLeft != 0)
        return {};
    return std::string(out, static_cast<size_t>(outPtr - out));
}

std::string freetypeMessage(FT_Error error) {
    const char* text = FT_Error_String(error);
    return text != nullptr ? text : "FreeType error " + std::to_string(error);
}

}  // namespace

// One FreeType face with its own library, sized, and how its codes are reached.
class Face {
public:
    Face(const std::string& path, std::string shown, int sizePx) : shown_(std::move(shown)) {
        if (FT_Init_FreeType(&library_) != 0) throw TextError("cannot start FreeType");
        try {
            open(path, sizePx);
        } catch (...) {
            release();
            throw;
        }
    }
    ~Face() { release(); }
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    Codes codes() const { return codes_; }
    int ascent() const { return ascent_; }
    int descent() const { return descent_; }

private:
    void release() {
        if (face_ != nullptr) FT_Done_Face(face_);
        face_ = nullptr;
        if (library_ != nullptr) FT_Done_FreeType(library_);
        library_ = nullptr;
    }

    void open(const std::string& path, int sizePx) {
        const std::string& shown = shown_;
        const FT_Error opened = FT_New_Face(library_, path.c_str(), 0, &face_);
        if (opened == FT_Err_Unknown_File_Format)
            throw TextError("'" + shown + "' is not a font (BDF, PCF, OTB, TTF or OTF)");
        if (opened != 0)
            throw TextError("cannot read font '" + shown + "': " + freetypeMessage(opened));
        chooseSize(sizePx);
        chooseCodes();
        const FT_Size_Metrics& m = face_->size->metrics;
        // A font file may claim anything; a line is kept to a height that the sums stay within.
        ascent_ = std::clamp(static_cast<int>((m.ascender + 63) >> 6), 0, kLargestMetric);
        descent_ = std::clamp(static_cast<int>((-m.descender + 63) >> 6), 0, kLargestMetric);
    }

public:
    // The glyph at the face's own code, or false when the face has none there.
    bool render(FT_ULong code, Glyph& glyph) {
        const FT_UInt index = FT_Get_Char_Index(face_, code);
        if (index == 0) return false;
        const FT_Error error =
            FT_Load_Glyph(face_, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME);
        if (error != 0)
            throw TextError("cannot read a glyph of font '" + shown_ +
                            "': " + freetypeMessage(error));
        const FT_GlyphSlot slot = face_->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const auto outside = [](long value) {
            return value < -kLargestMetric || value > kLargestMetric;
        };
        if (outside(slot->bitmap_left) || outside(slot->bitmap_top) ||
            outside(static_cast<long>(bitmap.width)) || outside(static_cast<long>(bitmap.rows)) ||
            outside((slot->advance.x + 32) >> 6))
            throw TextError("font '" + shown_ + "' has a glyph larger than " +
                            std::to_string(kLargestMetric) + " dots");
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.width = static_cast<int>(bitmap.width);
        glyph.rows = static_cast<int>(bitmap.rows);
        glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        glyph.dots.assign(static_cast<size_t>(glyph.width) * static_cast<size_t>(glyph.rows), 0);
        for (int y = 0; y < glyph.rows; ++y) {
            const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
            for (int x = 0; x < glyph.width; ++x) {
                bool lit = false;
                if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
                    lit = ((row[x / 8] >> (7 - x % 8)) & 1) != 0;
                else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
                    lit = row[x] >= 128;  // a grey strike: a dot is lit or not
                else
                    throw TextError("font '" + shown_ + "' has glyphs in colour");
                glyph.dots[static_cast<size_t>(y) * static_cast<size_t>(glyph.width) +
                           static_cast<size_t>(x)] = lit ? 1 : 0;
            }
        }
        return true;
    }

private:
    void chooseSize(int sizePx) {
        const int strikes = face_->num_fixed_sizes;
        std::string heights;
        for (int i = 0; i < strikes; ++i) {
            const int h = face_->available_sizes[i].height;
            const int ppem = static_cast<int>((face_->available_sizes[i].y_ppem + 32) >> 6);
            if (sizePx != 0 && (h == sizePx || ppem == sizePx)) {
                select(i);
                return;
            }
            heights += (heights.empty() ? "" : ", ") + std::to_string(h);
        }
        const bool scalable = FT_IS_SCALABLE(face_);
        if (sizePx == 0) {
            if (strikes == 1) {
                select(0);
                return;
            }
            if (strikes > 1)
                throw TextError("font '" + shown_ + "' has bitmaps of " + heights +
                                " px: choose one with --size PX");
            throw TextError("font '" + shown_ +
                            "' is scalable and has no bitmap strike: give its size with --size PX");
        }
        if (!scalable)
            throw TextError("font '" + shown_ + "' has bitmaps of " + heights + " px only, not " +
                            std::to_string(sizePx));
        const FT_Error error = FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(sizePx));
        if (error != 0)
            throw TextError("font '" + shown_ + "' cannot be set to " + std::to_string(sizePx) +
                            " px: " + freetypeMessage(error));
    }

    void select(int strike) {
        const FT_Error error = FT_Select_Size(face_, strike);
        if (error != 0)
            throw TextError("cannot use the bitmaps of font '" + shown_ +
                            "': " + freetypeMessage(error));
    }

    // A BDF or PCF face says in its registry which codes it uses; FreeType gives Unicode for the
    // ISO 10646 and ISO 8859-1 ones, and the raw codes for the JIS faces.
    void chooseCodes() {
        const char* encoding = nullptr;
        const char* registry = nullptr;
        std::string charset;
        if (FT_Get_BDF_Charset_ID(face_, &encoding, &registry) == 0 && registry != nullptr)
            charset = std::string(registry) + "-" + (encoding != nullptr ? encoding : "");
        std::string upper = charset;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const auto raw = [&](Codes codes) {
            codes_ = codes;
            if (face_->num_charmaps > 0) FT_Set_Charmap(face_, face_->charmaps[0]);
        };
        if (upper.rfind("JISX0208", 0) == 0) return raw(Codes::JisX0208);
        if (upper.rfind("JISX0201", 0) == 0) return raw(Codes::JisX0201);
        if (FT_Select_Charmap(face_, FT_ENCODING_UNICODE) == 0) return;
        throw TextError(
            "font '" + shown_ + "' has its characters in " +
            (charset.empty() ? std::string("an encoding other than Unicode") : charset) +
            "; use a Unicode (ISO10646-1) font");
    }

    std::string shown_;
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
    Codes codes_ = Codes::Unicode;
    int ascent_ = 0;
    int descent_ = 0;
};

namespace {

std::string describeMissingFile(const std::filesystem::path& path, const std::string& what) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return what + " '" + path.string() + "' does not exist";
    if (!std::filesystem::is_regular_file(path, ec))
        return what + " '" + path.string() + "' is not a regular file";
    return {};
}

std::string namedFontList() {
    std::string names;
    for (const auto& font : namedFonts())
        names += (names.empty() ? "" : " ") + std::string(font.name);
    return names;
}

}  // namespace

Font::~Font() = default;

std::unique_ptr<Font> Font::open(const std::string& nameOrPath, int sizePx,
                                 const std::string& folder) {
    std::unique_ptr<Font> font(new Font());
    font->name_ = nameOrPath;
    if (const NamedFont* named = findNamedFont(nameOrPath)) {
        for (const auto file : named->files) {
            const auto path = std::filesystem::path(folder) / file;
            const std::string missing = describeMissingFile(path, "its file");
            if (!missing.empty()) {
                std::string message = "font '";
                message += nameOrPath;
                message += "' is not installed: ";
                message += missing;
                message += " (Debian package ";
                message += named->files.size() > 1 ? "xfonts-shinonome" : "xfonts-base";
                message += ")";
                throw TextError(message);
            }
            font->faces_.push_back(std::make_unique<Face>(path.string(), nameOrPath, sizePx));
        }
    } else {
        const std::filesystem::path path(nameOrPath);
        std::string missing = describeMissingFile(path, "font file");
        if (!missing.empty()) {
            if (nameOrPath.find('/') == std::string::npos &&
                nameOrPath.find('.') == std::string::npos)
                missing = "unknown font '" + nameOrPath + "' (named fonts: " + namedFontList() +
                          "; or a font file's path)";
            throw TextError(missing);
        }
        font->faces_.push_back(std::make_unique<Face>(nameOrPath, nameOrPath, sizePx));
    }
    for (const auto& face : font->faces_) {
        font->ascent_ = std::max(font->ascent_, face->ascent());
        font->descent_ = std::max(font->descent_, face->descent());
    }
    return font;
}

const Glyph& Font::glyph(char32_t codePoint) {
    if (auto it = cache_.find(codePoint); it != cache_.end()) return it->second;
    Glyph glyph;
    bool found = false;
    // Only the first face of a set answers U+0020..U+00FF; every other character goes to the face
    // its EUC-JP code names: one byte after 0x8E for JIS X 0201 kana, two for JIS X 0208.
    const bool set = faces_.size() > 1;
    std::string euc;
    for (size_t i = 0; i < faces_.size() && !found; ++i) {
        Face& face = *faces_[i];
        if (face.codes() == Codes::Unicode) {
            if (!set || (codePoint >= 0x20 && codePoint <= 0xFF))
                found = face.render(codePoint, glyph);
            continue;
        }
        if (set && codePoint <= 0xFF) continue;
        if (euc.empty()) euc = eucJpOf(codePoint);
        const auto byte = [&](size_t k) { return static_cast<unsigned char>(euc[k]); };
        if (face.codes() == Codes::JisX0201 && euc.size() == 2 && byte(0) == 0x8E)
            found = face.render(byte(1), glyph);
        else if (face.codes() == Codes::JisX0208 && euc.size() == 2 && byte(0) >= 0xA1)
            found = face.render(((byte(0) & 0x7FU) << 8) | (byte(1) & 0x7FU), glyph);
    }
    if (!found) {
        const bool printable = codePoint >= 0x20 && codePoint != 0x7F;
        throw TextError("no glyph for " +
                        (printable
                             ? "'" + utf8Of(codePoint) + "' (" + codePointName(codePoint) + ")"
                             : codePointName(codePoint)) +
                        " in " + name_);
    }
    return cache_.emplace(codePoint, std::move(glyph)).first->second;
}

}  // namespace dotreel::text
