// libFuzzer target of animated windows (the input is described in compose_fuzz_common.h): the
// lines are pages split at "---" lines, typed with the header's speed, hold and opening, and
// written as a GIF or an APNG file when the header asks. Any input must animate or fail with a
// library exception; every frame's change lies inside the animation's size (the first covers it
// whole), and its still picture is the window of its last page.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "compose/animate.h"
#include "compose/compose.h"
#include "compose_fuzz_common.h"
#include "gif/gif_writer.h"
#include "png/png_writer.h"
#include "toolkit/stream.h"

namespace {

constexpr std::size_t kMaxText = 12;  // each character is a frame to compose
constexpr std::size_t kMaxLines = 4;
constexpr std::size_t kMaxPages = 3;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using pw::fuzz::Check;
  return pw::fuzz::RunOnWindow(data, size, kMaxText, kMaxLines, [data](pw::fuzz::FuzzWindow w) {
    std::vector<pw::AnimationPage> pages(1);
    for (const std::string& line : w.in.lines) {
      if (line == "---" && pages.size() < kMaxPages) pages.emplace_back();
      else pages.back().lines.push_back(line);
    }
    for (pw::AnimationPage& page : pages) page.extras = w.extras;
    pw::AnimationTiming options;
    options.speed = 1 + data[10] % 20;
    options.holdTicks = data[11] % 40;
    options.open = data[10] & 0x80;
    const pw::TAnimation animation = pw::ComposeAnimation(w.in, pages, options);
    Check(!animation.frames.empty());
    const pw::TFrameRect whole{0, 0, animation.width, animation.height};
    Check(animation.frames.front().rect == whole);
    for (const pw::TTimedFrame& frame : animation.frames) {
      const pw::TFrameRect r = frame.rect;
      Check(frame.image.width == r.width && frame.image.height == r.height && frame.ticks > 0);
      Check(r.Empty() || (r.x >= 0 && r.y >= 0 && r.x + r.width <= animation.width && r.y + r.height <= animation.height));
    }
    // The still picture is the last page's window, without the arrow, grown to the animation's size.
    if (pages.size() == 1) {
      w.in.lines = pages[0].lines;
      w.extras.pauseArrow = false;
      Check(animation.still == pw::ToRgba(*pw::ComposeWindow(w.in, w.extras)));
    }
    if (data[11] & 4) {
      pw::TMemoryStream file;
      if (data[11] & 2) pw::WriteGif(animation, pw::AnimationPalette(animation, pw::gif::kMaxColours), file);
      else pw::WriteApng(animation, file);
    }
  });
}
