// The web page's entry layer: one session object that the page's script drives through embind.
// It loads pictures and composes windows with the same libraries and the same steps as
// panelwright-cli compose, so that every window the page saves, BMP or PNG, is byte for byte the
// file the command line writes for the same inputs. Failures come back as message texts, never as
// exceptions across the boundary.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/depth.h"
#include "cli/load_picture.h"
#include "compose/compose.h"
#include "compose/extras.h"
#include "compose/layout.h"
#include "dib/qvdib.h"
#include "png/png_writer.h"
#include "resources/resources.h"
#include "toolkit/bitmap.h"
#include "toolkit/code_pages.h"
#include "toolkit/letters.h"
#include "toolkit/sjis.h"
#include "toolkit/stream.h"

namespace pw::web {
namespace {

using emscripten::val;

// The page's form, as plain values. New window options add a field here and one line in the
// binding below.
struct WebOptions {
  std::string text;            // UTF-8; lines end at LF (CR LF accepted)
  std::string font = "RMG2000";
  std::string letters = "japanese";  // "japanese" or "international"
  int wallMode = 0;            // 0 stretch, 1 tile
  int margin = 0;              // 0..160
  int lineGap = 0;             // 0..320
  int transColor = 0;          // 0x00BBGGRR
  int depth = 24;              // 1, 4, 8 or 24
  // Extras.
  int faceIndex = 0;           // the cell of the face sheet, when one is loaded
  bool faceRight = false;
  bool faceFlip = false;
  bool pauseArrow = false;
  bool gameCodes = false;
  std::string names;           // "N=TEXT" lines for \N[N], UTF-8
  std::string values;          // "N=VALUE" lines for \V[N], UTF-8
};

constexpr int kMaxCodeNumber = 999999999;

// "N=TEXT" lines, as the command line's --name and --var take them, as window text; empty lines
// are passed over. what names the list in the message about a line that is not N=TEXT.
std::map<int, std::string> NumberedTexts(const std::string& lines, const std::string& what, TLetters letters) {
  std::map<int, std::string> texts;
  for (const std::string& line : SplitLines(lines)) {
    if (line.empty()) continue;
    const auto equals = line.find('=');
    const std::string number = line.substr(0, equals == std::string::npos ? 0 : equals);
    const bool digits = !number.empty() && number.size() <= 9 &&
                        std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c); });
    if (!digits || std::stoi(number) > kMaxCodeNumber) {
      throw Exception(what + ": each line is N=TEXT with N a whole number, not '" + line + "'");
    }
    texts.insert_or_assign(std::stoi(number), ToWindowText(line.substr(equals + 1), letters));
  }
  return texts;
}

std::optional<TQvPixelFormat> DepthFormat(int depth) { return cli::BitDepthFormat(std::to_string(depth)); }

TBitmap FromBytes(const std::string& bytes, const std::string& name) {
  TMemoryStream stream(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  return cli::LoadPicture(stream, name);
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
  } catch (const std::exception& e) {
    return e.what();
  }
}

}  // namespace

class WebSession {
 public:
  WebSession() : builtIn_(cli::LoadBuiltInGlyphs()) {}

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
      TBitmap picture = FromBytes(bytes, name);
      cli::RequireSystemGraphicSize(picture, name);
      skin_ = picture;
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

  // A face sheet for the face extra: 48x48 cells, four to a row.
  std::string LoadFaceSheet(const std::string& name, const std::string& bytes) {
    return Try([&] {
      faceSheet_ = FromBytes(bytes, name);
      faceSheetName_ = name;
    });
  }
  void ClearFaceSheet() { faceSheet_.reset(); }

  std::string LoadUserGlyphs(const std::string& name, const std::string& bytes) {
    return Try([&] { user_ = FromBytes(bytes, name); });
  }
  void ClearUserGlyphs() { user_ = TBitmap(); }

  // A text file's bytes in an encoding (utf-8, cp932 or a code page of Names()) as UTF-8 for the
  // text box, decoded as the command line's --encoding does; "!" and the message on failure.
  static std::string DecodeText(const std::string& bytes, const std::string& encoding) {
    try {
      if (encoding == "utf-8") {
        ToWindowText(bytes, TLetters::Japanese);  // refuses bytes that are not UTF-8
        return bytes;
      }
      if (encoding == "cp932") return sjis::ToUtf8(bytes);
      return codepage::ToUtf8(bytes, encoding);
    } catch (const std::exception& e) {
      return std::string("!") + e.what();
    }
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
      const ComposeInput input = Input(o);
      const WindowExtras extras = Extras(o);
      TBitmap window = *ComposeWindow(input, extras);
      if (o.depth != 24 || window.GetBitsPerPixel() != 24) cli::ReduceDepth(window, *DepthFormat(o.depth), false);
      rgba_ = Rgba(window);
      result_ = std::move(window);
      notes_ = MissingNotes(input, extras);
    });
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

 private:
  // The window written by write into the file buffer the page reads; null before any window.
  template <typename Write>
  val WindowFile(Write write) {
    if (result_.GetEmpty()) return val::null();
    TMemoryStream stream;
    write(stream);
    file_.assign(stream.Bytes().begin(), stream.Bytes().end());
    return View(file_);
  }

  static std::string MissingNotes(const ComposeInput& input, const WindowExtras& extras) {
    std::string all;
    for (const std::string& line : input.lines) all += line;
    for (const auto& [n, name] : extras.gameValues.names) all += name;
    for (const auto& [n, value] : extras.gameValues.values) all += value;
    std::string notes;
    for (const char32_t code : MissingGlyphs(all)) notes += MissingGlyphNote(code) + "\n";
    return notes;
  }

  static TLetters LettersOf(const WebOptions& o) {
    const auto letters = ParseLetters(o.letters);
    if (!letters) throw Exception("The letters are japanese or international, not " + o.letters + ".");
    return *letters;
  }

  // The composer's input for the form; raises for a value the form cannot give.
  ComposeInput Input(const WebOptions& o) {
    if (!skin_) throw Exception("Choose a system graphic first.");
    if (!DepthFormat(o.depth)) throw Exception("The colour depth is 1, 4, 8 or 24 bits, not " + std::to_string(o.depth) + ".");
    if (o.font != "RMG2000" && o.font != "RM2000") throw Exception("The font is RMG2000 or RM2000, not " + o.font + ".");
    if (o.margin < 0 || o.margin > kMaxPadRound || o.lineGap < 0 || o.lineGap > kMaxPadLine) {
      throw Exception("The margin is 0..160 and the line gap 0..320 pixels.");
    }
    ComposeInput input;
    input.systemGraphic = &*skin_;
    input.transColor = static_cast<TColor>(o.transColor) & 0xFFFFFF;
    input.lines = SplitLines(ToWindowText(o.text, LettersOf(o)));
    input.fontFace = o.font;
    input.wallMode = o.wallMode == 1 ? 1 : 0;
    input.padRound = o.margin;
    input.padLine = o.lineGap;
    input.gaizi = &builtIn_;
    input.myGaizi = &user_;
    input.fonts = &fonts_;
    return input;
  }

  // The extras of the form, as the command line's --face, --pause-arrow, --game-codes, --name
  // and --var give them.
  WindowExtras Extras(const WebOptions& o) const {
    WindowExtras extras;
    if (faceSheet_) {
      extras.faceSheet = &*faceSheet_;
      extras.faceSheetName = faceSheetName_;
      extras.faceIndex = o.faceIndex;
      extras.faceRight = o.faceRight;
      extras.faceFlip = o.faceFlip;
    }
    extras.pauseArrow = o.pauseArrow;
    extras.gameCodes = o.gameCodes;
    extras.gameValues.names = NumberedTexts(o.names, "Names", LettersOf(o));
    extras.gameValues.values = NumberedTexts(o.values, "Values", LettersOf(o));
    return extras;
  }

  std::optional<TBitmap> skin_;
  std::vector<std::uint8_t> skinRgba_;
  TBitmap builtIn_;
  TBitmap user_;
  std::optional<TBitmap> faceSheet_;
  std::string faceSheetName_;
  TFontCache fonts_;
  TBitmap result_;
  std::vector<std::uint8_t> file_;
  std::vector<std::uint8_t> rgba_;
  std::string notes_;
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
      .field("values", &WebOptions::values);
  emscripten::class_<WebSession>("Session")
      .constructor<>()
      .class_function("sampleSkinNames", &WebSession::SampleSkinNames)
      .class_function("decodeText", &WebSession::DecodeText)
      .class_function("defaultLetters", &WebSession::DefaultLetters)
      .function("notes", &WebSession::Notes)
      .function("loadSkin", &WebSession::LoadSkin)
      .function("loadSampleSkin", &WebSession::LoadSampleSkin)
      .function("hasSkin", &WebSession::HasSkin)
      .function("skinRgba", &WebSession::SkinRgba)
      .function("pickColour", &WebSession::PickColour)
      .function("loadFaceSheet", &WebSession::LoadFaceSheet)
      .function("clearFaceSheet", &WebSession::ClearFaceSheet)
      .function("loadUserGlyphs", &WebSession::LoadUserGlyphs)
      .function("clearUserGlyphs", &WebSession::ClearUserGlyphs)
      .function("compose", &WebSession::Compose)
      .function("composeOnly", &WebSession::ComposeOnly)
      .function("width", &WebSession::Width)
      .function("height", &WebSession::Height)
      .function("bitsPerPixel", &WebSession::BitsPerPixel)
      .function("windowRgba", &WebSession::WindowRgba)
      .function("windowBmp", &WebSession::WindowBmp)
      .function("windowPng", &WebSession::WindowPng);
}

}  // namespace pw::web
