#include "io/game_pictures.h"

#include "compose/animate.h"
#include "compose/game_window.h"
#include "game/xyz.h"
#include "gif/gif_writer.h"
#include "io/load_picture.h"
#include "png/png_writer.h"
#include "resources/resources.h"
#include "toolkit/errors.h"
#include "toolkit/picture.h"
#include "toolkit/stream.h"

namespace pw::io {
namespace {

constexpr std::string_view kSkinFolder = "System";
constexpr std::string_view kFaceFolder = "FaceSet";
const std::vector<std::string_view> kPictureExtensions = {"png", "bmp", "xyz"};

constexpr const char* kMissingPicture = "%s/%s is not among the game's pictures (.png, .bmp or .xyz): %s";
constexpr const char* kUnusablePicture = "%s cannot be used (%s): %s";
constexpr const char* kMissingFace = "%s has no face %s: %s";
constexpr const char* kDrawnWithSample = "its windows are drawn with the sample skin";
constexpr const char* kDrawnWithoutFace = "its windows are drawn without a face";

constexpr std::pair<GameFormat, std::string_view> kFormats[] = {
    {GameFormat::kPng, "png"}, {GameFormat::kBmp, "bmp"}, {GameFormat::kGif, "gif"}, {GameFormat::kApng, "apng"}};

TBitmap SampleSkin() {
  const auto bytes = resources::SampleSkins().front().bmp;
  TMemoryStream stream(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  TBitmap skin;
  skin.LoadFromStream(stream);
  return skin;
}

// A picture file's bytes as a bitmap, by its extension; alpha receives a PNG's alpha.
TBitmap ReadPicture(const std::string& name, std::vector<std::uint8_t> bytes, PictureRole role, TBitmap* alpha) {
  if (FileExtension(name) == "xyz") {
    TBitmap picture = game::ReadXyz(bytes, name);
    if (role == PictureRole::kSystemGraphic) RequireSystemGraphicSize(picture, name);
    if (role == PictureRole::kFaceSheet) RequireSheetSize(picture.GetWidth(), picture.GetHeight(), "face sheet", name);
    return picture;
  }
  TMemoryStream stream(std::move(bytes));
  return LoadOwnedPicture(stream, name, role, alpha);
}

// Palette entry 0 of a palette picture, which the game leaves out; black otherwise, the
// composer's own default.
TColor KeyColour(const TBitmap& skin) {
  if (skin.GetBitsPerPixel() > 8 || !skin.HasPalette()) return clBlack;
  const TPaletteEntry& e = skin.GetPalette().front();
  return RGB(e.peRed, e.peGreen, e.peBlue);
}

// A stored name as people read it: decoded, else as it is.
std::string Shown(const std::optional<TGameText>& text, const std::string& stored) {
  try {
    return text ? text->Utf8(stored) : stored;
  } catch (const EConvertError&) {
    return stored;
  }
}

}  // namespace

std::optional<GameFormat> ParseGameFormat(std::string_view name) {
  for (const auto& [format, text] : kFormats)
    if (name == text) return format;
  return std::nullopt;
}

std::string_view GameFormatExtension(GameFormat format) {
  return format == GameFormat::kApng ? "png" : kFormats[static_cast<int>(format)].second;
}

TGamePictures::TGamePictures(game::TGameFiles files, std::vector<game::TGameFiles> shared, Warn warn)
    : warn_(std::move(warn)) {
  sources_.push_back({files, game::TFileIndex(files.list())});
  for (game::TGameFiles& folder : shared) {
    game::TFileIndex index(folder.list());
    sources_.push_back({std::move(folder), std::move(index)});
  }
  sample_.picture = SampleSkin();
  sample_.prepared = pw::PrepareSkin(sample_.picture);
}

std::optional<std::pair<std::string, std::vector<std::uint8_t>>> TGamePictures::Find(std::string_view folder,
                                                                                       const std::string& stored) const {
  // The name as the game stores it in its code page, and as UTF-8, which file systems use.
  std::vector<std::string> names = {stored};
  try {
    if (text_) names.insert(names.begin(), text_->Utf8(stored));
  } catch (const EConvertError&) {
  }
  for (const Source& source : sources_) {
    for (const std::string& name : names) {
      if (const std::optional<std::string> found = source.index.FindPicture(folder, name, kPictureExtensions)) {
        return std::pair{*found, source.files.read(*found)};
      }
    }
  }
  return std::nullopt;
}

void TGamePictures::PrepareSkin(const std::string& stored) {
  if (skins_.contains(stored)) return;
  const std::string shown = Shown(text_, stored);
  auto file = Find(kSkinFolder, stored);
  if (!file) {
    warn_(FormatMessage(kMissingPicture, {std::string(kSkinFolder), shown, kDrawnWithSample}));
    skins_.emplace(stored, sample_);
    return;
  }
  try {
    Skin skin;
    skin.picture = ReadPicture(file->first, std::move(file->second), PictureRole::kSystemGraphic, nullptr);
    skin.key = KeyColour(skin.picture);
    skin.prepared = pw::PrepareSkin(skin.picture);
    skins_.emplace(stored, std::move(skin));
  } catch (const std::exception& e) {
    warn_(FormatMessage(kUnusablePicture, {file->first, e.what(), kDrawnWithSample}));
    skins_.emplace(stored, sample_);
  }
}

void TGamePictures::PrepareFace(const std::string& stored) {
  if (faces_.contains(stored)) return;
  const std::string shown = Shown(text_, stored);
  auto file = Find(kFaceFolder, stored);
  if (!file) {
    warn_(FormatMessage(kMissingPicture, {std::string(kFaceFolder), shown, kDrawnWithoutFace}));
    faces_.emplace(stored, std::nullopt);
    return;
  }
  try {
    Face face;
    face.name = file->first;
    face.sheet = ReadPicture(file->first, std::move(file->second), PictureRole::kFaceSheet, &face.alpha);
    faces_.emplace(stored, std::move(face));
  } catch (const std::exception& e) {
    warn_(FormatMessage(kUnusablePicture, {file->first, e.what(), kDrawnWithoutFace}));
    faces_.emplace(stored, std::nullopt);
  }
}

void TGamePictures::Prepare(const GameProject& project) {
  text_ = project.text;
  for (const GameEntry& entry : project.entries) {
    const game::TWindowState& state = entry.message.state;
    PrepareSkin(state.skin);
    if (!state.face) continue;
    PrepareFace(state.face->file);
    const std::optional<Face>& face = faces_.at(state.face->file);
    const int index = state.face->index;
    if (!face || face::HasCell(face->sheet.GetWidth(), face->sheet.GetHeight(), index)) continue;
    if (missingCells_.emplace(std::pair{state.face->file, index}, true).second) {
      warn_(FormatMessage(kMissingFace, {face->name, std::to_string(index), kDrawnWithoutFace}));
    }
  }
}

const TGamePictures::Skin& TGamePictures::SkinOf(const std::string& stored) const {
  const auto it = skins_.find(stored);
  return it == skins_.end() ? sample_ : it->second;
}

const TGamePictures::Face* TGamePictures::FaceOf(const std::string& stored, int index) const {
  const auto it = faces_.find(stored);
  if (it == faces_.end() || !it->second) return nullptr;
  const Face& face = *it->second;
  return face::HasCell(face.sheet.GetWidth(), face.sheet.GetHeight(), index) ? &face : nullptr;
}

std::size_t PictureEntry(const GameProject& project, std::size_t i) {
  const std::size_t shared = project.entries[i].sharedWith;
  return shared == SIZE_MAX ? i : shared;
}

GameWindow GameWindowOf(const GameProject& project, std::size_t i, const TGamePictures& pictures, bool screen,
                        const TBitmap& glyphs) {
  const GameEntry& entry = project.entries[i];
  const game::TWindowState& state = entry.message.state;
  GameWindow window;
  ComposeInput& in = window.input;
  for (const std::string& line : entry.Shown()) in.lines.push_back(project.text.Window(line));
  WindowExtras& extras = window.extras;
  extras.layout.on = true;
  extras.layout.screen = screen;
  extras.layout.position = static_cast<TWindowPosition>(state.position);
  extras.layout.transparent = state.transparent;
  if (entry.message.kind == game::TKind::kChoice) extras.layout.optionsFrom = 0;
  if (entry.choice != SIZE_MAX) {
    extras.layout.optionsFrom = in.lines.size();
    for (const std::string& line : project.entries[entry.choice].Shown()) in.lines.push_back(project.text.Window(line));
  }
  extras.gameCodes = true;
  extras.gameValues = project.drawn;

  const TGamePictures::Skin& skin = pictures.SkinOf(state.skin);
  in.systemGraphic = &skin.picture;
  in.preparedSkin = &skin.prepared;
  in.transColor = skin.key;
  in.wallMode = state.wallpaper;
  in.fontFace = project.fontFace;
  in.gaizi = &glyphs;
  if (state.face) {
    if (const TGamePictures::Face* face = pictures.FaceOf(state.face->file, state.face->index)) {
      extras.faceSheet = &face->sheet;
      extras.faceAlpha = &face->alpha;
      extras.faceSheetName = face->name;
      extras.faceIndex = state.face->index;
      extras.faceRight = state.face->right;
      extras.faceFlip = state.face->flip;
    }
  }
  return window;
}

std::vector<std::uint8_t> GamePictureFile(const GameWindow& window, GameFormat format) {
  TMemoryStream stream;
  if (format == GameFormat::kPng || format == GameFormat::kBmp) {
    TBitmap picture = *ComposeWindow(window.input, window.extras);  // a skin is always given
    if (format == GameFormat::kPng) WritePng(picture, stream);
    else picture.SaveToStream(stream);
    return stream.TakeBytes();
  }
  const TAnimation animation = ComposeAnimation(window.input, {{window.input.lines, window.extras}}, AnimationTiming{});
  if (format == GameFormat::kApng) WriteApng(animation, stream);
  else WriteGif(animation, AnimationPalette(animation, gif::kMaxColours), stream);
  return stream.TakeBytes();
}

}  // namespace pw::io
