// A game's messages as every program shows them: read from the game's files, decoded from its
// code page, translated from a folder of gettext catalogues, told which share a window, and
// checked against the room the game's window gives each line. Shared by panelwright-cli game,
// the window and the page, which feed the files through game::TGameFiles.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compose/extras.h"
#include "game/game_files.h"
#include "game/gettext.h"
#include "toolkit/font.h"
#include "toolkit/letters.h"

namespace pw::io {

// The game's text: its code page decoded to UTF-8 for lists and pages, and UTF-8 turned into
// the composer's window text in the chosen letters.
class TGameText {
 public:
  // encoding is cp932, utf-8 or one of codepage::Names().
  TGameText(std::string encoding, TLetters letters);
  // Stored bytes as UTF-8; raises EConvertError at a byte that is no character.
  std::string Utf8(std::string_view stored) const;
  // UTF-8 text as the composer draws it.
  std::string Window(std::string_view utf8) const;
  TLetters Letters() const { return letters_; }

 private:
  std::string encoding_;
  TLetters letters_;
};

struct GameOptions {
  std::string encoding = "cp932";
  std::optional<TLetters> letters;      // default: by the encoding
  std::map<int, std::string> values;    // what \V[n] stands for, UTF-8 (--var)
  std::vector<std::string> only;        // the parts to read (game::TGameParts)
};

// A line that does not fit, or a window that holds too few lines. Width and room are in pixels;
// a window's problem has neither.
struct GameProblem {
  int line = 0;  // counted from 1
  std::optional<int> width;
  std::optional<int> room;
  std::string sentence;
};

struct GameEntry {
  game::TMessage message;                               // as stored
  std::vector<std::string> lines;                       // as stored, in UTF-8
  std::optional<std::vector<std::string>> translation;  // UTF-8, when a catalogue has it
  bool fuzzy = false;                                   // the translation is marked fuzzy
  std::vector<GameProblem> problems;
  // A message whose window also shows the choice that follows it, and that choice (indices
  // into the entries; SIZE_MAX none).
  std::size_t choice = SIZE_MAX;
  std::size_t sharedWith = SIZE_MAX;

  // The lines the game shows: the translation, else the stored text.
  const std::vector<std::string>& Shown() const { return translation ? *translation : lines; }
};

struct GameProject {
  game::TGame game;
  std::string title;             // the game's name in its map tree, UTF-8
  std::string fontFace;          // "RMG2000" or "RM2000", from the database
  std::vector<GameEntry> entries;
  // What \N[n] and \V[n] stand for when drawing (window text): the actors' (translated) names,
  // the values given, and 0 for any other value.
  GameCodeValues drawn;
  // The same for measuring: a value not given counts as its widest, 8 digits.
  GameCodeValues measured;
  TGameText text{"cp932", TLetters::Japanese};

  std::size_t ProblemCount() const;
};

// The catalogues of a translation: files rpg_rt.ldb.po (names), rpg_rt.ldb.common.po,
// rpg_rt.ldb.battle.po and MapNNNN.po, found without regard to case at the folder's top.
class TGameTranslation {
 public:
  TGameTranslation() = default;
  // Reads every catalogue the folder holds; raises EGameError naming a malformed one.
  explicit TGameTranslation(const game::TGameFiles& folder);

  // The catalogue that translates messages of the source; null when the folder has none.
  const game::TCatalogue* For(const game::TMessage& message) const;
  // An actor's name: context "actors.N.name", then "actors.name", then none; null when none.
  const game::TCatalogueEntry* ActorName(int actor, std::string_view name) const;

 private:
  const game::TCatalogue* Named(const std::string& lowerName) const;
  std::map<std::string, game::TCatalogue> catalogues_;  // by lower-case file name
};

// Reads the game, decodes and translates every message, finds the choices that share their
// message's window, and checks every line with the composer's glyph advances in the database's
// font. Raises EGameError for a missing or damaged file, and EConvertError (naming the place)
// for text that is not in the encoding.
GameProject ReadGameProject(const game::TGameFiles& files, const GameOptions& options,
                            const TGameTranslation* translation = nullptr);

// Where a message stands, for people: "Map0003.lmu (Town), event 12 (Guard), page 1, command 45",
// "common event 3 (Shop), command 2", "troop 4 (Slimes), page 1, command 3".
std::string GamePlace(const GameProject& project, const game::TMessage& message);

// The picture of a message: Map0003-EV0012-P01-C0045, Common0003-C0012, Troop0004-P01-C0003,
// then "." and the extension.
std::string GamePictureName(const game::TMessage& message, std::string_view extension);

// "Map0003.lmu", "common" or "troop".
std::string GameSource(const game::TMessage& message);

}  // namespace pw::io
