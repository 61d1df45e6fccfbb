// The pictures of a game's messages: the skins and face sheets they name, found in the game's
// files or a shared folder of pictures (the runtime package), and each message composed in the
// game's own window and written as PNG, BMP, GIF or animated PNG. The page makes the same
// bytes as panelwright-cli game.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compose/compose.h"
#include "compose/extras.h"
#include "compose/layout.h"
#include "game/game_files.h"
#include "io/game_project.h"
#include "toolkit/bitmap.h"

namespace pw::io {

enum class GameFormat { kPng, kBmp, kGif, kApng };

// "png", "bmp", "gif" or "apng".
std::optional<GameFormat> ParseGameFormat(std::string_view name);
// The file name extension: png, bmp, gif, and png for apng.
std::string_view GameFormatExtension(GameFormat format);

// Skins (System/) and face sheets (FaceSet/) by the name a game stores, looked up without
// regard to case as .png, .bmp or .xyz in the game's files, then in each of the shared folders.
// A picture that none holds, or that cannot be used, is named once through warn; windows are
// then drawn with the sample skin or without the face.
class TGamePictures {
 public:
  using Warn = std::function<void(const std::string&)>;
  TGamePictures(game::TGameFiles files, std::vector<game::TGameFiles> shared, Warn warn);

  // Loads every skin and face sheet the entries name, so that what follows only reads and
  // may run on several threads.
  void Prepare(const GameProject& project);

  struct Skin {
    TBitmap picture;
    TColor key = clBlack;  // the transparent colour: palette entry 0, as the game keys skins
    TColourImage prepared;
  };
  struct Face {
    std::string name;  // as found, for messages
    TBitmap sheet;
    TBitmap alpha;
  };
  // Prepared pictures; the sample skin for a skin not found, null for a face not found.
  const Skin& SkinOf(const std::string& stored) const;
  const Face* FaceOf(const std::string& stored, int index) const;

 private:
  struct Source {
    game::TGameFiles files;
    game::TFileIndex index;
  };
  // The bytes and name of FOLDER/NAME.(png|bmp|xyz) in the first source that has it.
  std::optional<std::pair<std::string, std::vector<std::uint8_t>>> Find(std::string_view folder,
                                                                         const std::string& stored) const;
  void PrepareSkin(const std::string& stored);
  void PrepareFace(const std::string& stored);

  std::vector<Source> sources_;
  Warn warn_;
  std::optional<TGameText> text_;
  Skin sample_;
  std::map<std::string, Skin> skins_;                 // by stored name; missing ones absent
  std::map<std::string, std::optional<Face>> faces_;  // by stored name; nullopt: not found
  std::map<std::pair<std::string, int>, bool> missingCells_;
};

// The composition of an entry that has a picture of its own (not a choice sharing its
// message's window): its lines and those of a choice in its window, in the game's layout with
// the entry's face, skin, wallpaper, position and transparency. The input points into the
// project, the pictures and glyphs, which must outlive it.
struct GameWindow {
  ComposeInput input;
  WindowExtras extras;
};
GameWindow GameWindowOf(const GameProject& project, std::size_t entry, const TGamePictures& pictures, bool screen,
                        const TBitmap& glyphs);

// The entry whose picture shows entry i: itself, or the message whose window its choice shares.
std::size_t PictureEntry(const GameProject& project, std::size_t i);

// The picture file of entry i (which has a picture of its own): a still window as PNG or BMP,
// or the window typed out as the composer animates it, as GIF or animated PNG.
std::vector<std::uint8_t> GamePictureFile(const GameWindow& window, GameFormat format);

}  // namespace pw::io
