// panelwright-cli compose: composes message windows from a system graphic and text, as the
// window program's Make does, and writes them as BMP or PNG files; --batch renders many in one
// run, on every core.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/commands.h"
#include "cli/load_picture.h"
#include "cli/depth.h"
#include "compose/compose.h"
#include "compose/extras.h"
#include "compose/layout.h"
#include "dib/qvdib.h"
#include "png/png_writer.h"
#include "resources/resources.h"
#include "toolkit/bitmap.h"
#include "toolkit/code_pages.h"
#include "toolkit/letters.h"
#include "toolkit/replace_file.h"
#include "toolkit/sjis.h"
#include "toolkit/stream.h"

namespace pw::cli {

const char* const kComposeUsage =
    "usage: panelwright-cli compose [--system FILE] [--text TEXT | --text-file FILE] [--encoding E]\n"
    "    [--letters japanese|international] [--font RMG2000|RM2000] [--wallpaper stretch|tile]\n"
    "    [--margin N] [--line-gap N] [--trans RRGGBB | --trans-at X,Y] [--user-glyphs FILE]\n"
    "    [--depth 1|4|8|24] [--face FILE[:N]] [--face-right] [--face-flip] [--pause-arrow]\n"
    "    [--game-codes] [--name N=TEXT]... [--var N=VALUE]... -o OUT.bmp|OUT.png\n"
    "       panelwright-cli compose --batch FILE [--jobs N] [options as above] -o OUT.bmp|OUT.png\n"
    "\n"
    "Composes a message window and writes it as an uncompressed BMP file (24 bits unless --depth),\n"
    "or as a PNG file when the output name ends in .png.\n"
    "\n"
    "  --system FILE         the 160x80 system graphic, a .bmp or .png file (default: the built-in sample)\n"
    "  --text TEXT           the window text; lines end at LF (CR LF accepted), a last empty line\n"
    "                        is not counted\n"
    "  --text-file FILE      read the text from FILE (default: standard input)\n"
    "  --encoding E          the text's encoding: utf-8 (default), cp932 (Shift-JIS), or a translated\n"
    "                        game's code page: cp1250, cp1251, cp1252, cp1253, cp1254, cp1257,\n"
    "                        cp936, cp949 or cp950\n"
    "  --letters L           japanese (default for utf-8 and cp932) draws every character with a\n"
    "                        Shift-JIS form as Japanese games do; international (default for the\n"
    "                        other code pages) draws Latin, Greek and Cyrillic letters half-width,\n"
    "                        as translated games do. A character that no font holds is drawn as a\n"
    "                        box and named on standard error\n"
    "  --font F              RMG2000 (default) or RM2000\n"
    "  --wallpaper W         stretch (default) or tile\n"
    "  --margin N            outer margin in pixels on all four sides, 0..160 (default 0)\n"
    "  --line-gap N          extra pixels between lines, 0..320 (default 0)\n"
    "  --trans RRGGBB        transparent colour in web order, FF0000 is red (default 000000)\n"
    "  --trans-at X,Y        transparent colour taken from the system graphic's pixel X,Y\n"
    "  --user-glyphs FILE    user glyph sheet for $0..$9 (default: myword.bmp, else myword.png,\n"
    "                        in the current directory, when present)\n"
    "  --depth D             reduce the window to 1, 4, 8 or 24 bits per pixel before writing it\n"
    "                        (1 bit keeps pure white and turns every other colour black)\n"
    "  --batch FILE          render every block of FILE, blocks separated by lines holding only ---;\n"
    "                        outputs are numbered from -o: win.bmp gives win-001.bmp, win-002.bmp, ...\n"
    "                        A block may start with lines '@face FILE[:N] [right|left] [flip]' or\n"
    "                        '@face none' that change the face from that block on (FILE relative to\n"
    "                        the batch file's folder; side and flip default to the options below)\n"
    "  --jobs N              windows of a batch made at once, 1..256 (default: one per core); the\n"
    "                        files are the same whatever N is\n"
    "  -o OUT                the output file: .png writes PNG, any other name BMP\n"
    "\n"
    "Extras beyond the classic window:\n"
    "  --face FILE[:N]       draw face N (default 0) of a face sheet (.bmp, .png or .dib) beside the\n"
    "                        text: 48x48 cells, four to a row, numbered row by row from 0; the window\n"
    "                        grows 56 pixels wider and at least 64 + 2 x margin high\n"
    "  --face-right          put the face beside the right edge instead of the left\n"
    "  --face-flip           mirror the face left to right\n"
    "  --pause-arrow         draw the skin's down arrow centred on the bottom edge\n"
    "  --game-codes          read the text as a game's message text: \\S[n], \\!, \\., \\|, \\^, \\>, \\<\n"
    "                        and \\$ vanish, \\_ advances 3 pixels, \\N[n] and \\V[n] become the\n"
    "                        names and values given below; codes are case-insensitive\n"
    "  --name N=TEXT         the name that \\N[N] stands for (repeatable)\n"
    "  --var N=VALUE         the value that \\V[N] stands for (repeatable)\n"
    "\n"
    "Control codes: \\C[n] (n 0..19) sets the colour; $A..$Z and $a..$z draw built-in glyphs,\n"
    "$0..$9 user glyphs; \\\\ and $$ write one backslash or dollar sign.\n"
    "Exit status: 0 done, 1 failure, 2 usage error.\n";

namespace {

constexpr int kMaxJobs = 256;
constexpr const char* kBatchSeparator = "---";

// A face: the sheet's file, the cell, and how it is placed.
struct FaceChoice {
  std::string file;
  int index = 0;
  bool right = false;
  bool flip = false;
};

// "FILE:N" gives cell N of FILE; without a number after the last colon, the whole is the file
// and the cell is 0.
FaceChoice SplitFaceArgument(const std::string& text) {
  const auto colon = text.rfind(':');
  if (colon != std::string::npos) {
    const std::string number = text.substr(colon + 1);
    if (!number.empty() && number.size() <= 9 &&
        std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c); })) {
      return {text.substr(0, colon), std::stoi(number)};
    }
  }
  return {text};
}

struct Options {
  std::optional<std::string> system;
  std::optional<std::string> text;
  std::optional<std::string> textFile;
  std::optional<std::string> batch;
  std::optional<std::string> userGlyphs;
  std::optional<std::string> output;
  std::string encoding = "utf-8";
  std::optional<TLetters> letters;  // default: by the encoding
  std::string font = "RMG2000";
  int wallMode = 0;
  int margin = 0;
  int lineGap = 0;
  std::optional<TColor> trans;
  std::optional<std::pair<int, int>> transAt;
  std::optional<TQvPixelFormat> depth;
  unsigned jobs = DefaultThreads();
  // Window extras.
  std::optional<FaceChoice> face;
  bool faceRight = false;
  bool faceFlip = false;
  bool pauseArrow = false;
  bool gameCodes = false;
  std::map<int, std::string> names;   // as typed, in the text's encoding
  std::map<int, std::string> values;
};

constexpr int kMaxCodeNumber = 999999999;

// A whole decimal number within [low, high].
int ParseNumber(const std::string& option, const std::string& value, int low, int high) {
  const bool digits = !value.empty() && value.size() <= 9 &&
                      std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c); });
  const int number = digits ? std::stoi(value) : -1;
  if (!digits || number < low || number > high) {
    throw UsageError{option + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                     ", not '" + value + "'"};
  }
  return number;
}

// "RRGGBB" in web order: FF0000 is red.
TColor ParseWebColour(const std::string& value) {
  const bool hex = value.size() == 6 &&
                   std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isxdigit(c); });
  if (!hex) throw UsageError{"--trans needs a colour as six hex digits RRGGBB, not '" + value + "'"};
  const unsigned long rgb = std::stoul(value, nullptr, 16);
  return RGB(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb));
}

std::pair<int, int> ParsePosition(const std::string& value) {
  const auto comma = value.find(',');
  if (comma == std::string::npos) throw UsageError{"--trans-at needs a position X,Y, not '" + value + "'"};
  return {ParseNumber("--trans-at", value.substr(0, comma), 0, skin::kWidth - 1),
          ParseNumber("--trans-at", value.substr(comma + 1), 0, skin::kHeight - 1)};
}

// "N=TEXT" of --name and --var.
std::pair<int, std::string> ParseNumbered(const std::string& option, const std::string& value) {
  const auto equals = value.find('=');
  if (equals == std::string::npos) throw UsageError{option + " needs N=TEXT, not '" + value + "'"};
  return {ParseNumber(option, value.substr(0, equals), 0, kMaxCodeNumber), value.substr(equals + 1)};
}

Options ParseOptions(const Args& args) {
  Options o;
  const auto value = [&](std::size_t& i) -> const std::string& {
    if (i + 1 >= args.size()) throw UsageError{args[i] + " needs a value"};
    return args[++i];
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--system") o.system = value(i);
    else if (a == "--text") o.text = value(i);
    else if (a == "--text-file") o.textFile = value(i);
    else if (a == "--batch") o.batch = value(i);
    else if (a == "--user-glyphs") o.userGlyphs = value(i);
    else if (a == "-o" || a == "--output") o.output = value(i);
    else if (a == "--encoding") {
      const std::string& v = value(i);
      if (v != "utf-8" && v != "cp932" && !codepage::IsKnown(v)) {
        throw UsageError{"--encoding is utf-8, cp932, cp1250, cp1251, cp1252, cp1253, cp1254, cp1257, cp936, cp949 "
                         "or cp950, not '" + v + "'"};
      }
      o.encoding = v;
    } else if (a == "--letters") {
      const std::string& v = value(i);
      o.letters = ParseLetters(v);
      if (!o.letters) throw UsageError{"--letters is japanese or international, not '" + v + "'"};
    } else if (a == "--font") {
      o.font = value(i);
      if (o.font != "RMG2000" && o.font != "RM2000") throw UsageError{"--font is RMG2000 or RM2000, not '" + o.font + "'"};
    } else if (a == "--wallpaper") {
      const std::string& v = value(i);
      if (v != "stretch" && v != "tile") throw UsageError{"--wallpaper is stretch or tile, not '" + v + "'"};
      o.wallMode = v == "tile" ? 1 : 0;
    } else if (a == "--margin") o.margin = ParseNumber(a, value(i), 0, kMaxPadRound);
    else if (a == "--line-gap") o.lineGap = ParseNumber(a, value(i), 0, kMaxPadLine);
    else if (a == "--jobs") o.jobs = static_cast<unsigned>(ParseNumber(a, value(i), 1, kMaxJobs));
    else if (a == "--trans") o.trans = ParseWebColour(value(i));
    else if (a == "--trans-at") o.transAt = ParsePosition(value(i));
    else if (a == "--face") o.face = SplitFaceArgument(value(i));
    else if (a == "--face-right") o.faceRight = true;
    else if (a == "--face-flip") o.faceFlip = true;
    else if (a == "--pause-arrow") o.pauseArrow = true;
    else if (a == "--game-codes") o.gameCodes = true;
    else if (a == "--name" || a == "--var") {
      auto [n, text] = ParseNumbered(a, value(i));
      (a == "--name" ? o.names : o.values).insert_or_assign(n, std::move(text));
    }
    else if (a == "--depth") {
      const std::string& v = value(i);
      o.depth = BitDepthFormat(v);
      if (!o.depth) throw UsageError{"--depth is 1, 4, 8 or 24, not '" + v + "'"};
    } else throw UsageError{"unknown option '" + a + "'"};
  }
  if (!o.output) throw UsageError{"an output file is needed: -o OUT.bmp"};
  if (static_cast<int>(o.text.has_value()) + o.textFile.has_value() + o.batch.has_value() > 1) {
    throw UsageError{"--text, --text-file and --batch exclude each other"};
  }
  if (o.trans && o.transAt) throw UsageError{"--trans and --trans-at exclude each other"};
  if (!o.letters) o.letters = codepage::DefaultLetters(o.encoding);
  if (o.face) {
    o.face->right = o.faceRight;
    o.face->flip = o.faceFlip;
  }
  return o;
}

TBitmap LoadSystemGraphic(const Options& o) {
  TBitmap system;
  if (o.system) {
    system = LoadPicture(*o.system);
  } else {
    const auto bytes = resources::SampleSkins().front().bmp;
    TMemoryStream stream(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    system.LoadFromStream(stream);
  }
  RequireSystemGraphicSize(system, o.system ? *o.system : std::string("the sample skin"));
  return system;
}

// The named sheet, else myword.bmp or myword.png in the current directory, else none (empty).
// Only files count: a folder of either name is passed over.
TBitmap LoadUserGlyphs(const Options& o) {
  if (o.userGlyphs) return LoadPicture(*o.userGlyphs);
  for (const char* name : {"myword.bmp", "myword.png"}) {
    std::error_code error;
    if (std::filesystem::is_regular_file(name, error)) return LoadPicture(name);
  }
  return TBitmap();
}

std::string ReadAll(std::istream& in) {
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadTextFile(const std::string& path) {
  TMemoryStream stream;
  stream.LoadFromFile(path);
  return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

// Text in the encoding of --encoding as window text. Shift-JIS text in Japanese letters passes
// as it is.
std::string ToWindow(const Options& o, std::string_view text) {
  if (o.encoding == "cp932") {
    return *o.letters == TLetters::Japanese ? std::string(text) : ToWindowText(sjis::ToUtf8(text), *o.letters);
  }
  return ToWindowText(o.encoding == "utf-8" ? std::string(text) : codepage::ToUtf8(text, o.encoding), *o.letters);
}

// Window text as a file name: Shift-JIS text in Japanese letters as it is, else UTF-8.
std::string FromWindow(const Options& o, std::string_view text) {
  if (o.encoding == "cp932" && *o.letters == TLetters::Japanese) return std::string(text);
  return WindowTextToUtf8(text);
}

// The text from --text, --text-file, --batch's file or standard input, as window text.
std::string ReadText(const Options& o) {
  std::string text;
  if (o.text) text = *o.text;
  else if (o.textFile) text = ReadTextFile(*o.textFile);
  else if (o.batch) text = ReadTextFile(*o.batch);
  else text = ReadAll(std::cin);
  return ToWindow(o, text);
}

// Blocks of lines separated by lines holding only "---"; a separator at the very end does not
// open another block.
std::vector<std::vector<std::string>> SplitBlocks(std::string_view text) {
  std::vector<std::vector<std::string>> blocks(1);
  for (std::string& line : SplitLines(text)) {
    if (line == kBatchSeparator) {
      blocks.emplace_back();
    } else {
      blocks.back().push_back(std::move(line));
    }
  }
  if (blocks.size() > 1 && blocks.back().empty()) blocks.pop_back();
  return blocks;
}

// One window of a run: its lines and the face drawn beside them.
struct WindowJob {
  std::vector<std::string> lines;
  std::optional<FaceChoice> face;
};

constexpr std::string_view kFaceLine = "@face ";

// "@face" words after FILE[:N]: "right" or "left" sets the side, "flip" mirrors the face; the
// command line's --face-right and --face-flip hold otherwise.
FaceChoice ParseFaceLine(const Options& o, std::string text) {
  bool right = o.faceRight;
  bool flip = o.faceFlip;
  for (bool more = true; more;) {
    more = false;
    for (const std::string_view word : {" right", " left", " flip"}) {
      if (!text.ends_with(word)) continue;
      text.resize(text.size() - word.size());
      if (word == " flip") flip = true;
      else right = word == " right";
      more = true;
    }
  }
  FaceChoice face = SplitFaceArgument(FromWindow(o, text));
  face.right = right;
  face.flip = flip;
  return face;
}

// The windows of a batch. "@face FILE[:N] [right|left] [flip]" and "@face none" lines at the
// start of a block set the face of that block and the blocks after it; FILE is relative to the
// batch file's folder.
std::vector<WindowJob> BatchWindows(const Options& o, std::string_view text) {
  const std::filesystem::path folder = std::filesystem::path(*o.batch).parent_path();
  std::optional<FaceChoice> face = o.face;
  std::vector<WindowJob> windows;
  for (std::vector<std::string>& block : SplitBlocks(text)) {
    auto first = block.begin();
    for (; first != block.end() && first->starts_with(kFaceLine); ++first) {
      const std::string argument = first->substr(kFaceLine.size());
      if (argument == "none") {
        face.reset();
        continue;
      }
      face = ParseFaceLine(o, argument);
      face->file = (folder / face->file).string();
    }
    windows.push_back({std::vector<std::string>(std::make_move_iterator(first), std::make_move_iterator(block.end())),
                       face});
  }
  return windows;
}

// Face sheets by file name, each read once before any window is made, so that the batch's
// threads only look them up. A sheet that fails to load fails the windows that use it.
class TFaceSheets {
 public:
  void Load(const std::string& file) {
    if (sheets_.contains(file) || failures_.contains(file)) return;
    try {
      sheets_.emplace(file, LoadPicture(file));
    } catch (const std::exception& e) {
      failures_.emplace(file, e.what());
    }
  }

  // The face of a window for the composer, from the common extras.
  WindowExtras ExtrasFor(WindowExtras extras, const std::optional<FaceChoice>& face) const {
    if (!face) return extras;
    const auto failed = failures_.find(face->file);
    if (failed != failures_.end()) throw Exception(failed->second);
    extras.faceSheet = &sheets_.at(face->file);
    extras.faceSheetName = face->file;
    extras.faceIndex = face->index;
    extras.faceRight = face->right;
    extras.faceFlip = face->flip;
    return extras;
  }

 private:
  std::map<std::string, TBitmap> sheets_;
  std::map<std::string, std::string> failures_;
};

// The text's encoding for the names and values typed on the command line.
GameCodeValues GameValues(const Options& o) {
  GameCodeValues given;
  for (const auto& [n, text] : o.names) given.names[n] = ToWindow(o, text);
  for (const auto& [n, text] : o.values) given.values[n] = ToWindow(o, text);
  return given;
}

// win.bmp and 7 give win-007.bmp.
std::string NumberedName(const std::string& output, std::size_t number) {
  const std::filesystem::path path(output);
  char digits[24];
  std::snprintf(digits, sizeof digits, "-%03zu", number);
  std::filesystem::path numbered = path;
  numbered.replace_filename(path.stem().string() + digits + path.extension().string());
  return numbered.string();
}

// The composed window, reduced when asked.
TBitmap ComposeResult(const ComposeInput& input, const WindowExtras& extras, std::optional<TQvPixelFormat> depth) {
  const std::optional<TBitmap> window = ComposeWindow(input, extras);
  TBitmap result = *window;  // a system graphic is always given here
  if (depth) ReduceDepth(result, *depth, false);
  return result;
}

// The bytes of the file that output names: PNG for .png, else BMP.
BlockBytes EncodeFor(TBitmap& picture, const std::string& output) {
  TMemoryStream stream;
  if (IsPngFileName(output)) WritePng(picture, stream);
  else picture.SaveToStream(stream);
  return stream.Bytes();
}

std::string BlockContext(std::size_t index, const std::string& name) {
  return "block " + std::to_string(index + 1) + " (" + name + "): ";
}

// Every block is composed and encoded on the batch's threads, each thread with its own glyph
// cache; the files are written in order, so that a failing block leaves exactly the files
// before it, as one thread would.
int RunBatch(const Options& o, const ComposeInput& common, const WindowExtras& extras, const std::string& text) {
  const std::vector<WindowJob> blocks = BatchWindows(o, text);
  TFaceSheets faces;
  for (const WindowJob& block : blocks)
    if (block.face) faces.Load(block.face->file);
  std::vector<TFontCache> fonts(std::min<std::size_t>(o.jobs, std::max<std::size_t>(blocks.size(), 1)));
  // Fonts are found through fontconfig, whose lazily built state may not be built from several
  // threads at once: each worker's rasteriser is made here, one after the other.
  for (TFontCache& cache : fonts) cache.Get(o.font);
  const auto make = [&](std::size_t index, unsigned worker) {
    const std::string name = NumberedName(*o.output, index + 1);
    try {
      ComposeInput input = common;
      input.lines = blocks[index].lines;
      input.fonts = &fonts[worker];
      TBitmap result = ComposeResult(input, faces.ExtrasFor(extras, blocks[index].face), o.depth);
      return EncodeFor(result, name);
    } catch (const std::exception& e) {
      throw Exception(BlockContext(index, name) + e.what());
    }
  };
  const auto commit = [&](std::size_t index, const BlockBytes& bytes) {
    const std::string name = NumberedName(*o.output, index + 1);
    try {
      ReplaceFile(name, [&bytes](TStream& file) { file.WriteBuffer(bytes.data(), bytes.size()); });
    } catch (const std::exception& e) {
      throw Exception(BlockContext(index, name) + e.what());
    }
  };
  try {
    RunInOrder(blocks.size(), static_cast<unsigned>(fonts.size()), make, commit);
  } catch (const Exception& e) {
    return Fail(e.what());
  }
  return kExitOk;
}

// Names each character without a glyph once on standard error; it is drawn as a box.
void WarnMissingGlyphs(const std::string& text, const GameCodeValues& values) {
  std::string all = text;
  for (const auto& [n, name] : values.names) all += name;
  for (const auto& [n, value] : values.values) all += value;
  for (const char32_t code : MissingGlyphs(all)) std::cerr << "panelwright-cli: " << MissingGlyphNote(code) << '\n';
}

int Run(const Options& o) {
  const TBitmap system = LoadSystemGraphic(o);
  const TBitmap builtIn = LoadBuiltInGlyphs();
  const TBitmap user = LoadUserGlyphs(o);
  const std::string text = ReadText(o);

  ComposeInput input;
  input.systemGraphic = &system;
  input.transColor = o.trans ? *o.trans
                     : o.transAt ? PickTransparentColour(&system, o.transAt->first, o.transAt->second)
                                 : clBlack;
  input.fontFace = o.font;
  input.wallMode = o.wallMode;
  input.padRound = o.margin;
  input.padLine = o.lineGap;
  input.gaizi = &builtIn;
  input.myGaizi = &user;

  WindowExtras extras;
  extras.pauseArrow = o.pauseArrow;
  extras.gameCodes = o.gameCodes;
  extras.gameValues = GameValues(o);
  WarnMissingGlyphs(text, extras.gameValues);

  if (o.batch) return RunBatch(o, input, extras, text);
  TFontCache fonts;
  input.fonts = &fonts;
  input.lines = SplitLines(text);
  TFaceSheets faces;
  if (o.face) faces.Load(o.face->file);
  TBitmap result = ComposeResult(input, faces.ExtrasFor(extras, o.face), o.depth);
  SavePictureFile(result, *o.output);
  return kExitOk;
}

}  // namespace

int RunCompose(const Args& args) { return Run(ParseOptions(args)); }

}  // namespace pw::cli
