// Gettext catalogues and XYZ pictures of a game's translation and data.
#include "game/errors.h"
#include "game/gettext.h"
#include "game/xyz.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "tests/game/game_builder.h"

namespace pw::game {
namespace {

using gametest::Bytes;
using gametest::Span;

std::string ErrorOf(const std::function<void()>& read) {
  try {
    read();
  } catch (const EGameError& e) {
    return e.what();
  }
  return "(no error)";
}

// --- Catalogues ---

struct Entry {
  std::optional<std::string> context;
  std::string id, text;
  bool fuzzy;
};

TEST(Catalogue, ReadsEntriesAsGettextWritesThem) {
  struct Case {
    const char* what;
    std::string po;
    std::vector<Entry> entries;
  };
  const Case cases[] = {
      {"one entry", "msgid \"Hello\"\nmsgstr \"Hallo\"\n", {{std::nullopt, "Hello", "Hallo", false}}},
      {"strings continued over lines",
       "msgid \"\"\n\"Line one\\n\"\n\"Line two\"\nmsgstr \"\"\n\"Zeile eins\\n\"\n  \"Zeile zwei\"\n",
       {{std::nullopt, "Line one\nLine two", "Zeile eins\nZeile zwei", false}}},
      {"context and flags", "#: RPG_RT.ldb\n#, fuzzy, c-format\nmsgctxt \"actors.1.name\"\nmsgid \"Alex\"\nmsgstr \"Alexis\"\n",
       {{"actors.1.name", "Alex", "Alexis", true}}},
      {"a flag that only contains the word", "#, no-fuzzy-thing\nmsgid \"a\"\nmsgstr \"b\"\n", {{std::nullopt, "a", "b", false}}},
      {"the header and obsolete entries are left out",
       "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n#~ msgid \"old\"\n#~ msgstr \"alt\"\n\nmsgid \"new\"\nmsgstr \"neu\"\n",
       {{std::nullopt, "new", "neu", false}}},
      {"escapes", "msgid \"e\"\nmsgstr \"\\t\\\"\\\\\\101\\x41\\n\\?\"\n", {{std::nullopt, "e", "\t\"\\AA\n?", false}}},
      {"plural forms keep the first", "msgid \"a\"\nmsgid_plural \"as\"\nmsgstr[0] \"x\"\nmsgstr[1] \"y\"\n",
       {{std::nullopt, "a", "x", false}}},
      {"carriage returns and a byte order mark", "\xEF\xBB\xBFmsgid \"a\"\r\nmsgstr \"b\"\r\n", {{std::nullopt, "a", "b", false}}},
      {"entries without blank lines between", "msgid \"a\"\nmsgstr \"b\"\nmsgid \"c\"\nmsgstr \"d\"\n#, fuzzy\nmsgid \"e\"\nmsgstr \"f\"",
       {{std::nullopt, "a", "b", false}, {std::nullopt, "c", "d", false}, {std::nullopt, "e", "f", true}}},
      {"an untranslated entry", "msgid \"a\"\nmsgstr \"\"\n", {{std::nullopt, "a", "", false}}},
      {"UTF-8 text", "msgid \"Ma\xC3\xB1" "ana\"\nmsgstr \"\xE6\x98\x8E\xE6\x97\xA5\"\n",
       {{std::nullopt, "Ma\xC3\xB1" "ana", "\xE6\x98\x8E\xE6\x97\xA5", false}}},
  };
  for (const Case& c : cases) {
    const TCatalogue catalogue = TCatalogue::Read(c.po, "x.po");
    ASSERT_EQ(catalogue.Entries().size(), c.entries.size()) << c.what;
    for (std::size_t i = 0; i < c.entries.size(); ++i) {
      const TCatalogueEntry& e = catalogue.Entries()[i];
      EXPECT_EQ(e.context, c.entries[i].context) << c.what;
      EXPECT_EQ(e.id, c.entries[i].id) << c.what;
      EXPECT_EQ(e.text, c.entries[i].text) << c.what;
      EXPECT_EQ(e.fuzzy, c.entries[i].fuzzy) << c.what;
    }
  }
}

TEST(Catalogue, MalformedCataloguesNameTheFileAndLine) {
  struct Case {
    std::string po;
    std::string error;
  };
  const Case cases[] = {
      {"msgid \"abc\nmsgstr \"\"", "Map0001.po line 1: a string has no closing quote"},
      {"msgid \"a\"\nmsgstr \"\\q\"", "Map0001.po line 2: unknown escape \\q in a string"},
      {"\n\"stray\"", "Map0001.po line 2: a string continues nothing"},
      {"msgid \"a\"\nmsgstr \"b\"\nhello", "Map0001.po line 3: a line that is no keyword, string or comment"},
      {"msgstr \"x\"", "Map0001.po line 1: msgstr stands where it cannot"},
      {"msgid \"a\"\nmsgid \"b\"\nmsgstr \"\"", "Map0001.po line 2: msgid stands where it cannot"},
      {"# note\nmsgid \"a\"\n\nmsgstr \"b\"", "Map0001.po line 2: the entry has no msgstr"},
      {"msgid \"a\"", "Map0001.po line 1: the entry has no msgstr"},
      {"msgctxt \"c\"\n\nmsgid \"a\"", "Map0001.po line 1: msgctxt stands where it cannot"},
      {"msgid \"a\" x\nmsgstr \"\"", "Map0001.po line 1: text follows a string's closing quote"},
      {"msgid\nmsgstr \"\"", "Map0001.po line 1: msgid needs a string in double quotes"},
      {"msgid \"a\"\nmsgstr \"\xFF\"", "Map0001.po line 2: the text is not valid UTF-8"},
      {"msgid \"a\"\nmsgstr \"b\\", "Map0001.po line 2: a string has no closing quote"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf([&] { TCatalogue::Read(c.po, "Map0001.po"); }), c.error) << c.po;
}

TEST(Catalogue, LooksUpByIdAndContextSkippingEmptyTranslations) {
  const TCatalogue catalogue = TCatalogue::Read(
      "msgctxt \"actors.name\"\nmsgid \"Alex\"\nmsgstr \"Alexis\"\n\n"
      "msgid \"Alex\"\nmsgstr \"Al\"\n\n"
      "msgctxt \"actors.2.name\"\nmsgid \"Alex\"\nmsgstr \"\"\n\n"
      "msgctxt \"x\"\nmsgid \"Only\"\nmsgstr \"Nur\"\n\n"
      "msgid \"Empty\"\nmsgstr \"\"\n",
      "rpg_rt.ldb.po");
  const auto text = [](const TCatalogueEntry* e) { return e ? e->text : std::string("(none)"); };
  EXPECT_EQ(text(catalogue.Find("Alex", "actors.name")), "Alexis");
  EXPECT_EQ(text(catalogue.Find("Alex", std::nullopt)), "Al");
  EXPECT_EQ(text(catalogue.Find("Alex", "actors.2.name")), "(none)");  // empty: untranslated
  EXPECT_EQ(text(catalogue.FindAnyContext("Alex")), "Al");              // without a context first
  EXPECT_EQ(text(catalogue.FindAnyContext("Only")), "Nur");
  EXPECT_EQ(text(catalogue.FindAnyContext("Empty")), "(none)");
  EXPECT_EQ(text(catalogue.FindAnyContext("Missing")), "(none)");
}

// --- XYZ pictures, their zlib stream made by zlib itself ---

Bytes Deflated(const Bytes& raw) {
  uLongf size = compressBound(raw.size());
  Bytes out(size, '\0');
  EXPECT_EQ(compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), raw.size()), Z_OK);
  out.resize(size);
  return out;
}

Bytes XyzHeader(int width, int height) {
  return Bytes("XYZ1") + static_cast<char>(width & 0xFF) + static_cast<char>(width >> 8) + static_cast<char>(height & 0xFF) +
         static_cast<char>(height >> 8);
}

// A palette whose entry i is (i, 255 - i, i ^ 0x55).
Bytes Palette() {
  Bytes p;
  for (int i = 0; i < 256; ++i) p += {static_cast<char>(i), static_cast<char>(255 - i), static_cast<char>(i ^ 0x55)};
  return p;
}

TEST(Xyz, ReadsPaletteAndIndicesRowByRow) {
  // 3x2 pixels: rows of 3 bytes are no multiple of 4, so the bitmap's padding is crossed.
  const Bytes indices = {'\x00', '\x01', '\x02', '\x10', '\xFE', '\xFF'};
  const Bytes file = XyzHeader(3, 2) + Deflated(Palette() + indices);
  const TBitmap picture = ReadXyz(Span(file), "System/Skin.xyz");
  ASSERT_EQ(picture.GetWidth(), 3);
  ASSERT_EQ(picture.GetHeight(), 2);
  EXPECT_EQ(picture.GetPixelFormat(), TPixelFormat::pf8bit);
  ASSERT_EQ(picture.GetPalette().size(), 256u);
  EXPECT_EQ(picture.GetPalette()[0], (TPaletteEntry{0, 255, 0x55, 0}));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const int i = static_cast<unsigned char>(indices[static_cast<std::size_t>(3 * y + x)]);
      EXPECT_EQ(picture.ScanLine(y)[x], i) << x << "," << y;
      EXPECT_EQ(picture.GetPixelColor(x, y), RGB(i, 255 - i, i ^ 0x55)) << x << "," << y;
    }
  }
}

TEST(Xyz, DamagedPicturesAreRefusedByName) {
  const Bytes six(6, '\x07');
  const Bytes whole = Deflated(Palette() + six);
  struct Case {
    const char* what;
    Bytes file;
    std::string error;
  };
  const Case cases[] = {
      {"another signature", "XYZ2" + XyzHeader(3, 2).substr(4) + whole, "s.xyz is no XYZ picture: it does not start with XYZ1"},
      {"a header cut short", "XYZ1\x03", "s.xyz is no XYZ picture: it does not start with XYZ1"},
      {"no width", XyzHeader(0, 2) + whole, "s.xyz is an XYZ picture of 0x2 pixels, which is empty or too large"},
      {"larger than any picture", XyzHeader(65535, 65535) + whole,
       "s.xyz is an XYZ picture of 65535x65535 pixels, which is empty or too large"},
      {"a stream cut short", XyzHeader(3, 2) + whole.substr(0, whole.size() / 2), "s.xyz is a damaged XYZ picture: its pixels end before 774 bytes"},
      {"no stream", XyzHeader(3, 2), "s.xyz is a damaged XYZ picture: its pixels end before 774 bytes"},
      {"too few pixels", XyzHeader(3, 3) + whole, "s.xyz is a damaged XYZ picture: its pixels end before 777 bytes"},
      {"a huge claim with little data", XyzHeader(16384, 16384) + whole,
       "s.xyz is a damaged XYZ picture: its pixels end before 268436224 bytes"},
      {"too many pixels", XyzHeader(2, 2) + whole, "s.xyz is a damaged XYZ picture: its data holds more than 772 bytes"},
      {"not zlib", XyzHeader(3, 2) + "garbage!", "s.xyz is a damaged XYZ picture: its zlib stream is damaged"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf([&] { ReadXyz(Span(c.file), "s.xyz"); }), c.error) << c.what;
}

}  // namespace
}  // namespace pw::game
