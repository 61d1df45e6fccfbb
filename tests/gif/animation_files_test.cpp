// Animations written as GIF and animated PNG, read back by giflib's decoder, by Pillow and by the
// chunks themselves: every decoded frame is the window that the typing rules put there, composed
// on its own, for the delay worked out by hand.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "compose/animate.h"
#include "compose/steps.h"
#include "gif/gif_writer.h"
#include "png/png_writer.h"
#include "resources/resources.h"
#include "tests/compose/test_pictures.h"
#include "tests/png/external_readers.h"
#include "toolkit/stream.h"

namespace pw {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Transparent pixels compare equal whatever their colour.
bool SamePixels(const TRgbaImage& a, const TRgbaImage& b) {
  if (a.width != b.width || a.height != b.height) return false;
  for (std::size_t i = 0; i < a.rgba.size(); i += 4) {
    if (a.rgba[i + 3] != b.rgba[i + 3]) return false;
    if (a.rgba[i + 3] != 0 && std::memcmp(&a.rgba[i], &b.rgba[i], 3) != 0) return false;
  }
  return true;
}

// The largest difference of one channel of two opaque pictures of one size.
int LargestChannelDifference(const TRgbaImage& a, const TRgbaImage& b) {
  int largest = 0;
  for (std::size_t i = 0; i < a.rgba.size(); ++i) largest = std::max(largest, std::abs(a.rgba[i] - b.rgba[i]));
  return largest;
}

// A skin of 50 colours: 16x16 blocks of one colour each.
TBitmap BlockSkin() {
  return testing::Picture(160, 80, [](int x, int y) {
    return RGB(static_cast<std::uint8_t>(x / 16 * 20), static_cast<std::uint8_t>(y / 16 * 40), 0x80);
  });
}

// What one frame shows, as the typing rules give it: the first `shown` characters of `page`, the
// arrow, or the window opening (rows of the bare window), for `ticks`.
struct Expected {
  std::size_t page = 0;
  std::size_t shown = 0;
  bool arrow = false;
  int ticks = 0;
  int openRows = 0;  // > 0: the opening frame showing this many middle rows
};

class AnimationFiles : public ::testing::Test {
 protected:
  ComposeInput Input(const TBitmap* skin = nullptr) {
    ComposeInput in;
    in.systemGraphic = skin != nullptr ? skin : &skin_;
    in.gaizi = &builtIn_;
    in.fonts = &fonts_;
    return in;
  }
  TAnimation Animate(const std::vector<AnimationPage>& pages, int speed, int hold, int plays, bool open,
                     const TBitmap* skin = nullptr) {
    AnimationTiming options;
    options.speed = speed;
    options.plays = plays;
    options.open = open;
    options.holdTicks = hold;
    return ComposeAnimation(Input(skin), pages, options);
  }
  // Each expected frame as a whole picture of the animation's size, composed without the animation.
  std::vector<TRgbaImage> Pictures(const std::vector<AnimationPage>& pages, const std::vector<Expected>& frames,
                                   WindowSize size, const TBitmap* skin = nullptr) {
    std::vector<TRgbaImage> pictures;
    for (const Expected& f : frames) {
      ComposeInput in = Input(skin);
      in.lines = pages[f.page].lines;
      WindowExtras extras = pages[f.page].extras;
      extras.pauseArrow = f.arrow;
      if (f.openRows > 0) {  // the window without text or face, its rows outside the middle transparent
        in.lines.clear();
        const TRgbaImage bare = ToRgba(*steps::ComposeWindowPart(in, {}, size, 0));
        TRgbaImage open(bare.width, bare.height);
        const int top = (bare.height - f.openRows) / 2;
        std::copy(bare.Pixel(0, top), bare.Pixel(0, top + f.openRows), open.Pixel(0, top));
        pictures.push_back(open);
        continue;
      }
      pictures.push_back(ToRgba(*steps::ComposeWindowPart(in, extras, size, f.shown)));
    }
    return pictures;
  }
  static Bytes Gif(const TAnimation& animation) {
    TMemoryStream stream;
    WriteGif(animation, AnimationPalette(animation, gif::kMaxColours), stream);
    return stream.Bytes();
  }
  static Bytes Apng(const TAnimation& animation) {
    TMemoryStream stream;
    WriteApng(animation, stream);
    return stream.Bytes();
  }
  std::string Save(const Bytes& bytes, const std::string& name) {
    const std::string path = (std::filesystem::temp_directory_path() / ("pw-anim-" + std::to_string(::getpid()) + name)).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    saved_.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const std::string& path : saved_) std::filesystem::remove(path);
  }

  TBitmap skin_ = BlockSkin();
  TBitmap builtIn_ = testing::Sheet(156, 48, {{1, 1}});
  TBitmap faces_ = testing::Picture(96, 48, [](int x, int y) {  // face 0 reds, face 1 blues: 4608 colours
    return x < 48 ? RGB(static_cast<std::uint8_t>(40 + 4 * x), static_cast<std::uint8_t>(4 * y), 0)
                  : RGB(0, static_cast<std::uint8_t>(4 * y), static_cast<std::uint8_t>(40 + 4 * (x - 48)));
  });
  TBitmap checkedFace_ = testing::Picture(48, 48, [](int x, int y) { return (x / 8 + y / 8) % 2 ? RGB(200, 40, 40) : RGB(40, 40, 200); });
  TFontCache fonts_;
  std::vector<std::string> saved_;
};

// --- GIF through giflib's decoder ---

struct DecodedGif {
  std::vector<TRgbaImage> frames;  // the canvas after each image
  std::vector<int> delays;
  int loopCount = -1;  // -1: no NETSCAPE2.0 block
  int width = 0;
  int height = 0;
};

struct MemoryInput {
  const Bytes* bytes;
  std::size_t at = 0;
};

int ReadMemory(GifFileType* file, GifByteType* out, int size) {
  auto* input = static_cast<MemoryInput*>(file->UserData);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), input->bytes->size() - input->at);
  std::memcpy(out, input->bytes->data() + input->at, n);
  input->at += n;
  return static_cast<int>(n);
}

DecodedGif DecodeGif(const Bytes& bytes) {
  MemoryInput input{&bytes};
  int error = 0;
  GifFileType* file = DGifOpen(&input, ReadMemory, &error);
  EXPECT_NE(file, nullptr);
  DecodedGif decoded;
  if (file == nullptr) return decoded;
  EXPECT_EQ(DGifSlurp(file), GIF_OK);
  decoded.width = file->SWidth;
  decoded.height = file->SHeight;
  TRgbaImage canvas(file->SWidth, file->SHeight);
  for (int i = 0; i < file->ImageCount; ++i) {
    const SavedImage& image = file->SavedImages[i];
    for (int e = 0; e + 1 < image.ExtensionBlockCount; ++e) {
      const ExtensionBlock& block = image.ExtensionBlocks[e];
      if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
          std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0) {
        const ExtensionBlock& data = image.ExtensionBlocks[e + 1];
        decoded.loopCount = data.Bytes[1] | (data.Bytes[2] << 8);
      }
    }
    GraphicsControlBlock control{};
    EXPECT_EQ(DGifSavedExtensionToGCB(file, i, &control), GIF_OK);
    EXPECT_EQ(control.DisposalMode, DISPOSE_DO_NOT);
    const GifImageDesc& d = image.ImageDesc;
    const ColorMapObject* map = file->SColorMap;
    for (int y = 0; y < d.Height; ++y) {
      for (int x = 0; x < d.Width; ++x) {
        const int index = image.RasterBits[y * d.Width + x];
        if (index == control.TransparentColor) continue;
        std::uint8_t* p = canvas.Pixel(d.Left + x, d.Top + y);
        const GifColorType c = map->Colors[index];
        p[0] = c.Red, p[1] = c.Green, p[2] = c.Blue, p[3] = 255;
      }
    }
    decoded.frames.push_back(canvas);
    decoded.delays.push_back(control.DelayTime);
  }
  DGifCloseFile(file, &error);
  return decoded;
}

TEST(GifTiming, DelaysCarryTheRemainderAndNeverFallUnderTwo) {
  struct Case {
    std::vector<int> ticks;
    std::string expected;  // "frame:delay" per GIF frame
  };
  const Case cases[] = {
      {{1, 1, 1, 1}, "0:2 2:3 3:2"},  // 1.67, 3.33, 5, 6.67 hundredths
      {{120}, "0:200"},
      {{1, 17, 3}, "0:2 1:28 2:5"},
      {{4, 1}, "0:8"},                // a last tick too short for a frame lengthens the one before
      {{1}, "0:2"},
  };
  for (const Case& c : cases) {
    std::vector<TTimedFrame> frames;
    for (int t : c.ticks) frames.push_back({{0, 0, 1, 1}, TRgbaImage(1, 1), t});
    std::string got;
    for (const GifSpan& span : GifTiming(frames)) {
      got += (got.empty() ? "" : " ") + std::to_string(span.frame) + ":" + std::to_string(span.delay);
    }
    EXPECT_EQ(got, c.expected);
  }
}

// The frames and delays of each row are worked out by hand: the steps from the typing rules
// (animate.h), the delays in hundredths from their rounded ends (GifTiming's rule), the pictures
// composed window by window.
TEST_F(AnimationFiles, GifFramesAreTheWindowsOfTheTypingRules) {
  AnimationPage waited{{"a\\.b"}, {}};
  waited.extras.gameCodes = true;
  AnimationPage faced{{"c"}, {}};
  faced.extras.faceSheet = &checkedFace_;
  struct Case {
    std::vector<AnimationPage> pages;
    int speed, hold, plays;
    bool open;
    int loopCount;
    std::vector<Expected> frames;  // one per GIF image
    std::vector<int> delays;
  };
  const Case cases[] = {
      // "2:2 2*:16 2:16 2*:8": ends at 2, 18, 34, 42 ticks = 3, 30, 57, 70 hundredths.
      {{{{"ab"}, {}}}, 1, 40, 0, false, 0,
       {{0, 2, false}, {0, 2, true}, {0, 2, false}, {0, 2, true}}, {3, 27, 27, 13}},
      // Opening rows 5 9 14 18 23 27 32, then "2:1 3:2": ends at 1..8 and 10 ticks = 2 3 5 7 8 10
      // 12 13 17 hundredths; a step ending less than 2 after the last image joins the next.
      {{{{"abc"}, {}}}, 1, 0, 3, true, 2,
       {{0, 0, false, 0, 5}, {0, 0, false, 0, 14}, {0, 0, false, 0, 18}, {0, 0, false, 0, 27}, {0, 0, false, 0, 32}, {0, 3}},
       {2, 3, 2, 3, 2, 5}},
      // "1:17 2:2 2*:16 p1/1:2 p1/1*:16": ends at 17 19 35 37 53 ticks = 28 32 58 62 88 hundredths.
      {{waited, faced}, 1, 16, 1, false, -1,
       {{0, 1}, {0, 2}, {0, 2, true}, {1, 1}, {1, 1, true}}, {28, 4, 26, 4, 26}},
  };
  for (const Case& c : cases) {
    const TAnimation animation = Animate(c.pages, c.speed, c.hold, c.plays, c.open);
    const std::vector<TRgbaImage> expected = Pictures(c.pages, c.frames, {animation.width, animation.height});
    const DecodedGif decoded = DecodeGif(Gif(animation));
    EXPECT_EQ(decoded.loopCount, c.loopCount);
    EXPECT_EQ(decoded.delays, c.delays);
    ASSERT_EQ(decoded.frames.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_TRUE(SamePixels(decoded.frames[i], expected[i])) << "frame " << i;
  }
}

// More than 255 colours: the palette is reduced from every page's finished window, so each
// page's colours stay close, channel by channel, in every frame.
TEST_F(AnimationFiles, GifOfManyColoursKeepsEveryPageClose) {
  const TBitmap coordinates = testing::CoordinateSkin();  // thousands of colours
  AnimationPage reds{{"ab"}, {}};
  reds.extras.faceSheet = &faces_;
  AnimationPage blues = reds;
  blues.extras.faceIndex = 1;
  struct Case {
    std::vector<AnimationPage> pages;
    const TBitmap* skin;
    std::vector<Expected> frames;  // "2:2 2*:16" a page, at speed 1 and a hold of 16
  };
  const Case cases[] = {
      {{{{"ab"}, {}}}, &coordinates, {{0, 2}, {0, 2, true}}},
      {{reds, blues}, nullptr, {{0, 2}, {0, 2, true}, {1, 2}, {1, 2, true}}},
  };
  for (const Case& c : cases) {
    const TAnimation animation = Animate(c.pages, 1, 16, 0, false, c.skin);
    const std::vector<TRgbaImage> expected = Pictures(c.pages, c.frames, {animation.width, animation.height}, c.skin);
    std::set<TColor> colours;
    for (const TRgbaImage& picture : expected)
      for (std::size_t i = 0; i < picture.rgba.size(); i += 4) colours.insert(RGB(picture.rgba[i], picture.rgba[i + 1], picture.rgba[i + 2]));
    ASSERT_GT(colours.size(), 255u);
    const DecodedGif decoded = DecodeGif(Gif(animation));
    ASSERT_EQ(decoded.frames.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_LE(LargestChannelDifference(decoded.frames[i], expected[i]), 24) << "frame " << i;
    }
  }
}

TEST_F(AnimationFiles, GifRefusesMoreThan65535PixelsBeforeWriting) {
  struct Case {
    int width, height;
    bool refused;
  };
  const Case cases[] = {{65535, 4, false}, {65536, 4, true}, {4, 65535, false}, {4, 65536, true}};
  for (const Case& c : cases) {
    TAnimation animation;
    animation.width = c.width;
    animation.height = c.height;
    animation.frames.push_back({{0, 0, c.width, c.height}, TRgbaImage(c.width, c.height), 1});
    TMemoryStream stream;
    if (!c.refused) {
      WriteGif(animation, {}, stream);
      const DecodedGif decoded = DecodeGif(stream.Bytes());
      EXPECT_EQ(decoded.width, c.width);
      EXPECT_EQ(decoded.height, c.height);
      continue;
    }
    try {
      WriteGif(animation, {}, stream);
      ADD_FAILURE() << c.width << "x" << c.height << " was written";
    } catch (const EGifWrite& e) {
      EXPECT_EQ(std::string(e.what()), "A GIF is at most 65535 pixels wide and high, and this animation is " +
                                           std::to_string(c.width) + "x" + std::to_string(c.height) +
                                           ": write it as an animated PNG (.png) instead");
      EXPECT_EQ(stream.Bytes().size(), 0u);
    }
  }
}

// --- Animated PNG: its chunks, and Pillow's reading of GIF and APNG ---

struct ApngFrameControl {
  std::uint32_t sequence;
  TFrameRect rect;
  int delayNumerator, delayDenominator;
};

// The fcTL chunks, and the sequence numbers of fcTL and fdAT in file order.
struct ApngChunks {
  std::vector<ApngFrameControl> controls;
  std::vector<std::uint32_t> sequence;
  std::uint32_t frameCount = 0;
};

ApngChunks ReadApngChunks(const Bytes& bytes) {
  const auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3]);
  };
  const auto u16 = [&](std::size_t at) { return bytes[at] << 8 | bytes[at + 1]; };
  ApngChunks chunks;
  for (std::size_t at = 8; at + 12 <= bytes.size();) {
    const std::uint32_t length = u32(at);
    const std::string type(bytes.begin() + static_cast<std::ptrdiff_t>(at + 4), bytes.begin() + static_cast<std::ptrdiff_t>(at + 8));
    const std::size_t data = at + 8;
    if (type == "acTL") chunks.frameCount = u32(data);
    if (type == "fdAT") chunks.sequence.push_back(u32(data));
    if (type == "fcTL") {
      chunks.sequence.push_back(u32(data));
      chunks.controls.push_back({u32(data),
                                 {static_cast<int>(u32(data + 12)), static_cast<int>(u32(data + 16)),
                                  static_cast<int>(u32(data + 4)), static_cast<int>(u32(data + 8))},
                                 u16(data + 20), u16(data + 22)});
    }
    at = data + length + 4;
  }
  return chunks;
}

// The frames and durations (ms) Pillow decodes, each frame as RGBA; nullopt when Pillow is not
// installed. A file Pillow refuses fails the test.
struct PillowAnimation {
  std::vector<TRgbaImage> frames;
  std::vector<double> durations;
};
std::optional<PillowAnimation> PillowFrames(const std::string& path) {
  if (!test::HasPillow()) return std::nullopt;
  const std::string script =
      "import sys\nfrom PIL import Image, ImageSequence\nim = Image.open(sys.argv[1])\n"
      "for f in ImageSequence.Iterator(im):\n"
      "    sys.stdout.write('%d %d %s %s\\n' % (f.size[0], f.size[1], f.info.get('duration', 0), "
      "f.convert('RGBA').tobytes().hex()))\n";
  const auto out = test::Output(std::string(test::kSystemPython) + " -c " + test::Quoted(script) + " " +
                                test::Quoted(path) + " 2>&1");
  PillowAnimation animation;
  EXPECT_TRUE(out.has_value()) << "Pillow refused " << path;
  if (!out) return animation;
  for (std::size_t at = 0; at < out->size();) {
    const std::size_t end = out->find('\n', at);
    std::istringstream line(out->substr(at, end - at));
    int w = 0, h = 0;
    double duration = 0;
    std::string hex;
    line >> w >> h >> duration >> hex;
    TRgbaImage image(w, h);
    for (std::size_t i = 0; i < image.rgba.size(); ++i) image.rgba[i] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    animation.frames.push_back(std::move(image));
    animation.durations.push_back(duration);
    at = end + 1;
  }
  return animation;
}

TEST_F(AnimationFiles, ApngChunksCountFramesInSixtiethsWhereTheyChanged) {
  const std::vector<AnimationPage> pages = {{{"ab", "c"}, {}}};
  // "2:1 3:2 3*:16 3:4" at speed 1 with a hold of 20, no opening.
  const std::vector<Expected> frames = {{0, 2, false, 1}, {0, 3, false, 2}, {0, 3, true, 16}, {0, 3, false, 4}};
  for (int plays : {0, 1, 5}) {
    const TAnimation animation = Animate(pages, 1, 20, plays, false);
    const Bytes bytes = Apng(animation);
    const std::string path = Save(bytes, "p.png");
    if (const auto complaint = test::PngcheckComplaint(path)) EXPECT_EQ(*complaint, "") << plays;
    // acTL follows IHDR: frame count, then plays.
    ASSERT_EQ(std::string(bytes.begin() + 37, bytes.begin() + 41), "acTL");
    EXPECT_EQ((bytes[45] << 24) | (bytes[46] << 16) | (bytes[47] << 8) | bytes[48], plays);
    const ApngChunks chunks = ReadApngChunks(bytes);
    EXPECT_EQ(chunks.frameCount, frames.size());
    for (std::size_t i = 0; i < chunks.sequence.size(); ++i) EXPECT_EQ(chunks.sequence[i], i);
    const std::vector<TRgbaImage> pictures = Pictures(pages, frames, {animation.width, animation.height});
    ASSERT_EQ(chunks.controls.size(), frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
      const ApngFrameControl& control = chunks.controls[i];
      EXPECT_EQ(control.delayNumerator, frames[i].ticks) << i;
      EXPECT_EQ(control.delayDenominator, 60) << i;
      // Every pixel that differs from the frame before lies inside the frame's rectangle.
      const TFrameRect r = control.rect;
      for (int y = 0; y < animation.height && i > 0; ++y)
        for (int x = 0; x < animation.width; ++x) {
          const bool inside = x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
          if (!inside) {
            ASSERT_TRUE(std::equal(pictures[i].Pixel(x, y), pictures[i].Pixel(x, y) + 4, pictures[i - 1].Pixel(x, y)))
                << "frame " << i << " changed at " << x << "," << y << " outside its rectangle";
          }
        }
    }
    // Pillow places each frame by its offsets: the default image, then every frame.
    const auto read = PillowFrames(path);
    if (!read) continue;
    ASSERT_EQ(read->frames.size(), frames.size() + 1);
    EXPECT_TRUE(SamePixels(read->frames.front(), animation.still));
    for (std::size_t i = 0; i < frames.size(); ++i) {
      EXPECT_TRUE(SamePixels(read->frames[i + 1], pictures[i])) << "frame " << i;
      EXPECT_NEAR(read->durations[i + 1], frames[i].ticks * 1000.0 / 60, 0.01) << "frame " << i;
    }
  }
}

TEST_F(AnimationFiles, PillowReadsTheSameFramesFromGifAndApng) {
  if (!test::HasPillow()) GTEST_SKIP() << "Pillow is not installed";
  AnimationPage first{{"ab\\_c", "\\S[3]de"}, {}};
  first.extras.gameCodes = true;
  const std::vector<AnimationPage> pages = {first, {{"f"}, {}}};
  const TAnimation animation = Animate(pages, 1, 40, 0, true);
  ASSERT_EQ(animation.height, 48);
  // Opening rows 7 14 21 27 34 41 48 of 48, then by the typing rules "2:1 3:1 4:2 5:2 5*:16 5:16
  // 5*:8 p1/1:2 p1/1*:16 p1/1:16 p1/1*:8": b waits 1 (counter 1), \_ 0 (counter 2), c 1 (the
  // line's last); \S[3] waits 0, d 3 / 2 + 1 = 2, e the page's last 2; f the page's last 2.
  std::vector<Expected> frames;
  for (int rows : {7, 14, 21, 27, 34, 41, 48}) frames.push_back({0, 0, false, 1, rows});
  const std::vector<Expected> typed = {{0, 2, false, 1}, {0, 3, false, 1}, {0, 4, false, 2}, {0, 5, false, 2},
                                       {0, 5, true, 16}, {0, 5, false, 16}, {0, 5, true, 8}, {1, 1, false, 2},
                                       {1, 1, true, 16}, {1, 1, false, 16}, {1, 1, true, 8}};
  frames.insert(frames.end(), typed.begin(), typed.end());
  const std::vector<TRgbaImage> pictures = Pictures(pages, frames, {animation.width, animation.height});
  // GIF images: a frame ending less than 2 hundredths after the last image joins the next.
  // Ends in ticks 1..7 (opening), 8 9 11 13 29 45 53 55 71 87 95 = hundredths 2 3 5 7 8 10 12
  // 13 15 18 22 48 75 88 92 118 145 158.
  const std::vector<std::size_t> gifFrames = {0, 2, 3, 5, 6, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
  const auto gif = PillowFrames(Save(Gif(animation), "a.gif"));
  const auto apng = PillowFrames(Save(Apng(animation), "a.png"));
  ASSERT_TRUE(gif && apng);
  ASSERT_EQ(gif->frames.size(), gifFrames.size());
  for (std::size_t i = 0; i < gifFrames.size(); ++i)
    EXPECT_TRUE(SamePixels(gif->frames[i], pictures[gifFrames[i]])) << "GIF frame " << i;
  // The default image, then every frame.
  ASSERT_EQ(apng->frames.size(), frames.size() + 1);
  EXPECT_TRUE(SamePixels(apng->frames.front(), animation.still));
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_TRUE(SamePixels(apng->frames[i + 1], pictures[i])) << "APNG frame " << i;
    EXPECT_NEAR(apng->durations[i + 1], frames[i].ticks * 1000.0 / 60, 0.01) << "APNG frame " << i;
  }
}

TEST_F(AnimationFiles, FourLinesOfThirtyCharactersStayUnderSixtyKilobytes) {
  const auto skinBytes = resources::SampleSkins().front().bmp;
  TMemoryStream stream(std::vector<std::uint8_t>(skinBytes.begin(), skinBytes.end()));
  TBitmap skin;
  skin.LoadFromStream(stream);
  const std::string line = "The quick brown fox jumps over";  // 30 characters
  const TAnimation animation = Animate({{{line, line, line, line}, {}}}, 1, 120, 0, true, &skin);
  EXPECT_LT(Gif(animation).size(), 60u * 1024);
}

}  // namespace
}  // namespace pw
