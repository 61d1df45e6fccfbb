// Animations written as GIF and animated PNG, read back by giflib's decoder and by Pillow:
// every decoded frame is the composed frame it stands for.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "compose/animate.h"
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

// A skin of 50 colours: 16x16 blocks of one colour each.
TBitmap BlockSkin() {
  return testing::Picture(160, 80, [](int x, int y) {
    return RGB(static_cast<std::uint8_t>(x / 16 * 20), static_cast<std::uint8_t>(y / 16 * 40), 0x80);
  });
}

class AnimationFiles : public ::testing::Test {
 protected:
  TAnimation Animate(std::vector<AnimationPage> pages, int plays = 0, bool open = true, const TBitmap* skin = nullptr) {
    ComposeInput in;
    in.systemGraphic = skin != nullptr ? skin : &skin_;
    in.gaizi = &builtIn_;
    in.fonts = &fonts_;
    AnimationTiming options;
    options.plays = plays;
    options.open = open;
    options.holdTicks = 40;
    return ComposeAnimation(in, pages, options);
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
  TFontCache fonts_;
  std::vector<std::string> saved_;
};

// --- GIF through giflib's decoder ---

struct DecodedGif {
  std::vector<TRgbaImage> frames;  // the canvas after each image
  std::vector<int> delays;
  int loopCount = -1;  // -1: no NETSCAPE2.0 block
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

TEST_F(AnimationFiles, GifFramesDecodeToTheComposedFrames) {
  const TBitmap coordinates = testing::CoordinateSkin();  // thousands of colours: the reduced palette
  struct Case {
    std::vector<AnimationPage> pages;
    int plays;
    bool open;
    const TBitmap* skin;
    int loopCount;
  };
  AnimationPage codes{{"ab\\.c$B", "\\C[3]\\>xyz\\<\\!w"}, {}};
  codes.extras.gameCodes = true;
  const Case cases[] = {
      {{{{"Hello"}, {}}}, 0, true, nullptr, 0},
      {{codes, {{"next page", "two"}, {}}}, 1, false, nullptr, -1},
      {{{{"abc"}, {}}}, 3, true, nullptr, 2},
      {{{{"abc"}, {}}}, 0, false, &coordinates, 0},
  };
  for (const Case& c : cases) {
    const TAnimation animation = Animate(c.pages, c.plays, c.open, c.skin);
    const std::vector<GifSpan> spans = GifTiming(animation.frames);
    TFrameReplay frames(animation);
    const DecodedGif decoded = DecodeGif(Gif(animation));
    EXPECT_EQ(decoded.loopCount, c.loopCount);
    ASSERT_EQ(decoded.frames.size(), spans.size());
    const bool exact = c.skin == nullptr;  // with a reduced palette, colours are the nearest
    for (std::size_t i = 0; i < spans.size(); ++i) {
      EXPECT_EQ(decoded.delays[i], spans[i].delay) << i;
      if (exact) {
        EXPECT_TRUE(SamePixels(decoded.frames[i], frames.At(spans[i].frame))) << "frame " << i;
      }
    }
    if (!exact) {
      EXPECT_EQ(decoded.frames.back().width, animation.width);
    }
  }
}

// --- Pillow reads GIF and APNG frames ---

// The frames Pillow decodes, each as RGBA.
std::optional<std::vector<TRgbaImage>> PillowFrames(const std::string& path) {
  if (!test::HasPillow()) return std::nullopt;
  const std::string script =
      "import sys\nfrom PIL import Image, ImageSequence\nim = Image.open(sys.argv[1])\n"
      "for f in ImageSequence.Iterator(im):\n"
      "    sys.stdout.write('%d %d %s\\n' % (f.size[0], f.size[1], f.convert('RGBA').tobytes().hex()))\n";
  const auto out = test::Output(std::string(test::kSystemPython) + " -c " + test::Quoted(script) + " " +
                                test::Quoted(path) + " 2>/dev/null");
  if (!out) return std::nullopt;
  std::vector<TRgbaImage> frames;
  std::size_t at = 0;
  while (at < out->size()) {
    const std::size_t end = out->find('\n', at);
    std::istringstream line(out->substr(at, end - at));
    int w = 0, h = 0;
    std::string hex;
    line >> w >> h >> hex;
    TRgbaImage image(w, h);
    for (std::size_t i = 0; i < image.rgba.size(); ++i) image.rgba[i] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    frames.push_back(std::move(image));
    at = end + 1;
  }
  return frames;
}

TEST_F(AnimationFiles, PillowReadsTheSameFramesFromGifAndApng) {
  AnimationPage first{{"ab\\_c", "\\S[3]de"}, {}};
  first.extras.gameCodes = true;
  const TAnimation animation = Animate({first, {{"f"}, {}}});
  const auto gif = PillowFrames(Save(Gif(animation), "a.gif"));
  const auto apng = PillowFrames(Save(Apng(animation), "a.png"));
  if (!gif || !apng) GTEST_SKIP() << "Pillow is not installed";
  const std::vector<GifSpan> spans = GifTiming(animation.frames);
  TFrameReplay frames(animation);
  ASSERT_EQ(gif->size(), spans.size());
  for (std::size_t i = 0; i < spans.size(); ++i)
    EXPECT_TRUE(SamePixels((*gif)[i], frames.At(spans[i].frame))) << "GIF frame " << i;
  // The default image, then every frame.
  ASSERT_EQ(apng->size(), animation.frames.size() + 1);
  EXPECT_TRUE(SamePixels(apng->front(), animation.still));
  for (std::size_t i = 0; i < animation.frames.size(); ++i)
    EXPECT_TRUE(SamePixels((*apng)[i + 1], frames.At(i))) << "APNG frame " << i;
}

TEST_F(AnimationFiles, ApngChunksAndPlays) {
  for (int plays : {0, 1, 5}) {
    const TAnimation animation = Animate({{{"ab"}, {}}}, plays);
    const std::string path = Save(Apng(animation), "p.png");
    if (const auto complaint = test::PngcheckComplaint(path)) {
      EXPECT_EQ(*complaint, "") << plays;
    }
    const Bytes bytes = Apng(animation);
    // acTL follows IHDR: frame count, then plays.
    ASSERT_EQ(std::string(bytes.begin() + 37, bytes.begin() + 41), "acTL");
    const auto u32 = [&](std::size_t at) {
      return (bytes[at] << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3];
    };
    EXPECT_EQ(u32(41), static_cast<int>(animation.frames.size()));
    EXPECT_EQ(u32(45), plays);
  }
}

TEST_F(AnimationFiles, FourLinesOfThirtyCharactersStayUnderSixtyKilobytes) {
  const auto skinBytes = resources::SampleSkins().front().bmp;
  TMemoryStream stream(std::vector<std::uint8_t>(skinBytes.begin(), skinBytes.end()));
  TBitmap skin;
  skin.LoadFromStream(stream);
  const std::string line = "The quick brown fox jumps over";  // 30 characters
  const TAnimation animation = Animate({{{line, line, line, line}, {}}}, 0, true, &skin);
  EXPECT_LT(Gif(animation).size(), 60u * 1024);
}

}  // namespace
}  // namespace pw
