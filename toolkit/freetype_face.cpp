#include "toolkit/freetype_face.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <strings.h>

#include <cstdlib>
#include <span>

#include "toolkit/font.h"

namespace pw {
namespace {

constexpr int kCell = kGlyphCell;

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

// Copies the rendered bitmap of the face's glyph slot into rows of up to 16 pixels, baseline
// rows from the top; ink outside the rows is dropped. Only fully covered pixels are ink.
void CopyInk(const FT_GlyphSlot slot, int baseline, std::span<std::uint16_t> rows) {
  const FT_Bitmap& bitmap = slot->bitmap;
  const int height = static_cast<int>(rows.size());
  const int left = slot->bitmap_left;
  const int top = baseline - slot->bitmap_top;
  for (unsigned row = 0; row < bitmap.rows; ++row) {
    const int y = top + static_cast<int>(row);
    if (y < 0 || y >= height) continue;
    const unsigned char* bits = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
    for (unsigned column = 0; column < bitmap.width; ++column) {
      const int x = left + static_cast<int>(column);
      if (x < 0 || x >= kCell) continue;
      const bool ink = bitmap.pixel_mode == FT_PIXEL_MODE_MONO
                           ? (bits[column >> 3] & (0x80 >> (column & 7))) != 0
                           : bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bits[column] == 255;
      if (ink) rows[y] = static_cast<std::uint16_t>(rows[y] | (1u << x));
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

struct TFreeTypeFace::Impl {
  LibraryHandle library;
  FaceHandle face;
};

TFreeTypeFace::TFreeTypeFace(const std::string& faceName, const FaceFile& file) : impl_(std::make_unique<Impl>()) {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) throw EFontError(FormatMessage(msg::kFontNotLoaded, {faceName, "FreeType"}));
  impl_->library.reset(library);
  FT_Face raw = nullptr;
  if (FT_New_Face(library, file.path.c_str(), file.index, &raw) != 0) {
    throw EFontError(FormatMessage(msg::kFontNotLoaded, {faceName, file.path}));
  }
  impl_->face.reset(raw);
  // Bitmap fonts in a legacy encoding have one charmap that FreeType does not select.
  if (!raw->charmap && raw->num_charmaps > 0) FT_Set_Charmap(raw, raw->charmaps[0]);
  if (!FT_IS_SCALABLE(raw) && raw->num_fixed_sizes > 0) SelectNearestStrike(raw);
}

TFreeTypeFace::~TFreeTypeFace() = default;
TFreeTypeFace::TFreeTypeFace(TFreeTypeFace&&) noexcept = default;
TFreeTypeFace& TFreeTypeFace::operator=(TFreeTypeFace&&) noexcept = default;

void TFreeTypeFace::SizeToCell() {
  FT_Face face = impl_->face.get();
  if (!FT_IS_SCALABLE(face)) return;
  FT_Size_RequestRec request{};
  request.type = FT_SIZE_REQUEST_TYPE_REAL_DIM;
  request.height = kCell << 6;
  FT_Request_Size(face, &request);
}

void TFreeTypeFace::Render(unsigned long code, bool fontAdvance, Glyph& glyph) const {
  FT_Face face = impl_->face.get();
  const FT_UInt index = FT_Get_Char_Index(face, code);
  if (index == 0) return;
  if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) != 0) return;
  if (fontAdvance) glyph.advance = static_cast<int>((face->glyph->advance.x + 32) >> 6);
  CopyInk(face->glyph, Ascent(), glyph.rows);
}

void TFreeTypeFace::RenderAt(unsigned long code, int baseline, Glyph& glyph) const {
  glyph.advance = RenderRows(code, baseline, glyph.rows).value_or(glyph.advance);
}

std::optional<int> TFreeTypeFace::RenderRows(unsigned long code, int baseline, std::span<std::uint16_t> rows) const {
  FT_Face face = impl_->face.get();
  const FT_UInt index = FT_Get_Char_Index(face, code);
  if (index == 0) return std::nullopt;
  if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) != 0) return std::nullopt;
  CopyInk(face->glyph, baseline, rows);
  return static_cast<int>((face->glyph->advance.x + 32) >> 6);
}

bool TFreeTypeFace::Holds(unsigned long code) const { return FT_Get_Char_Index(impl_->face.get(), code) != 0; }

int TFreeTypeFace::Ascent() const { return static_cast<int>((impl_->face->size->metrics.ascender + 32) >> 6); }

}  // namespace pw
