// panelwright-cli game: a game's own messages, read from its data files, listed as JSON,
// checked against the room the game's window gives each line, and drawn in that window as
// pictures with an index page.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/commands.h"
#include "compose/compose.h"
#include "compose/extras.h"
#include "game/game_files.h"
#include "io/game_pictures.h"
#include "io/game_project.h"
#include "io/game_report.h"
#include "io/load_picture.h"
#include "toolkit/code_pages.h"
#include "toolkit/letters.h"
#include "toolkit/replace_file.h"

namespace pw::cli {

const char* const kGameUsage =
    "usage: panelwright-cli game DIR --list [options]\n"
    "       panelwright-cli game DIR --check [options]\n"
    "       panelwright-cli game DIR -o FOLDER [--format png|bmp|gif|apng] [--screen] [--jobs N] [options]\n"
    "\n"
    "Reads a game's own messages from its data files in DIR (RPG_RT.ldb, RPG_RT.lmt and the\n"
    "MapNNNN.lmu files, names in any letter case): every message and choice of the maps' events, in\n"
    "the order of the map tree, events, pages and commands, then of the common events, then of the\n"
    "troops. Each is shown in the game's own 320x80 window with the face, window position,\n"
    "transparency and skin in force where it stands; each command list starts with no face, at the\n"
    "bottom, not transparent, with the database's skin and wallpaper.\n"
    "\n"
    "  --list                one JSON object a line for each message and choice: source\n"
    "                        (\"Map0003.lmu\", \"common\" or \"troop\"), map (its name, null for the\n"
    "                        others), event (event, common event or troop number), name (its name),\n"
    "                        page (null for common events), command (index of its first command),\n"
    "                        kind (\"message\" or \"choice\"), lines (the stored text in UTF-8, codes\n"
    "                        intact; a choice's options), face (null or file, index, right, flip),\n"
    "                        skin, wallpaper (\"stretch\" or \"tile\"), position (\"top\", \"middle\" or\n"
    "                        \"bottom\"), transparent, translated, fuzzy, translation (its lines, or\n"
    "                        null), picture (the name of the picture that shows it) and problems\n"
    "                        (line, width, room and a sentence for each)\n"
    "  --check               prints every line that does not fit, where it is and by how many\n"
    "                        pixels, then the total; exit status 3 when some do not fit\n"
    "  -o FOLDER             writes a picture of every message into FOLDER (made when missing):\n"
    "                        Map0003-EV0012-P01-C0045.png for map 3, event 12, page 1, command 45;\n"
    "                        Common0003-C0012.png and Troop0004-P01-C0003.png for common events and\n"
    "                        troops; a choice that shares its message's window is in the message's\n"
    "                        picture. Then index.html: every message with its picture, text, place\n"
    "                        and problems, those that do not fit first. Other files are left alone;\n"
    "                        a picture that exists is replaced safely\n"
    "  --format F            png (default) or bmp: the window as the game shows it once typed;\n"
    "                        gif or apng (.png files): the window typed out as compose --animate does\n"
    "  --screen              each window on the game's 320x240 screen at its position (top, middle or\n"
    "                        bottom), the rest of the screen in the skin's transparent colour\n"
    "  --jobs N              pictures made at once, 1..256 (default: one per core); the files are the\n"
    "                        same whatever N is\n"
    "  --translation DIR     a folder of gettext catalogues (UTF-8) that translate the game:\n"
    "                        rpg_rt.ldb.po (actor names), rpg_rt.ldb.common.po, rpg_rt.ldb.battle.po\n"
    "                        and MapNNNN.po, names in any letter case. A message's msgid is its lines\n"
    "                        joined by \"\\n\" (a choice's: its options), a non-empty msgstr replaces\n"
    "                        them; fuzzy entries are used and marked. Actor names come from msgctxt\n"
    "                        \"actors.N.name\", then \"actors.name\", then no context\n"
    "  --only NAME           read only these parts (repeatable): Map0003 (a map), common, troop\n"
    "  --encoding E          the game's code page: cp932 (default), utf-8, cp1250, cp1251, cp1252,\n"
    "                        cp1253, cp1254, cp1257, cp936, cp949 or cp950\n"
    "  --letters L           japanese or international, as for compose (default by the encoding)\n"
    "  --var N=VALUE         the value that \\V[N] shows (repeatable); without one it is drawn as 0 and\n"
    "                        measured as 8 digits, the widest a game's variable prints\n"
    "  --rtp DIR             a folder of shared pictures (with System/ and FaceSet/) to look in for\n"
    "                        skins and faces the game's folder lacks (repeatable, in order)\n"
    "\n"
    "The game's window: 320x80 pixels, its inner area 304x64 at (8, 8); text starts at inner (0, 2),\n"
    "lines 16 pixels apart, four a window (a longer message types on in a second window, drawn below\n"
    "the first in still pictures); a face at inner (8, 8) on the left, with the text from inner x 72,\n"
    "or at (248, 8) on the right; a choice right after a message shares its window when lines and\n"
    "options make at most four, its options 12 pixels further right. Glyphs, colours, shadows,\n"
    "frame and wallpaper are drawn as compose draws them, in the database's font; the skin's palette\n"
    "entry 0 is its transparent colour. A line fits when its width, with the game's codes acted on\n"
    "and \\N[n] the actors' names, stays within 304 pixels (232 beside a left face, 248 beside a right\n"
    "one, 12 less for an option). Skins and faces are found in System/ and FaceSet/ as .png, .bmp or\n"
    "XYZ pictures; one that is missing is named once on standard error, and its windows are drawn\n"
    "with the sample skin or without the face.\n"
    "Exit status: 0 done (and with --check, everything fits), 1 failure, 2 usage error, 3 some lines do\n"
    "not fit.\n";

namespace {

constexpr int kMaxJobs = 256;
constexpr int kExitDoesNotFit = 3;
constexpr const char* kIndexName = "index.html";
constexpr auto kQuietTime = std::chrono::seconds(1);  // progress shows for runs longer than this

struct Options {
  std::string folder;
  bool list = false;
  bool check = false;
  std::optional<std::string> output;
  io::GameFormat format = io::GameFormat::kPng;
  bool screen = false;
  unsigned jobs = DefaultThreads();
  std::optional<std::string> translation;
  io::GameOptions game;
  std::vector<std::string> rtp;
};

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

Options ParseOptions(const Args& args) {
  Options o;
  const auto value = [&](std::size_t& i) -> const std::string& {
    if (i + 1 >= args.size()) throw UsageError{args[i] + " needs a value"};
    return args[++i];
  };
  std::optional<std::string> folder;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--list") o.list = true;
    else if (a == "--check") o.check = true;
    else if (a == "-o" || a == "--output") o.output = value(i);
    else if (a == "--format") {
      const std::string& v = value(i);
      const auto format = io::ParseGameFormat(v);
      if (!format) throw UsageError{"--format is png, bmp, gif or apng, not '" + v + "'"};
      o.format = *format;
    } else if (a == "--screen") o.screen = true;
    else if (a == "--jobs") o.jobs = static_cast<unsigned>(ParseNumber(a, value(i), 1, kMaxJobs));
    else if (a == "--translation") o.translation = value(i);
    else if (a == "--only") o.game.only.push_back(value(i));
    else if (a == "--encoding") {
      const std::string& v = value(i);
      if (v != "utf-8" && v != "cp932" && !codepage::IsKnown(v)) {
        throw UsageError{"--encoding is utf-8, cp932, cp1250, cp1251, cp1252, cp1253, cp1254, cp1257, cp936, cp949 "
                         "or cp950, not '" + v + "'"};
      }
      o.game.encoding = v;
    } else if (a == "--letters") {
      const std::string& v = value(i);
      o.game.letters = ParseLetters(v);
      if (!o.game.letters) throw UsageError{"--letters is japanese or international, not '" + v + "'"};
    } else if (a == "--var") {
      const std::string& v = value(i);
      auto parsed = ParseNumberedText(v);
      if (!parsed) throw UsageError{"--var needs N=VALUE with N a whole number from 0 to 999999999, not '" + v + "'"};
      o.game.values.insert_or_assign(parsed->first, std::move(parsed->second));
    } else if (a == "--rtp") o.rtp.push_back(value(i));
    else if (!a.empty() && a[0] == '-') throw UsageError{"unknown option '" + a + "'"};
    else if (folder) throw UsageError{"one game folder only, not also '" + a + "'"};
    else folder = a;
  }
  if (!folder) throw UsageError{"a game folder is needed: panelwright-cli game DIR --list"};
  o.folder = *folder;
  if (!o.list && !o.check && !o.output) throw UsageError{"say what to do: --list, --check or -o FOLDER"};
  if (o.list && o.check) throw UsageError{"--list and --check exclude each other"};
  if (!o.output && (o.screen || o.format != io::GameFormat::kPng)) throw UsageError{"--format and --screen need -o FOLDER"};
  for (const std::string& part : o.game.only) {
    if (!game::TGameParts::IsPartName(part)) throw UsageError{"--only takes MapNNNN, common or troop, not '" + part + "'"};
  }
  return o;
}

game::TGameFiles Folder(const std::string& path, const char* what) {
  std::error_code error;
  if (!std::filesystem::is_directory(path, error)) throw Exception(path + ": " + what + " is not a folder");
  return game::FolderFiles(path);
}

void Warn(const std::string& text) { std::cerr << "panelwright-cli: " << text << '\n'; }

// Every character of the shown texts and names without a glyph, once.
void WarnMissingGlyphs(const io::GameProject& project) {
  std::string all;
  for (const io::GameEntry& entry : project.entries)
    for (const std::string& line : entry.Shown()) all += project.text.Window(line);
  for (const auto& [n, name] : project.drawn.names) all += name;
  for (const char32_t code : MissingGlyphs(all)) Warn(MissingGlyphNote(code));
}

// "812 of 1789 pictures" on standard error once a run takes more than a second: on a terminal
// one line rewritten, otherwise a line a second.
class TProgress {
 public:
  explicit TProgress(std::size_t total) : total_(total), start_(std::chrono::steady_clock::now()), tty_(isatty(2)) {}
  void Done(std::size_t done) {
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < kQuietTime) return;
    if (!tty_ && shown_ && now - last_ < kQuietTime && done != total_) return;
    last_ = now;
    shown_ = true;
    std::fprintf(stderr, tty_ ? "\rpanelwright-cli: %zu of %zu pictures" : "panelwright-cli: %zu of %zu pictures\n",
                 done, total_);
  }
  ~TProgress() {
    if (shown_ && tty_) std::fputc('\n', stderr);
  }

 private:
  std::size_t total_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
  bool tty_;
  bool shown_ = false;
};

int WritePictures(const Options& o, const io::GameProject& project) {
  const std::filesystem::path out(*o.output);
  std::filesystem::create_directories(out);
  std::vector<game::TGameFiles> shared;
  for (const std::string& folder : o.rtp) shared.push_back(Folder(folder, "--rtp"));
  io::TGamePictures pictures(game::FolderFiles(o.folder), std::move(shared), Warn);
  pictures.Prepare(project);
  const TBitmap glyphs = io::LoadBuiltInGlyphs();

  std::vector<std::size_t> own;
  for (std::size_t i = 0; i < project.entries.size(); ++i)
    if (io::PictureEntry(project, i) == i) own.push_back(i);
  const std::string_view extension = io::GameFormatExtension(o.format);
  const auto pathOf = [&](std::size_t k) {
    return (out / io::GamePictureName(project.entries[own[k]].message, extension)).string();
  };
  std::vector<TFontCache> fonts(std::min<std::size_t>(o.jobs, std::max<std::size_t>(own.size(), 1)));
  // fontconfig's state is built lazily and not from several threads at once.
  for (TFontCache& cache : fonts) cache.Get(project.fontFace);
  TProgress progress(own.size());
  const auto make = [&](std::size_t k, unsigned worker) {
    io::GameWindow window = io::GameWindowOf(project, own[k], pictures, o.screen, glyphs);
    window.input.fonts = &fonts[worker];
    try {
      const std::vector<std::uint8_t> bytes = io::GamePictureFile(window, o.format);
      return PrepareFile(pathOf(k), [&bytes](TStream& file) { file.WriteBuffer(bytes.data(), bytes.size()); });
    } catch (const std::exception& e) {
      throw Exception(io::GamePlace(project, project.entries[own[k]].message) + ": " + e.what());
    }
  };
  const auto commit = [&](std::size_t k, TPendingFile& file) {
    file.Commit();
    progress.Done(k + 1);
  };
  RunInOrder(own.size(), static_cast<unsigned>(fonts.size()), make, commit);
  const std::string index = io::GameIndexHtml(project, extension);
  ReplaceFile((out / kIndexName).string(), [&](TStream& file) { file.WriteBuffer(index.data(), index.size()); });
  return kExitOk;
}

int Run(const Options& o) {
  const game::TGameFiles files = Folder(o.folder, "the game");
  std::optional<io::TGameTranslation> translation;
  if (o.translation) translation.emplace(Folder(*o.translation, "--translation"));
  const io::GameProject project = io::ReadGameProject(files, o.game, translation ? &*translation : nullptr);
  if (o.list) {
    std::string out;
    for (std::size_t i = 0; i < project.entries.size(); ++i) out += io::GameListLine(project, i) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
  }
  if (o.check || o.output) WarnMissingGlyphs(project);
  if (o.output) WritePictures(o, project);
  if (!o.check) return kExitOk;
  const std::string report = io::GameCheckReport(project);
  std::fwrite(report.data(), 1, report.size(), stdout);
  return project.ProblemCount() == 0 ? kExitOk : kExitDoesNotFit;
}

}  // namespace

int RunGame(const Args& args) { return Run(ParseOptions(args)); }

}  // namespace pw::cli
