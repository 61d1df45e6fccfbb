#include "toolkit/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <vector>

#include "toolkit/sjis.h"

namespace pw {
namespace {

constexpr int kCell = TCharCell::kSize;
constexpr int kHalfAdvance = 6;
constexpr int kFullAdvance = 12;

// The stand-in bitmap fonts: 6x12 ASCII (ISO 8859-1 encoded), 6x12 JIS X 0201 (katakana at
// 0xA1..0xDF), 12x12 JIS X 0208 Gothic and Mincho.
constexpr const char* kStandInDir = "/usr/share/fonts/X11/misc/";
constexpr const char* kStandInAscii = "shnm6x12a.pcf.gz";
constexpr const char* kStandInKana = "shnm6x12r.pcf.gz";
constexpr const char* kStandInGothic = "shnmk12.pcf.gz";
constexpr const char* kStandInMincho = "shnmk12min.pcf.gz";
constexpr const char* kMinchoFace = "RM2000";

struct LibraryDeleter {
  void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FaceDeleter {
  void operator()(FT_Face face) const { FT_Done_Face(face); }
};
struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
struct ConfigDeleter {
  void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};
using LibraryHandle = std::unique_ptr<FT_LibraryRec_, LibraryDeleter>;
using FaceHandle = std::unique_ptr<FT_FaceRec_, FaceDeleter>;
using PatternHandle = std::unique_ptr<FcPattern, PatternDeleter>;
using ConfigHandle = std::unique_ptr<FcConfig, ConfigDeleter>;

// One rasterised character: its advance and its ink, bit x of rows[y] for pixel (x, y).
struct Glyph {
  int advance = 0;
  std::array<std::uint16_t, kCell> rows{};
};

// Where a character's glyph is: a face and the character code in that face's charmap.
struct GlyphSource {
  FT_Face face = nullptr;
  FT_ULong code = 0;
};

struct FaceFile {
  std::string path;
  int index = 0;
};

// Looks the family up through fontconfig; fontconfig always answers with its best match, so
// only a font whose own family name is the one asked for counts as installed. The lookup loads
// a configuration of its own and releases it, leaving no process-wide state behind.
std::optional<FaceFile> FindInstalledFace(const std::string& family) {
  const ConfigHandle config(FcInitLoadConfigAndFonts());
  PatternHandle pattern(FcPatternCreate());
  if (!config || !pattern) return std::nullopt;
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, FC_SLANT_ROMAN);
  FcConfigSubstitute(config.get(), pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  PatternHandle match(FcFontMatch(config.get(), pattern.get(), &result));
  if (!match) return std::nullopt;
  bool named = false;
  FcChar8* value = nullptr;
  for (int i = 0; FcPatternGetString(match.get(), FC_FAMILY, i, &value) == FcResultMatch; ++i) {
    if (strcasecmp(reinterpret_cast<const char*>(value), family.c_str()) == 0) named = true;
  }
  if (!named || FcPatternGetString(match.get(), FC_FILE, 0, &value) != FcResultMatch) return std::nullopt;
  FaceFile file{reinterpret_cast<const char*>(value), 0};
  FcPatternGetInteger(match.get(), FC_INDEX, 0, &file.index);
  return file;
}

// JIS X 0208 row and column (each 0x21..0x7E) of a double-byte Shift-JIS character, as the
// code row * 256 + column; nullopt when the trail byte is outside 0x40..0x7E, 0x80..0xFC.
std::optional<FT_ULong> ShiftJisToJis(std::uint8_t lead, std::uint8_t trail) {
  if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return std::nullopt;
  const int base = lead >= 0xE0 ? lead - 0xC1 : lead - 0x81;
  int row = base * 2 + 0x21;
  int column = 0;
  if (trail >= 0x9F) {
    ++row;
    column = trail - 0x7E;
  } else {
    column = trail - (trail >= 0x80 ? 0x20 : 0x1F);
  }
  return static_cast<FT_ULong>(row << 8 | column);
}

// Cache key of a character: the byte itself, or lead * 256 + trail.
std::uint16_t CharKey(std::string_view sjisChar) {
  if (sjisChar.empty()) return 0;
  const auto lead = static_cast<std::uint8_t>(sjisChar[0]);
  if (sjisChar.size() < 2) return lead;
  return static_cast<std::uint16_t>(lead << 8 | static_cast<std::uint8_t>(sjisChar[1]));
}

int ByteAdvance(std::string_view sjisChar) { return sjisChar.size() >= 2 ? kFullAdvance : kHalfAdvance; }

// Copies the rendered bitmap of the face's glyph slot into glyph, baseline rows from the top.
// Only fully covered pixels are ink.
void CopyInk(const FT_GlyphSlot slot, int baseline, Glyph& glyph) {
  const FT_Bitmap& bitmap = slot->bitmap;
  const int left = slot->bitmap_left;
  const int top = baseline - slot->bitmap_top;
  for (unsigned row = 0; row < bitmap.rows; ++row) {
    const int y = top + static_cast<int>(row);
    if (y < 0 || y >= kCell) continue;
    const unsigned char* bits = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
    for (unsigned column = 0; column < bitmap.width; ++column) {
      const int x = left + static_cast<int>(column);
      if (x < 0 || x >= kCell) continue;
      const bool ink = bitmap.pixel_mode == FT_PIXEL_MODE_MONO
                           ? (bits[column >> 3] & (0x80 >> (column & 7))) != 0
                           : bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bits[column] == 255;
      if (ink) glyph.rows[y] = static_cast<std::uint16_t>(glyph.rows[y] | (1u << x));
    }
  }
}

// Selects the bitmap strike whose height is nearest to the cell.
void SelectNearestStrike(FT_Face face) {
  int best = 0;
  for (int i = 1; i < face->num_fixed_sizes; ++i) {
    if (std::abs(face->available_sizes[i].height - kCell) < std::abs(face->available_sizes[best].height - kCell)) {
      best = i;
    }
  }
  FT_Select_Size(face, best);
}

}  // namespace

struct TTextRasterizer::Impl {
  std::string faceName;
  bool installed = false;
  LibraryHandle library;
  // Installed face, or the stand-in ASCII, kana and kanji faces.
  FaceHandle face;
  FaceHandle ascii;
  FaceHandle kana;
  FaceHandle kanji;
  // Glyph cache: slot index by character key, -1 when not yet rendered.
  std::vector<std::int32_t> slots = std::vector<std::int32_t>(1 << 16, -1);
  std::vector<Glyph> glyphs;

  explicit Impl(const std::string& name) : faceName(name) {
    FT_Library raw = nullptr;
    if (FT_Init_FreeType(&raw) != 0) throw EFontError(FormatMessage(msg::kFontNotLoaded, {name, "FreeType"}));
    library.reset(raw);
    if (const auto file = FindInstalledFace(name)) {
      face = OpenFace(file->path, file->index);
      installed = true;
      SizeInstalledFace();
      return;
    }
    ascii = OpenFace(std::string(kStandInDir) + kStandInAscii, 0);
    kana = OpenFace(std::string(kStandInDir) + kStandInKana, 0);
    kanji = OpenFace(std::string(kStandInDir) + (name == kMinchoFace ? kStandInMincho : kStandInGothic), 0);
  }

  FaceHandle OpenFace(const std::string& path, int index) {
    FT_Face raw = nullptr;
    if (FT_New_Face(library.get(), path.c_str(), index, &raw) != 0) {
      throw EFontError(FormatMessage(msg::kFontNotLoaded, {faceName, path}));
    }
    FaceHandle handle(raw);
    // Bitmap fonts in a legacy encoding have one charmap that FreeType does not select.
    if (!handle->charmap && handle->num_charmaps > 0) FT_Set_Charmap(raw, handle->charmaps[0]);
    if (!FT_IS_SCALABLE(raw) && raw->num_fixed_sizes > 0) SelectNearestStrike(raw);
    return handle;
  }

  // A cell height of 12 pixels means ascent plus descent, not the em size.
  void SizeInstalledFace() {
    if (!FT_IS_SCALABLE(face.get())) return;
    FT_Size_RequestRec request{};
    request.type = FT_SIZE_REQUEST_TYPE_REAL_DIM;
    request.height = kCell << 6;
    FT_Request_Size(face.get(), &request);
  }

  std::optional<GlyphSource> Locate(std::string_view sjisChar) const {
    if (installed) {
      const auto code = sjis::ToCodePoint(sjisChar);
      if (!code) return std::nullopt;
      return GlyphSource{face.get(), *code};
    }
    const auto lead = static_cast<std::uint8_t>(sjisChar[0]);
    if (sjisChar.size() == 2) {
      const auto code = ShiftJisToJis(lead, static_cast<std::uint8_t>(sjisChar[1]));
      if (!code) return std::nullopt;
      return GlyphSource{kanji.get(), *code};
    }
    if (lead < 0x80) return GlyphSource{ascii.get(), lead};
    if (lead >= 0xA1 && lead <= 0xDF) return GlyphSource{kana.get(), lead};
    return std::nullopt;
  }

  Glyph Render(std::string_view sjisChar) const {
    Glyph glyph;
    glyph.advance = ByteAdvance(sjisChar);
    const auto source = Locate(sjisChar);
    if (!source) return glyph;
    const FT_UInt index = FT_Get_Char_Index(source->face, source->code);
    if (index == 0) return glyph;
    if (FT_Load_Glyph(source->face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) != 0) {
      return glyph;
    }
    const FT_GlyphSlot slot = source->face->glyph;
    if (installed) glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    const int baseline = static_cast<int>((source->face->size->metrics.ascender + 32) >> 6);
    CopyInk(slot, baseline, glyph);
    return glyph;
  }

  const Glyph& Find(std::string_view sjisChar) {
    const std::uint16_t key = CharKey(sjisChar);
    std::int32_t& slot = slots[key];
    if (slot < 0) {
      glyphs.push_back(Render(sjisChar));
      slot = static_cast<std::int32_t>(glyphs.size() - 1);
    }
    return glyphs[static_cast<std::size_t>(slot)];
  }
};

TTextRasterizer::TTextRasterizer(const std::string& faceName) : impl_(std::make_unique<Impl>(faceName)) {}
TTextRasterizer::~TTextRasterizer() = default;
TTextRasterizer::TTextRasterizer(TTextRasterizer&&) noexcept = default;
TTextRasterizer& TTextRasterizer::operator=(TTextRasterizer&&) noexcept = default;

const std::string& TTextRasterizer::FaceName() const { return impl_->faceName; }
bool TTextRasterizer::UsesInstalledFace() const { return impl_->installed; }

int TTextRasterizer::CharAdvance(std::string_view sjisChar) const {
  if (sjisChar.empty()) return 0;
  return impl_->Find(sjisChar).advance;
}

int TTextRasterizer::MeasureText(std::string_view sjis) const {
  int width = 0;
  for (std::size_t pos = 0; pos < sjis.size();) {
    const std::size_t length = sjis::CharacterLength(sjis, pos);
    width += CharAdvance(sjis.substr(pos, length));
    pos += length;
  }
  return width;
}

void TTextRasterizer::DrawChar(std::string_view sjisChar, TCharCell& cell, TColor background) const {
  if (sjisChar.empty()) return;
  const Glyph& glyph = impl_->Find(sjisChar);
  const int box = std::clamp(glyph.advance, 0, kCell);
  for (int y = 0; y < kCell; ++y) {
    TColor* row = cell.pixels.data() + y * kCell;
    std::fill(row, row + box, background);
    for (int x = 0; x < kCell; ++x) {
      if (glyph.rows[y] >> x & 1u) row[x] = clBlack;
    }
  }
}

}  // namespace pw
