#include "io/game_project.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "compose/game_window.h"
#include "game/errors.h"
#include "toolkit/code_pages.h"
#include "toolkit/errors.h"
#include "toolkit/sjis.h"

namespace pw::io {
namespace {

constexpr const char* kOtherValueDrawn = "0";
// The widest a game's variable prints: eight half-width digits (or seven and a minus sign).
constexpr const char* kOtherValueMeasured = "00000000";
constexpr const char* kCommonCatalogue = "rpg_rt.ldb.common.po";
constexpr const char* kBattleCatalogue = "rpg_rt.ldb.battle.po";
constexpr const char* kDatabaseCatalogue = "rpg_rt.ldb.po";

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Joined(const std::vector<std::string>& lines, std::string_view between) {
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += between;
    out += lines[i];
  }
  return out;
}

std::vector<std::string> SplitAtNewlines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    lines.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return lines;
    start = end + 1;
  }
}

std::string Formatted(const char* format, int a, int b = 0, int c = 0, int d = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b, c, d);
  return text;
}

// A stored name decoded, or empty when it is no text in the encoding.
std::string DecodedName(const TGameText& text, const std::string& stored) {
  try {
    return text.Utf8(stored);
  } catch (const EConvertError&) {
    return {};
  }
}

// " (NAME)" after a place, or nothing for a name that is empty or no text.
std::string NameOf(const TGameText& text, const std::string& stored) {
  const std::string name = DecodedName(text, stored);
  return name.empty() ? name : " (" + name + ")";
}

// --- The fit check ---

std::string LineProblem(bool option, int line, int width, int room, bool valueCounted) {
  std::string sentence = std::string(option ? "Option " : "Line ") + std::to_string(line) + " is " +
                         std::to_string(width) + " pixels wide, " + std::to_string(width - room) +
                         " more than the " + std::to_string(room) + " it has";
  if (valueCounted) sentence += "; a \\V[n] without a --var value counts as 8 digits";
  return sentence + ".";
}

std::string WindowProblem(bool choice, std::size_t lines) {
  const auto holds = static_cast<std::size_t>(game_window::kLines);
  return std::string(choice ? "The choice has " : "The message has ") + std::to_string(lines) +
         (choice ? " options, " : " lines, ") + std::to_string(lines - holds) +
         " more than a window holds: the rest goes on in another window.";
}

std::vector<GameProblem> CheckEntry(const GameProject& project, const GameEntry& entry, const TTextRasterizer& font) {
  const bool choice = entry.message.kind == game::TKind::kChoice;
  const std::optional<game::TFace>& face = entry.message.state.face;
  const int room = LineRoom(face.has_value(), face && face->right, choice);
  const std::vector<std::string>& shown = entry.Shown();
  std::vector<GameProblem> problems;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const std::string window = project.text.Window(shown[i]);
    const int width = GameLineWidth(window, project.measured, font);
    if (width <= room) continue;
    const bool valueCounted = GameLineWidth(window, project.drawn, font) != width;
    const int line = static_cast<int>(i) + 1;
    problems.push_back({line, width, room, LineProblem(choice, line, width, room, valueCounted)});
  }
  if (shown.size() > static_cast<std::size_t>(game_window::kLines)) {
    problems.push_back({game_window::kLines + 1, std::nullopt, std::nullopt, WindowProblem(choice, shown.size())});
  }
  return problems;
}

// The catalogues a translation of a game consists of; other files are not read.
bool IsGameCatalogue(const std::string& lower) {
  if (lower == kDatabaseCatalogue || lower == kCommonCatalogue || lower == kBattleCatalogue) return true;
  return lower.size() == 10 && lower.ends_with(".po") && game::TGameParts::IsPartName(lower.substr(0, 7)) &&
         lower.starts_with("map");
}

}  // namespace

TGameText::TGameText(std::string encoding, TLetters letters) : encoding_(std::move(encoding)), letters_(letters) {}

std::string TGameText::Utf8(std::string_view stored) const {
  // Every code page read here keeps ASCII as it is, and most of a game's text is ASCII.
  if (std::all_of(stored.begin(), stored.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::string(stored);
  }
  if (encoding_ == "cp932") return sjis::ToUtf8(stored);
  if (encoding_ != "utf-8") return codepage::ToUtf8(stored, encoding_);
  for (std::size_t i = 0; i < stored.size();) {
    int length = 0;
    if (sjis::DecodeUtf8(stored, i, length) < 0) throw EConvertError(FormatMessage(msg::kInvalidUtf8, {std::to_string(i)}));
    i += static_cast<std::size_t>(length);
  }
  return std::string(stored);
}

std::string TGameText::Window(std::string_view utf8) const { return ToWindowText(utf8, letters_); }

std::size_t GameProject::ProblemCount() const {
  return static_cast<std::size_t>(
      std::count_if(entries.begin(), entries.end(), [](const GameEntry& e) { return !e.problems.empty(); }));
}

TGameTranslation::TGameTranslation(const game::TGameFiles& folder) {
  for (const std::string& name : folder.list()) {
    const std::string lower = Lower(name);
    if (!IsGameCatalogue(lower)) continue;
    const std::vector<std::uint8_t> bytes = folder.read(name);
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    catalogues_.emplace(lower, game::TCatalogue::Read(text, name));
  }
}

const game::TCatalogue* TGameTranslation::Named(const std::string& lowerName) const {
  const auto it = catalogues_.find(lowerName);
  return it == catalogues_.end() ? nullptr : &it->second;
}

const game::TCatalogue* TGameTranslation::For(const game::TMessage& message) const {
  switch (message.source) {
    case game::TSource::kMap: return Named(Lower(game::MapFileName(message.map).substr(0, 7)) + ".po");
    case game::TSource::kCommon: return Named(kCommonCatalogue);
    case game::TSource::kTroop: return Named(kBattleCatalogue);
  }
  return nullptr;
}

const game::TCatalogueEntry* TGameTranslation::ActorName(int actor, std::string_view name) const {
  const game::TCatalogue* catalogue = Named(kDatabaseCatalogue);
  if (catalogue == nullptr || name.empty()) return nullptr;
  if (auto* e = catalogue->Find(name, "actors." + std::to_string(actor) + ".name")) return e;
  if (auto* e = catalogue->Find(name, std::string_view("actors.name"))) return e;
  return catalogue->Find(name, std::nullopt);
}

GameProject ReadGameProject(const game::TGameFiles& files, const GameOptions& options,
                            const TGameTranslation* translation) {
  GameProject project;
  project.text = TGameText(options.encoding, options.letters.value_or(codepage::DefaultLetters(options.encoding)));
  project.game = game::ReadGame(files, {options.only});
  const game::TDatabase& db = project.game.database;
  project.fontFace = db.font == 1 ? "RM2000" : "RMG2000";
  for (const game::TMapEntry& map : project.game.tree.maps) {
    if (map.type == 0) project.title = DecodedName(project.text, map.name);
  }

  for (const auto& [actor, stored] : db.actorNames) {
    std::string name = project.text.Utf8(stored);
    if (translation != nullptr) {
      if (const game::TCatalogueEntry* e = translation->ActorName(actor, name)) name = e->text;
    }
    project.drawn.names[actor] = project.text.Window(name);
  }
  for (const auto& [n, value] : options.values) project.drawn.values[n] = project.text.Window(value);
  project.drawn.otherNames = "";
  project.measured = project.drawn;
  project.drawn.otherValues = kOtherValueDrawn;
  project.measured.otherValues = kOtherValueMeasured;

  project.entries.reserve(project.game.messages.size());
  for (const game::TMessage& message : project.game.messages) {
    GameEntry entry;
    entry.message = message;
    try {
      for (const std::string& line : message.lines) entry.lines.push_back(project.text.Utf8(line));
    } catch (const EConvertError& e) {
      throw EConvertError(GamePlace(project, message) + ": " + e.what());
    }
    const game::TCatalogue* catalogue = translation != nullptr ? translation->For(message) : nullptr;
    const std::string id = Joined(entry.lines, "\n");
    if (catalogue != nullptr && !id.empty()) {
      if (const game::TCatalogueEntry* e = catalogue->FindAnyContext(id)) {
        entry.translation = SplitAtNewlines(e->text);
        entry.fuzzy = e->fuzzy;
      }
    }
    project.entries.push_back(std::move(entry));
  }

  for (std::size_t i = 1; i < project.entries.size(); ++i) {
    GameEntry& choice = project.entries[i];
    GameEntry& before = project.entries[i - 1];
    if (choice.message.kind != game::TKind::kChoice || !choice.message.afterMessage) continue;
    if (!ChoiceSharesWindow(before.Shown().size(), choice.Shown().size())) continue;
    before.choice = i;
    choice.sharedWith = i - 1;
  }

  const TTextRasterizer font(project.fontFace);
  for (GameEntry& entry : project.entries) {
    try {
      entry.problems = CheckEntry(project, entry, font);
    } catch (const EConvertError& e) {
      throw EConvertError(GamePlace(project, entry.message) + ": " + e.what());
    }
  }
  return project;
}

std::string GameSource(const game::TMessage& message) {
  switch (message.source) {
    case game::TSource::kMap: return game::MapFileName(message.map);
    case game::TSource::kCommon: return "common";
    case game::TSource::kTroop: return "troop";
  }
  return {};
}

std::string GamePlace(const GameProject& project, const game::TMessage& m) {
  const std::string event = NameOf(project.text, m.eventName);
  const std::string command = ", command " + std::to_string(m.command);
  const std::string page = ", page " + std::to_string(m.page);
  switch (m.source) {
    case game::TSource::kMap:
      return game::MapFileName(m.map) + NameOf(project.text, project.game.tree.NameOf(m.map)) + ", event " + std::to_string(m.event) + event +
             page + command;
    case game::TSource::kCommon: return "common event " + std::to_string(m.event) + event + command;
    case game::TSource::kTroop: return "troop " + std::to_string(m.event) + event + page + command;
  }
  return {};
}

std::string GamePictureName(const game::TMessage& m, std::string_view extension) {
  std::string stem;
  switch (m.source) {
    case game::TSource::kMap: stem = Formatted("Map%04d-EV%04d-P%02d-C%04d", m.map, m.event, m.page, m.command); break;
    case game::TSource::kCommon: stem = Formatted("Common%04d-C%04d", m.event, m.command); break;
    case game::TSource::kTroop: stem = Formatted("Troop%04d-P%02d-C%04d", m.event, m.page, m.command); break;
  }
  return stem + "." + std::string(extension);
}

}  // namespace pw::io
