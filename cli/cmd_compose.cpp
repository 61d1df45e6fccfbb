// panelwright-cli compose: composes message windows from a system graphic and text, as the
// window program's Make does, and writes them as BMP or PNG files; --batch renders many in one
// run, on every core.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "io/batch_text.h"
#include "cli/commands.h"
#include "io/load_picture.h"
#include "io/animation_file.h"
#include "io/depth.h"
#include "io/options.h"
#include "io/text.h"
#include "compose/animate.h"
#include "compose/compose.h"
#include "compose/extras.h"
#include "compose/game_window.h"
#include "compose/layout.h"
#include "dib/qvdib.h"
#include "png/png_writer.h"
#include "resources/resources.h"
#include "toolkit/bitmap.h"
#include "toolkit/code_pages.h"
#include "toolkit/letters.h"
#include "toolkit/picture.h"
#include "toolkit/sjis.h"
#include "toolkit/stream.h"

namespace pw::cli {

const char* const kComposeUsage =
    "usage: panelwright-cli compose [--system FILE] [--text TEXT | --text-file FILE] [--encoding E]\n"
    "    [--letters japanese|international] [--font RMG2000|RM2000] [--wallpaper stretch|tile]\n"
    "    [--margin N] [--line-gap N] [--trans RRGGBB | --trans-at X,Y] [--user-glyphs FILE]\n"
    "    [--depth 1|4|8|24] [--face FILE[:N]] [--face-right] [--face-flip] [--pause-arrow]\n"
    "    [--game-codes] [--name N=TEXT]... [--var N=VALUE]... [--layout classic|game [--screen]\n"
    "    [--position top|middle|bottom]] -o OUT.bmp|OUT.png\n"
    "       panelwright-cli compose --batch FILE [--jobs N] [options as above] -o OUT.bmp|OUT.png\n"
    "       panelwright-cli compose --animate [--speed N] [--hold SECONDS] [--loop N] [--no-open]\n"
    "           [--batch FILE] [options as above] -o OUT.gif|OUT.png\n"
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
    "                        grows 56 pixels wider and at least 64 + 2 x margin high; the face is cut\n"
    "                        out by its sheet's own transparency (PNG alpha or tRNS, else palette\n"
    "                        entry 0), never by --trans; a sheet is at most 4096x4096\n"
    "  --face-right          put the face beside the right edge instead of the left\n"
    "  --face-flip           mirror the face left to right\n"
    "  --pause-arrow         draw the skin's down arrow centred on the bottom edge\n"
    "  --game-codes          read the text as a game's message text: \\S[n], \\!, \\., \\|, \\^, \\>, \\<\n"
    "                        and \\$ vanish, \\_ advances 3 pixels, \\N[n] and \\V[n] become the\n"
    "                        names and values given below; codes are case-insensitive\n"
    "  --name N=TEXT         the name that \\N[N] stands for (repeatable)\n"
    "  --var N=VALUE         the value that \\V[N] stands for (repeatable)\n"
    "  --layout L            classic (default): the window fits the text; game: the game's own\n"
    "                        320x80 window, text from (8, 10) in lines 16 pixels apart, a face at\n"
    "                        (16, 16) or (256, 16) with the text at x 80 beside a left one, text cut\n"
    "                        off at the inner area's edge, four lines a window (more go on in the\n"
    "                        next window, drawn below it); no --margin or --line-gap\n"
    "  --screen              with --layout game: the window on the game's 320x240 screen, the rest\n"
    "                        of it in the transparent colour\n"
    "  --position P          where --screen puts the window: top, middle or bottom (default)\n"
    "\n"
    "Animation: the window opens, then its text types out as the game shows it, 60 frames a second:\n"
    "  --animate             write an animation instead of a still picture: OUT.gif a looping GIF,\n"
    "                        OUT.png an animated PNG (shown as the finished window where animation is\n"
    "                        not supported); with --batch every block is a page of one dialogue\n"
    "  --speed N             the message speed each page starts at, 1 (fastest, default) to 20;\n"
    "                        with --game-codes, \\S[n] changes it\n"
    "  --hold SECONDS        how long the pause arrow blinks after each page and at \\!, 0 to 60\n"
    "                        (decimals allowed, default 2)\n"
    "  --loop N              play the animation N times, 0 for ever (default 0)\n"
    "  --no-open             start with the whole window instead of opening it\n"
    "\n"
    "Control codes: \\C[n] (n 0..19) sets the colour; $A..$Z and $a..$z draw built-in glyphs,\n"
    "$0..$9 user glyphs; \\\\ and $$ write one backslash or dollar sign.\n"
    "Exit status: 0 done, 1 failure, 2 usage error.\n";

namespace {

constexpr int kMaxJobs = 256;

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
  std::optional<io::FaceChoice> face;
  bool faceRight = false;
  bool faceFlip = false;
  bool pauseArrow = false;
  bool gameCodes = false;
  bool gameLayout = false;
  bool screen = false;
  std::optional<TWindowPosition> position;
  std::map<int, std::string> names;   // as typed, in the text's encoding
  std::map<int, std::string> values;
  // Animation.
  bool animate = false;
  std::optional<int> speed;
  std::optional<double> hold;
  std::optional<int> loop;
  bool noOpen = false;
};

// A whole decimal number within [low, high].
int ParseNumber(const std::string& option, const std::string& value, int low, int high) {
  try {
    return io::WholeNumber(option, value, low, high);
  } catch (const io::EOptionValue& e) {
    throw UsageError{e.what()};
  }
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
  if (auto parsed = ParseNumberedText(value)) return std::move(*parsed);
  const auto equals = value.find('=');
  if (equals != std::string::npos) ParseNumber(option, value.substr(0, equals), 0, kMaxCodeNumber);  // N's fault
  throw UsageError{option + " needs N=TEXT, not '" + value + "'"};
}

// Seconds as a decimal number 0..60: digits with at most one decimal point.
double ParseHold(const std::string& value) {
  try {
    return io::HoldSeconds("--hold", value);
  } catch (const io::EOptionValue& e) {
    throw UsageError{e.what()};
  }
}

// True for a GIF file name, by the toolkit's one extension rule.
bool IsGifFileName(const std::string& name) { return FileExtension(name) == "gif"; }

// The animation options need --animate, and an animation a .gif or .png name.
void CheckAnimationOptions(const Options& o) {
  if (!o.animate) {
    if (IsGifFileName(*o.output)) throw UsageError{"a .gif output is an animation: add --animate"};
    if (o.speed || o.hold || o.loop || o.noOpen) throw UsageError{"--speed, --hold, --loop and --no-open need --animate"};
    return;
  }
  if (!io::IsAnimationFileName(*o.output)) throw UsageError{io::AnimationNameMessage("--animate", *o.output)};
  if (o.depth) throw UsageError{"--depth does not apply to --animate"};
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
    else if (a == "--face") {
      try {
        o.face = io::SplitFaceArgument(value(i), a);
      } catch (const Exception& e) {
        throw UsageError{e.what()};
      }
    }
    else if (a == "--face-right") o.faceRight = true;
    else if (a == "--face-flip") o.faceFlip = true;
    else if (a == "--pause-arrow") o.pauseArrow = true;
    else if (a == "--game-codes") o.gameCodes = true;
    else if (a == "--layout") {
      const std::string& v = value(i);
      if (v != "classic" && v != "game") throw UsageError{"--layout is classic or game, not '" + v + "'"};
      o.gameLayout = v == "game";
    }
    else if (a == "--screen") o.screen = true;
    else if (a == "--position") {
      const std::string& v = value(i);
      o.position = ParseWindowPosition(v);
      if (!o.position) throw UsageError{"--position is top, middle or bottom, not '" + v + "'"};
    }
    else if (a == "--animate") o.animate = true;
    else if (a == "--no-open") o.noOpen = true;
    else if (a == "--speed") o.speed = ParseNumber(a, value(i), timing::kMinSpeed, timing::kMaxSpeed);
    else if (a == "--hold") o.hold = ParseHold(value(i));
    else if (a == "--loop") o.loop = ParseNumber(a, value(i), 0, timing::kMaxPlays);
    else if (a == "--name" || a == "--var") {
      auto [n, text] = ParseNumbered(a, value(i));
      (a == "--name" ? o.names : o.values).insert_or_assign(n, std::move(text));
    }
    else if (a == "--depth") {
      const std::string& v = value(i);
      o.depth = io::BitDepthFormat(v);
      if (!o.depth) throw UsageError{"--depth is 1, 4, 8 or 24, not '" + v + "'"};
    } else throw UsageError{"unknown option '" + a + "'"};
  }
  if (!o.output) throw UsageError{"an output file is needed: -o OUT.bmp"};
  if (static_cast<int>(o.text.has_value()) + o.textFile.has_value() + o.batch.has_value() > 1) {
    throw UsageError{"--text, --text-file and --batch exclude each other"};
  }
  if (!o.letters) o.letters = codepage::DefaultLetters(o.encoding);
  if (o.trans && o.transAt) throw UsageError{"--trans and --trans-at exclude each other"};
  CheckAnimationOptions(o);
  if (!o.gameLayout && (o.screen || o.position)) throw UsageError{"--screen and --position need --layout game"};
  if (o.gameLayout && (o.margin != 0 || o.lineGap != 0)) {
    throw UsageError{"--margin and --line-gap do not apply to --layout game"};
  }
  if (o.face) {
    o.face->right = o.faceRight;
    o.face->flip = o.faceFlip;
  }
  return o;
}

TBitmap LoadSystemGraphic(const Options& o) {
  if (!o.system) return io::LoadSampleSkin(resources::SampleSkins().front());
  TBitmap system = io::LoadPicture(*o.system, io::PictureRole::kSystemGraphic);
  io::RequireSystemGraphicSize(system, *o.system);
  return system;
}

// The named sheet, else myword.bmp or myword.png in the current directory, else none (empty).
// Only files count: a folder of either name is passed over.
TBitmap LoadUserGlyphs(const Options& o) {
  if (o.userGlyphs) return io::LoadPicture(*o.userGlyphs, io::PictureRole::kUserGlyphs);
  for (const char* name : {"myword.bmp", "myword.png"}) {
    std::error_code error;
    if (std::filesystem::is_regular_file(name, error)) return io::LoadPicture(name, io::PictureRole::kUserGlyphs);
  }
  return TBitmap();
}

std::string ReadTextFile(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// The text from --text, --text-file, --batch's file or standard input, in its own encoding.
std::string ReadText(const Options& o) {
  if (o.text) return *o.text;
  if (o.textFile) return ReadTextFile(*o.textFile);
  if (o.batch) return ReadTextFile(*o.batch);
  return ReadStandardInput();
}

// Shift-JIS text in Japanese letters is read as it is; any other text is read as UTF-8.
bool ReadsUtf8(const Options& o) { return o.encoding != "cp932" || *o.letters != TLetters::Japanese; }

// Text in the encoding of --encoding as it is read: Shift-JIS as it is (see ReadsUtf8), other
// encodings decoded to UTF-8.
std::string Decoded(const Options& o, std::string_view text) {
  if (o.encoding == "utf-8" || !ReadsUtf8(o)) return std::string(text);
  return o.encoding == "cp932" ? sjis::ToUtf8(text) : codepage::ToUtf8(text, o.encoding);
}

// Decoded text as the composer takes it: Shift-JIS, with the private form of other characters.
std::string WindowText(const Options& o, std::string_view text) {
  return ReadsUtf8(o) ? ToWindowText(text, *o.letters) : std::string(text);
}

// Face sheets by file name, each read once before any window is made, so that the batch's
// threads only look them up. A sheet that fails to load fails the windows that use it.
class TFaceSheets {
 public:
  void Load(const std::string& file) {
    if (sheets_.contains(file) || failures_.contains(file)) return;
    try {
      sheets_.emplace(file, io::LoadFaceSheet(file));
    } catch (const std::exception& e) {
      failures_.emplace(file, UserMessage(e));
    }
  }

  // The face of a window for the composer, from the common extras.
  WindowExtras ExtrasFor(const WindowExtras& extras, const std::optional<io::FaceChoice>& face) const {
    if (!face) return extras;
    const auto failed = failures_.find(face->file);
    if (failed != failures_.end()) throw Exception(failed->second);
    return io::WithFace(extras, sheets_.at(face->file), *face);
  }

 private:
  std::map<std::string, io::FaceSheet> sheets_;
  std::map<std::string, std::string> failures_;
};

// The windows of a batch; "@face" sheet files are relative to the batch file's folder.
std::vector<io::WindowJob> BatchWindows(const Options& o, std::string_view text) {
  return io::BatchWindows(text, {o.face, o.faceRight, o.faceFlip, ReadsUtf8(o), std::filesystem::path(*o.batch).parent_path(),
                                  *o.letters});
}

// The text's encoding for the names and values typed on the command line.
GameCodeValues GameValues(const Options& o) {
  GameCodeValues given;
  for (const auto& [n, text] : o.names) given.names[n] = WindowText(o, Decoded(o, text));
  for (const auto& [n, text] : o.values) given.values[n] = WindowText(o, Decoded(o, text));
  return given;
}

// Names each character without a glyph once on standard error; it is drawn as a box.
void WarnMissingGlyphs(const std::vector<io::WindowJob>& windows, const GameCodeValues& values) {
  std::vector<std::string> lines;
  for (const io::WindowJob& window : windows) lines.insert(lines.end(), window.lines.begin(), window.lines.end());
  for (const std::string& note : io::MissingGlyphNotes(lines, values)) std::cerr << "panelwright-cli: " << note << '\n';
}

// The composed window, reduced when asked.
TBitmap ComposeResult(const ComposeInput& input, const WindowExtras& extras, std::optional<TQvPixelFormat> depth) {
  const std::optional<TBitmap> window = ComposeWindow(input, extras);
  TBitmap result = *window;  // a system graphic is always given here
  if (depth) io::ReduceDepth(result, *depth, false);
  return result;
}

// The bytes of the file that output names: PNG for .png, else BMP.
BlockBytes EncodeFor(TBitmap& picture, const std::string& output) {
  TMemoryStream stream;
  if (IsPngFileName(output)) WritePng(picture, stream);
  else picture.SaveToStream(stream);
  return stream.Bytes();
}

// Every block is composed, encoded and written to its temporary file on the batch's threads,
// each thread with its own glyph cache; the files are put in place in order, so that a failing
// block leaves exactly the files before it, as one thread would.
int RunBatch(const Options& o, const ComposeInput& common, const WindowExtras& extras, const std::string& text) {
  const std::vector<io::WindowJob> blocks = BatchWindows(o, text);
  WarnMissingGlyphs(blocks, extras.gameValues);
  TFaceSheets faces;
  for (const io::WindowJob& block : blocks)
    if (block.face) faces.Load(block.face->file);
  std::vector<TFontCache> fonts(std::min<std::size_t>(o.jobs, std::max<std::size_t>(blocks.size(), 1)));
  // Fonts are found through fontconfig, whose lazily built state may not be built from several
  // threads at once: each worker's rasteriser is made here, one after the other.
  for (TFontCache& cache : fonts) cache.Get(o.font);
  // Every window has the same skin, read once and shared by the workers (it is only read).
  const TColourImage skin = PrepareSkin(*common.systemGraphic);
  const auto make = [&](std::size_t index, unsigned worker) {
    const std::string name = io::NumberedName(*o.output, index + 1);
    try {
      ComposeInput input = common;
      input.lines = blocks[index].lines;
      input.fonts = &fonts[worker];
      input.preparedSkin = &skin;
      TBitmap result = ComposeResult(input, faces.ExtrasFor(extras, blocks[index].face), o.depth);
      const BlockBytes bytes = EncodeFor(result, name);
      return PrepareFile(name, [&bytes](TStream& file) { file.WriteBuffer(bytes.data(), bytes.size()); });
    } catch (const std::exception& e) {
      throw Exception(io::BlockContext(index, name) + UserMessage(e));
    }
  };
  const auto commit = [&](std::size_t index, TPendingFile& file) {
    const std::string name = io::NumberedName(*o.output, index + 1);
    try {
      file.Commit();
    } catch (const std::exception& e) {
      throw Exception(io::BlockContext(index, name) + UserMessage(e));
    }
  };
  try {
    RunInOrder(blocks.size(), static_cast<unsigned>(fonts.size()), make, commit);
  } catch (const Exception& e) {
    return Fail(e.what());
  }
  return kExitOk;
}

// One animation of every page, written as GIF or animated PNG by the output's name.
int RunAnimation(const Options& o, const ComposeInput& input, WindowExtras extras, const std::string& text) {
  const std::vector<io::WindowJob> windows = o.batch ? BatchWindows(o, text) : std::vector<io::WindowJob>{{SplitLines(WindowText(o, text)), o.face}};
  WarnMissingGlyphs(windows, extras.gameValues);
  TFaceSheets faces;
  for (const io::WindowJob& window : windows)
    if (window.face) faces.Load(window.face->file);
  extras.pauseArrow = false;  // the arrow blinks in every hold
  AnimationTiming pace;
  pace.speed = o.speed.value_or(timing::kMinSpeed);
  pace.holdTicks = HoldTicks(o.hold.value_or(2.0));
  pace.plays = o.loop.value_or(0);
  pace.open = !o.noOpen;
  const auto extrasFor = [&](const std::optional<io::FaceChoice>& face) { return faces.ExtrasFor(extras, face); };
  const TAnimation animation =
      ComposeAnimation(input, io::AnimationPages(windows, extrasFor, o.batch ? o.output : std::nullopt), pace);
  io::SaveAnimationFile(animation, *o.output, "--animate");
  return kExitOk;
}

int Run(const Options& o) {
  const TBitmap system = LoadSystemGraphic(o);
  const TBitmap builtIn = io::LoadBuiltInGlyphs();
  const TBitmap user = LoadUserGlyphs(o);
  std::string text = Decoded(o, ReadText(o));
  // A text file saved by a Windows editor starts with a byte-order mark, which is not text.
  if (!o.text && ReadsUtf8(o)) text = std::string(io::WithoutByteOrderMark(text));

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
  extras.layout.on = o.gameLayout;
  extras.layout.screen = o.screen;
  extras.layout.position = o.position.value_or(TWindowPosition::kBottom);

  TFontCache fonts;
  if (o.animate) {
    input.fonts = &fonts;
    return RunAnimation(o, input, extras, text);
  }
  if (o.batch) return RunBatch(o, input, extras, text);
  input.fonts = &fonts;
  input.lines = SplitLines(WindowText(o, text));
  WarnMissingGlyphs({{input.lines, o.face}}, extras.gameValues);
  TFaceSheets faces;
  if (o.face) faces.Load(o.face->file);
  TBitmap result = ComposeResult(input, faces.ExtrasFor(extras, o.face), o.depth);
  SavePictureFile(result, *o.output);
  return kExitOk;
}

}  // namespace

int RunCompose(const Args& args) { return Run(ParseOptions(args)); }

}  // namespace pw::cli
