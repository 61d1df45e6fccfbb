// The web page's entry layer: one session object that the page's script drives through embind.
// It loads pictures and composes windows with the same libraries and the same steps as
// panelwright-cli compose, so that every window the page saves, BMP or PNG, is byte for byte the
// file the command line writes for the same inputs. Failures come back as message texts, never as
// exceptions across the boundary.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <cstdint>
#include <exception>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "io/animation_file.h"
#include "io/batch_text.h"
#include "io/depth.h"
#include "io/load_picture.h"
#include "io/options.h"
#include "io/text.h"
#include "compose/animate.h"
#include "compose/compose.h"
#include "compose/extras.h"
#include "compose/layout.h"
#include "dib/qvdib.h"
#include "png/png_writer.h"
#include "resources/resources.h"
#include "toolkit/bitmap.h"
#include "toolkit/code_pages.h"
#include "toolkit/errors.h"
#include "toolkit/letters.h"
#include "toolkit/sjis.h"
#include "toolkit/stream.h"

namespace pw::web {

// The sample face sheet's PNG file, built into the module at build time (embed_file.cmake).
std::span<const std::uint8_t> SampleFacesPng();

namespace {

using emscripten::val;

// The page's form, as plain values. New window options add a field here and one line in the
// binding below.
struct WebOptions {
  std::string text;            // UTF-8; lines end at LF (CR LF accepted)
  std::string font = "RMG2000";
  std::string letters = "japanese";  // "japanese" or "international"
  int wallMode = 0;            // 0 stretch, 1 tile
  std::string margin = "0";    // 0..160, as typed: anything else is refused
  std::string lineGap = "0";   // 0..320
  int transColor = 0;          // 0x00BBGGRR
  int depth = 24;              // 1, 4, 8 or 24
  // Extras.
  std::string faceIndex = "0"; // the cell of the face sheet, when one is chosen
  bool faceRight = false;
  bool faceFlip = false;
  bool pauseArrow = false;
  bool gameCodes = false;
  std::string names;           // "N=TEXT" lines for \N[N], UTF-8
  std::string values;          // "N=VALUE" lines for \V[N], UTF-8
  // Animation, as the command line's --speed, --hold, --loop and --no-open, as typed: the
  // command line's rules refuse what they refuse.
  std::string speed = "1";     // 1..20
  std::string hold = "2";      // seconds, 0..60
  std::string loop = "0";      // plays; 0 for ever
  bool open = true;
};

// "N=TEXT" lines, as the command line's --name and --var take them, as window text; empty lines
// are passed over. what names the list in the message about a line that is not N=TEXT.
std::map<int, std::string> NumberedTexts(const std::string& lines, const std::string& what, TLetters letters) {
  std::map<int, std::string> texts;
  for (const std::string& line : SplitLines(lines)) {
    if (line.empty()) continue;
    const auto parsed = ParseNumberedText(line);
    if (!parsed) throw Exception(what + ": each line is N=TEXT with N a whole number, not '" + line + "'");
    texts.insert_or_assign(parsed->first, ToWindowText(parsed->second, letters));
  }
  return texts;
}

// The name of the built-in sample face sheet, as dialogues' "@face" lines give it.
constexpr const char* kSampleFaces = "faces.png";

std::optional<TQvPixelFormat> DepthFormat(int depth) { return io::BitDepthFormat(std::to_string(depth)); }

TBitmap FromBytes(const std::string& bytes, const std::string& name, io::PictureRole role,
                  TBitmap* alphaMask = nullptr) {
  TMemoryStream stream(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  return io::LoadOwnedPicture(stream, name, role, alphaMask);
}

io::FaceSheet FaceSheetFromBytes(const std::string& bytes, const std::string& name) {
  TMemoryStream stream(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  return io::LoadFaceSheet(stream, name);
}

// The picture's colours as RGBA rows, top-down, for a canvas.
std::vector<std::uint8_t> Rgba(const TBitmap& picture) {
  const int width = picture.GetWidth();
  const int height = picture.GetHeight();
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
  std::uint8_t* out = rgba.data();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const TColor c = picture.GetPixelColor(x, y);
      *out++ = GetRValue(c);
      *out++ = GetGValue(c);
      *out++ = GetBValue(c);
      *out++ = 255;
    }
  }
  return rgba;
}

val View(const std::vector<std::uint8_t>& bytes) {
  return val(emscripten::typed_memory_view(bytes.size(), bytes.data()));
}

// Runs step and returns "" on success, else the failure's message.
template <typename Step>
std::string Try(Step step) {
  try {
    step();
    return {};
  } catch (...) {
    return UserMessage(std::current_exception());
  }
}

// One note a line for the characters of the windows that no font holds.
std::string NotesOf(const std::vector<std::string>& lines, const GameCodeValues& values) {
  std::string notes;
  for (const std::string& note : io::MissingGlyphNotes(lines, values)) notes += note + "\n";
  return notes;
}

}  // namespace

// One window of a dialogue: its file name, and either the window or the message of its failure.
struct DialogueWindow {
  std::string name;
  std::string failure;
  TBitmap window;
};

class WebSession {
 public:
  WebSession() : builtIn_(io::LoadBuiltInGlyphs()) {
    const auto bytes = SampleFacesPng();
    faceSheets_.emplace(kSampleFaces, FaceSheetFromBytes(std::string(bytes.begin(), bytes.end()), kSampleFaces));
  }

  // The sample skins' names, the default one first, separated by line feeds.
  static std::string SampleSkinNames() {
    std::string names;
    for (const auto& skin : resources::SampleSkins()) names += std::string(skin.name) + "\n";
    return names;
  }

  // A skin from a file's bytes; the file name's extension chooses the reader. On failure the
  // skin loaded before stays.
  std::string LoadSkin(const std::string& name, const std::string& bytes) {
    return Try([&] {
      TBitmap picture = FromBytes(bytes, name, io::PictureRole::kSystemGraphic);
      io::RequireSystemGraphicSize(picture, name);
      TColourImage prepared = PrepareSkin(picture);
      skin_ = picture;
      preparedSkin_ = std::move(prepared);
      skinRgba_ = Rgba(picture);
    });
  }

  std::string LoadSampleSkin(const std::string& name) {
    const resources::SampleSkin* sample = resources::FindSampleSkin(name);
    if (!sample) return "There is no sample skin named " + name;
    return LoadSkin(name + ".bmp", std::string(sample->bmp.begin(), sample->bmp.end()));
  }

  bool HasSkin() const { return skin_.has_value(); }
  val SkinRgba() const { return View(skinRgba_); }

  // The colour a click on the skin at (x, y) picks, 0x00BBGGRR.
  int PickColour(int x, int y) const {
    return static_cast<int>(PickTransparentColour(skin_ ? &*skin_ : nullptr, x, y));
  }

  // A face sheet for the face extra (48x48 cells, four to a row), kept under its file name for
  // dialogues' "@face" lines (replacing a sheet of that name) and chosen for the window.
  std::string LoadFaceSheet(const std::string& name, const std::string& bytes) {
    return Try([&] {
      faceSheets_.insert_or_assign(name, FaceSheetFromBytes(bytes, name));
      faceSheetName_ = name;
    });
  }
  // Chooses a kept sheet for the window's face; "" chooses none.
  std::string ChooseFaceSheet(const std::string& name) {
    if (!name.empty() && !faceSheets_.contains(name)) return "There is no face sheet named " + name;
    faceSheetName_ = name;
    return {};
  }
  void ClearFaceSheet() { faceSheetName_.clear(); }
  std::string FaceSheet() const { return faceSheetName_; }
  // The kept sheets' names, separated by line feeds.
  std::string FaceSheetNames() const {
    std::string names;
    for (const auto& entry : faceSheets_) names += entry.first + "\n";
    return names;
  }

  std::string LoadUserGlyphs(const std::string& name, const std::string& bytes) {
    return Try([&] { user_ = FromBytes(bytes, name, io::PictureRole::kUserGlyphs); });
  }
  void ClearUserGlyphs() { user_ = TBitmap(); }

  // A text file's bytes in an encoding (utf-8, cp932 or a code page of Names()) as UTF-8 for the
  // text box, decoded as the command line's --encoding does, without a byte-order mark; "!" and
  // the message on failure.
  static std::string DecodeText(const std::string& bytes, const std::string& encoding) {
    try {
      if (encoding == "utf-8") {
        ToWindowText(bytes, TLetters::Japanese);  // refuses bytes that are not UTF-8
        return std::string(io::WithoutByteOrderMark(bytes));
      }
      if (encoding == "cp932") return std::string(io::WithoutByteOrderMark(sjis::ToUtf8(bytes)));
      return std::string(io::WithoutByteOrderMark(codepage::ToUtf8(bytes, encoding)));
    } catch (const std::exception& e) {
      return "!" + UserMessage(e);
    }
  }

  // The encodings a text file may be read in, one "name<TAB>title" a line, as the programs offer them.
  static std::string Encodings() {
    std::string lines;
    for (const std::string& name : codepage::Encodings()) lines += name + "\t" + codepage::Title(name) + "\n";
    return lines;
  }

  // "" when the form's text (the window, or in a dialogue each window) makes windows the readers
  // take, else the refusal: a text opened from a file is checked before it replaces the one typed.
  std::string CheckText(const WebOptions& o, bool dialogue) {
    return Try([&] {
      const ComposeInput input = Input(o, false);
      const WindowExtras extras = Extras(o);
      if (!dialogue) return io::RequireTextFits(o.text, LettersOf(o), input, extras);
      for (const io::WindowJob& block : DialogueBlocks(o, extras, o.text)) {
        const WindowExtras blockExtras = FaceExtras(extras, block.face);
        RequireWindowFits(block.lines.size(), [&](std::size_t i) { return block.lines[i]; }, input, blockExtras);
      }
    });
  }

  // The letters a text encoding implies: "japanese" for utf-8 and cp932, else "international".
  static std::string DefaultLetters(const std::string& encoding) { return LettersName(codepage::DefaultLetters(encoding)); }

  // One line per character of the last composed window that no font holds, as the command line
  // names them on standard error.
  std::string Notes() const { return notes_; }

  // Composes the window, reduced to the chosen depth as the command line's --depth does, and
  // keeps it with its RGBA pixels for the preview; the files are written only when asked for.
  // The composer's window is already 24 bits, so that depth needs no conversion. On failure the
  // window composed before stays.
  std::string Compose(const WebOptions& o) {
    return Try([&] {
      const WindowExtras extras = Extras(o);
      // A window too large for any reader is refused before the whole text is read.
      io::RequireTextFits(o.text, LettersOf(o), Input(o, false), extras);
      const ComposeInput input = Input(o);
      TBitmap window = Window(input, extras, o.depth);
      rgba_ = Rgba(window);
      result_ = std::move(window);
      notes_ = NotesOf(input.lines, extras.gameValues);
    });
  }

  // Composes every block of a dialogue, the text that panelwright-cli compose --batch reads, with
  // the form's options and face as the start; "@face" lines name the kept face sheets. Each
  // window is named as the command line names it for -o window.png (or .bmp); a block that
  // fails keeps the command line's message for it and the others are still made. Returns the
  // failure of the whole (an option the form cannot give), else "".
  std::string ComposeDialogue(const WebOptions& o, const std::string& text, bool png) {
    dialogue_.clear();
    notes_.clear();
    return Try([&] {
      const ComposeInput common = Input(o, false);
      const WindowExtras extras = Extras(o);
      const std::vector<io::WindowJob> blocks = DialogueBlocks(o, extras, text);
      for (std::size_t i = 0; i < blocks.size(); ++i) {
        DialogueWindow& window = dialogue_.emplace_back();
        window.name = io::NumberedName(png ? "window.png" : "window.bmp", i + 1);
        try {
          ComposeInput input = common;
          input.lines = blocks[i].lines;
          window.window = Window(input, FaceExtras(extras, blocks[i].face), o.depth);
        } catch (...) {
          window.failure = io::BlockContext(i, window.name) + UserMessage(std::current_exception());
        }
      }
      notes_ = NotesOf(AllLines(blocks), extras.gameValues);
    });
  }

  int DialogueCount() const { return static_cast<int>(dialogue_.size()); }
  std::string DialogueName(int i) const { return dialogue_.at(i).name; }
  std::string DialogueFailure(int i) const { return dialogue_.at(i).failure; }
  int DialogueWidth(int i) const { return dialogue_.at(i).window.GetWidth(); }
  int DialogueHeight(int i) const { return dialogue_.at(i).window.GetHeight(); }
  val DialogueRgba(int i) {
    dialogueRgba_ = Rgba(dialogue_.at(i).window);
    return View(dialogueRgba_);
  }
  // Window i of the dialogue as the file its name gives; null for a block that failed.
  val DialogueFile(int i) {
    const DialogueWindow& window = dialogue_.at(i);
    if (!window.failure.empty()) return val::null();
    TMemoryStream stream;
    TBitmap picture = window.window;
    if (IsPngFileName(window.name)) WritePng(picture, stream);
    else picture.SaveToStream(stream);
    file_.assign(stream.Bytes().begin(), stream.Bytes().end());
    return View(file_);
  }

  // Composes without keeping or converting anything: what the page benchmark times.
  std::string ComposeOnly(const WebOptions& o) {
    return Try([&] { ComposeWindow(Input(o), Extras(o)); });
  }

  int Width() const { return result_.GetWidth(); }
  int Height() const { return result_.GetHeight(); }
  int BitsPerPixel() const { return result_.GetBitsPerPixel(); }
  val WindowRgba() const { return View(rgba_); }

  // The window as a BMP file, as the command line writes -o NAME.bmp.
  val WindowBmp() {
    return WindowFile([this](TStream& file) { result_.SaveToStream(file); });
  }

  // The window as a PNG file: the command line's writer for -o NAME.png.
  val WindowPng() {
    return WindowFile([this](TStream& file) { WritePng(result_, file); });
  }

  // Composes the animation of the window as panelwright-cli compose --animate does, and keeps
  // it for playing and saving. On failure the animation composed before stays.
  std::string Animate(const WebOptions& o) {
    return Try([&] {
      const AnimationTiming pace = Pace(o);
      const WindowExtras extras = AnimationExtras(o);
      io::RequireTextFits(o.text, LettersOf(o), Input(o, false), extras);
      const ComposeInput input = Input(o);
      animation_ = ComposeAnimation(input, {{input.lines, extras}}, pace);
      notes_ = NotesOf(input.lines, extras.gameValues);
      replay_.reset();
    });
  }

  // Composes the animation of a dialogue as panelwright-cli compose --animate --batch does: every
  // block a page, typed after the hold of the one before, with the faces of its "@face" lines.
  // name is the animation's file name, which the message of a block that fails gives as the
  // command line gives -o. On failure the animation composed before stays.
  std::string AnimateDialogue(const WebOptions& o, const std::string& text, const std::string& name) {
    return Try([&] {
      const AnimationTiming pace = Pace(o);
      const ComposeInput input = Input(o, false);
      const WindowExtras extras = AnimationExtras(o);
      const auto extrasFor = [&](const std::optional<io::FaceChoice>& face) { return FaceExtras(extras, face); };
      const std::vector<io::WindowJob> blocks = DialogueBlocks(o, extras, text);
      animation_ = ComposeAnimation(input, io::AnimationPages(blocks, extrasFor, name), pace);
      notes_ = NotesOf(AllLines(blocks), extras.gameValues);
      replay_.reset();
    });
  }

  int AnimationWidth() const { return animation_.width; }
  int AnimationHeight() const { return animation_.height; }
  int FrameCount() const { return static_cast<int>(animation_.frames.size()); }
  int FrameTicks(int i) const { return animation_.frames.at(static_cast<std::size_t>(i)).ticks; }
  // The whole window of frame i; playing forward lays only each frame's change.
  val FrameRgba(int i) {
    if (!replay_) replay_.emplace(animation_);
    return View(replay_->At(static_cast<std::size_t>(i)).rgba);
  }

  // The animation as GIF and as animated PNG: the command line's files for -o NAME.gif and
  // -o NAME.png with --animate. Null before any animation, and when the writer refuses it.
  val AnimationGif() {
    return AnimationFile([this](TStream& file) { io::WriteAnimation(animation_, "window.gif", file, "Download GIF"); });
  }
  val AnimationApng() {
    return AnimationFile([this](TStream& file) { io::WriteAnimation(animation_, "window.png", file, "Download APNG"); });
  }
  // Why the last animation file was not made; empty when it was.
  std::string FileFailure() const { return fileFailure_; }

 private:
  // The composed window, reduced to depth as the command line's --depth does. The composer's
  // window is already 24 bits, so that depth needs no conversion.
  TBitmap Window(const ComposeInput& input, const WindowExtras& extras, int depth) {
    TBitmap window = *ComposeWindow(input, extras);
    if (depth != 24 || window.GetBitsPerPixel() != 24) io::ReduceDepth(window, *DepthFormat(depth), false);
    return window;
  }

  // The pace of the form's animation, as --speed, --hold, --loop and --no-open give it, by the
  // command line's rules.
  static AnimationTiming Pace(const WebOptions& o) {
    AnimationTiming pace;
    pace.speed = io::WholeNumber("Speed", o.speed, timing::kMinSpeed, timing::kMaxSpeed);
    pace.holdTicks = HoldTicks(io::HoldSeconds("Hold", o.hold));
    pace.plays = io::WholeNumber("Plays", o.loop, 0, timing::kMaxPlays);
    pace.open = o.open;
    return pace;
  }

  // Every window line of a dialogue's blocks.
  static std::vector<std::string> AllLines(const std::vector<io::WindowJob>& blocks) {
    std::vector<std::string> lines;
    for (const io::WindowJob& block : blocks) lines.insert(lines.end(), block.lines.begin(), block.lines.end());
    return lines;
  }

  WindowExtras AnimationExtras(const WebOptions& o) const {
    WindowExtras extras = Extras(o);
    extras.pauseArrow = false;  // the arrow blinks in every hold
    return extras;
  }

  // The windows of a dialogue, starting from the form's face; "@face" lines name kept sheets.
  std::vector<io::WindowJob> DialogueBlocks(const WebOptions& o, const WindowExtras& extras, const std::string& text) const {
    io::BatchFaces faces{.right = o.faceRight, .flip = o.faceFlip, .letters = LettersOf(o)};
    if (!faceSheetName_.empty()) faces.face = io::FaceChoice{faceSheetName_, extras.faceIndex, o.faceRight, o.faceFlip};
    return io::BatchWindows(text, faces);
  }

  // The extras with a dialogue block's face; a sheet name the session does not keep fails as the
  // command line fails for a file it cannot open.
  WindowExtras FaceExtras(WindowExtras extras, const std::optional<io::FaceChoice>& face) const {
    extras.faceSheet = nullptr;
    if (!face) return extras;
    const auto sheet = faceSheets_.find(face->file);
    if (sheet == faceSheets_.end()) throw EFOpenError(face->file);
    return io::WithFace(extras, sheet->second, *face);
  }

  // The file, or null before any animation and when the writer refuses it (FileFailure says why).
  template <typename Write>
  val AnimationFile(Write write) {
    fileFailure_.clear();
    if (animation_.frames.empty()) return val::null();
    val file = val::null();
    fileFailure_ = Try([&] { file = KeptFile(write); });
    return file;
  }

  // The window written by write into the file buffer the page reads; null before any window.
  template <typename Write>
  val WindowFile(Write write) {
    return result_.GetEmpty() ? val::null() : KeptFile(write);
  }

  // The bytes write makes, kept in the file buffer the page reads.
  template <typename Write>
  val KeptFile(Write write) {
    TMemoryStream stream;
    write(stream);
    file_ = stream.TakeBytes();
    return View(file_);
  }

  static TLetters LettersOf(const WebOptions& o) {
    const auto letters = ParseLetters(o.letters);
    if (!letters) throw Exception("The letters are japanese or international, not " + o.letters + ".");
    return *letters;
  }

  // The composer's input for the form, with the text's lines when asked; raises for a value the
  // form cannot give.
  ComposeInput Input(const WebOptions& o, bool withLines = true) {
    if (!skin_) throw Exception("Choose a system graphic first.");
    if (!DepthFormat(o.depth)) throw Exception("The colour depth is 1, 4, 8 or 24 bits, not " + std::to_string(o.depth) + ".");
    if (o.font != "RMG2000" && o.font != "RM2000") throw Exception("The font is RMG2000 or RM2000, not " + o.font + ".");
    ComposeInput input;
    input.systemGraphic = &*skin_;
    input.preparedSkin = &*preparedSkin_;  // read once at load, not at every keystroke
    input.transColor = static_cast<TColor>(o.transColor) & 0xFFFFFF;
    if (withLines) input.lines = SplitLines(ToWindowText(o.text, LettersOf(o)));
    input.fontFace = o.font;
    input.wallMode = o.wallMode == 1 ? 1 : 0;
    input.padRound = io::WholeNumber("Margin", o.margin, 0, kMaxPadRound);
    input.padLine = io::WholeNumber("Line gap", o.lineGap, 0, kMaxPadLine);
    input.gaizi = &builtIn_;
    input.myGaizi = &user_;
    input.fonts = &fonts_;
    return input;
  }

  // The extras of the form, as the command line's --face, --pause-arrow, --game-codes, --name
  // and --var give them. The names and values are read only when game codes are on, as only then
  // does the window use them.
  WindowExtras Extras(const WebOptions& o) const {
    WindowExtras extras;
    const int faceIndex = io::WholeNumber("Face number", o.faceIndex, 0, kMaxCodeNumber);
    if (!faceSheetName_.empty()) {
      extras = io::WithFace(extras, faceSheets_.at(faceSheetName_), {faceSheetName_, faceIndex, o.faceRight, o.faceFlip});
    }
    extras.faceIndex = faceIndex;
    extras.pauseArrow = o.pauseArrow;
    extras.gameCodes = o.gameCodes;
    if (o.gameCodes) {
      extras.gameValues.names = NumberedTexts(o.names, "Names", LettersOf(o));
      extras.gameValues.values = NumberedTexts(o.values, "Values", LettersOf(o));
    }
    return extras;
  }

  std::optional<TBitmap> skin_;
  std::optional<TColourImage> preparedSkin_;  // skin_ as the composer reads it
  std::vector<std::uint8_t> skinRgba_;
  TBitmap builtIn_;
  TBitmap user_;
  std::map<std::string, io::FaceSheet> faceSheets_;  // by file name: the sample and those opened
  std::string faceSheetName_;                         // the window's sheet; "" for none
  TFontCache fonts_;
  TBitmap result_;
  TAnimation animation_;
  std::optional<TFrameReplay> replay_;  // the frames of animation_ as whole windows, for Play
  std::string fileFailure_;
  std::vector<std::uint8_t> file_;
  std::vector<std::uint8_t> rgba_;
  std::string notes_;
  std::vector<DialogueWindow> dialogue_;
  std::vector<std::uint8_t> dialogueRgba_;
};

EMSCRIPTEN_BINDINGS(panelwright) {
  emscripten::value_object<WebOptions>("WebOptions")
      .field("text", &WebOptions::text)
      .field("font", &WebOptions::font)
      .field("letters", &WebOptions::letters)
      .field("wallMode", &WebOptions::wallMode)
      .field("margin", &WebOptions::margin)
      .field("lineGap", &WebOptions::lineGap)
      .field("transColor", &WebOptions::transColor)
      .field("depth", &WebOptions::depth)
      .field("faceIndex", &WebOptions::faceIndex)
      .field("faceRight", &WebOptions::faceRight)
      .field("faceFlip", &WebOptions::faceFlip)
      .field("pauseArrow", &WebOptions::pauseArrow)
      .field("gameCodes", &WebOptions::gameCodes)
      .field("names", &WebOptions::names)
      .field("values", &WebOptions::values)
      .field("speed", &WebOptions::speed)
      .field("hold", &WebOptions::hold)
      .field("loop", &WebOptions::loop)
      .field("open", &WebOptions::open);
  emscripten::class_<WebSession>("Session")
      .constructor<>()
      .class_function("sampleSkinNames", &WebSession::SampleSkinNames)
      .class_function("decodeText", &WebSession::DecodeText)
      .class_function("defaultLetters", &WebSession::DefaultLetters)
      .class_function("encodings", &WebSession::Encodings)
      .function("checkText", &WebSession::CheckText)
      .function("notes", &WebSession::Notes)
      .function("loadSkin", &WebSession::LoadSkin)
      .function("loadSampleSkin", &WebSession::LoadSampleSkin)
      .function("hasSkin", &WebSession::HasSkin)
      .function("skinRgba", &WebSession::SkinRgba)
      .function("pickColour", &WebSession::PickColour)
      .function("loadFaceSheet", &WebSession::LoadFaceSheet)
      .function("clearFaceSheet", &WebSession::ClearFaceSheet)
      .function("chooseFaceSheet", &WebSession::ChooseFaceSheet)
      .function("faceSheet", &WebSession::FaceSheet)
      .function("faceSheetNames", &WebSession::FaceSheetNames)
      .function("loadUserGlyphs", &WebSession::LoadUserGlyphs)
      .function("clearUserGlyphs", &WebSession::ClearUserGlyphs)
      .function("compose", &WebSession::Compose)
      .function("composeOnly", &WebSession::ComposeOnly)
      .function("width", &WebSession::Width)
      .function("height", &WebSession::Height)
      .function("bitsPerPixel", &WebSession::BitsPerPixel)
      .function("windowRgba", &WebSession::WindowRgba)
      .function("windowBmp", &WebSession::WindowBmp)
      .function("windowPng", &WebSession::WindowPng)
      .function("composeDialogue", &WebSession::ComposeDialogue)
      .function("dialogueCount", &WebSession::DialogueCount)
      .function("dialogueName", &WebSession::DialogueName)
      .function("dialogueFailure", &WebSession::DialogueFailure)
      .function("dialogueWidth", &WebSession::DialogueWidth)
      .function("dialogueHeight", &WebSession::DialogueHeight)
      .function("dialogueRgba", &WebSession::DialogueRgba)
      .function("dialogueFile", &WebSession::DialogueFile)
      .function("animate", &WebSession::Animate)
      .function("animateDialogue", &WebSession::AnimateDialogue)
      .function("animationWidth", &WebSession::AnimationWidth)
      .function("animationHeight", &WebSession::AnimationHeight)
      .function("frameCount", &WebSession::FrameCount)
      .function("frameTicks", &WebSession::FrameTicks)
      .function("frameRgba", &WebSession::FrameRgba)
      .function("animationGif", &WebSession::AnimationGif)
      .function("animationApng", &WebSession::AnimationApng)
      .function("fileFailure", &WebSession::FileFailure);
}

}  // namespace pw::web
