#include "toolkit/font.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

#include "toolkit/builtin_tables.h"
#include "toolkit/glyph_bits.h"
#include "toolkit/sjis.h"
#include "toolkit/world_glyphs.h"
#ifdef PW_WITH_FREETYPE
#include "toolkit/freetype_face.h"
#endif

namespace pw {
namespace {

constexpr int kCell = TCharCell::kSize;
// The cell is drawn from the glyph rows row for row.
static_assert(kCell == kGlyphCell);
constexpr int kHalfAdvance = 6;
constexpr int kFullAdvance = 12;
constexpr const char* kMinchoFace = "RM2000";

// Cache key of a character: the byte itself, or lead * 256 + trail.
std::uint16_t CharKey(std::string_view sjisChar) {
  if (sjisChar.empty()) return 0;
  const auto lead = static_cast<std::uint8_t>(sjisChar[0]);
  if (sjisChar.size() < 2) return lead;
  return static_cast<std::uint16_t>(lead << 8 | static_cast<std::uint8_t>(sjisChar[1]));
}

int ByteAdvance(std::string_view sjisChar) { return sjisChar.size() >= 2 ? kFullAdvance : kHalfAdvance; }

// A character of the stand-in faces: 6 pixels wide for one byte, 12 for two.
Glyph StandInGlyph(bool mincho, std::string_view sjisChar) {
  Glyph glyph;
  glyph.advance = ByteAdvance(sjisChar);
  const auto lead = static_cast<std::uint8_t>(sjisChar[0]);
  if (sjisChar.size() < 2) {
    glyph.rows = tables::StandInHalfWidth()[lead];
    return glyph;
  }
  const int index = standin::JisIndex(standin::ShiftJisToJis(lead, static_cast<std::uint8_t>(sjisChar[1])));
  if (index >= 0) glyph.rows = mincho ? tables::StandInMincho()[index] : tables::StandInGothic()[index];
  return glyph;
}

}  // namespace

struct TTextRasterizer::Impl {
  std::string faceName;
#ifdef PW_WITH_FREETYPE
  std::optional<TFreeTypeFace> installed;
#endif
  bool mincho = false;
  // Glyph cache: slot index by character key, -1 when not yet rendered.
  std::vector<std::int32_t> slots = std::vector<std::int32_t>(1 << 16, -1);
  std::vector<Glyph> glyphs;
  // Characters beyond Shift-JIS, by code point; the same pixels whatever the face.
  std::unordered_map<char32_t, Glyph> world;

  explicit Impl(const std::string& name) : faceName(name) {
#ifdef PW_WITH_FREETYPE
    if (const auto file = FindInstalledFace(name)) {
      installed.emplace(name, *file);
      installed->SizeToCell();
      return;
    }
#endif
    mincho = name == kMinchoFace;
  }

  bool UsesInstalledFace() const {
#ifdef PW_WITH_FREETYPE
    return installed.has_value();
#else
    return false;
#endif
  }

  Glyph Render(std::string_view sjisChar) const {
#ifdef PW_WITH_FREETYPE
    if (installed) {
      Glyph glyph;
      glyph.advance = ByteAdvance(sjisChar);
      if (const auto code = sjis::ToCodePoint(sjisChar)) installed->Render(*code, true, glyph);
      return glyph;
    }
#endif
    return StandInGlyph(mincho, sjisChar);
  }

  const Glyph& Find(std::string_view sjisChar) {
    if (const auto code = sjis::ExtensionAt(sjisChar, 0)) {
      auto it = world.find(*code);
      if (it == world.end()) it = world.emplace(*code, world::FindGlyph(*code)).first;
      return it->second;
    }
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
bool TTextRasterizer::UsesInstalledFace() const { return impl_->UsesInstalledFace(); }

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
