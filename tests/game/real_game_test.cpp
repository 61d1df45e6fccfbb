// The free test game's data (../shared/games/testgame-2000, skipped where absent), read as its
// SOURCE.md counts it.
#include "game/game_files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pw::game {
namespace {

constexpr const char* kTestGame = "../shared/games/testgame-2000";

TEST(RealGame, ReadsAsItsSourceCountsIt) {
  if (!std::filesystem::is_directory(kTestGame)) GTEST_SKIP() << kTestGame << " is absent";
  const TGame game = ReadGame(FolderFiles(kTestGame));
  int maps = 0;
  for (const TMapEntry& entry : game.tree.maps) maps += entry.type == 1;
  EXPECT_EQ(maps, 72);
  EXPECT_EQ(game.database.commonEvents.size(), 10u);
  std::map<int, int> codes;
  for (const TCommandList& list : game.lists)
    for (const TCommand& c : list.commands) ++codes[c.code];
  EXPECT_EQ(codes[command::kMessage], 1753);
  EXPECT_EQ(codes[command::kMessageLine], 607);
  EXPECT_EQ(codes[command::kMessageOptions], 138);
  EXPECT_EQ(codes[command::kFace], 16);
  EXPECT_EQ(codes[command::kSkin], 5);
  int messages = 0;
  int lines = 0;
  for (const TMessage& m : game.messages) {
    if (m.kind != TKind::kMessage) continue;
    ++messages;
    lines += static_cast<int>(m.lines.size());
  }
  EXPECT_EQ(messages, 1753);
  EXPECT_EQ(lines, 1753 + 607);
  EXPECT_EQ(game.database.skin, "System");
  EXPECT_EQ(game.database.font, 0);
  EXPECT_EQ(game.database.wallpaper, 0);
}

}  // namespace
}  // namespace pw::game
