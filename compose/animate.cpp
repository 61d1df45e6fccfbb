#include "compose/animate.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <tuple>

#include "compose/steps.h"
#include "dib/qvdib.h"

namespace pw {
namespace {

// The typing of one page, tick by tick: characters that appeared since the last step are
// pending until a step ends and shows them.
class TPageTyper {
 public:
  TPageTyper(std::size_t page, const AnimationTiming& options, std::vector<AnimationStep>& steps)
      : page_(page), options_(options), speed_(options.speed), steps_(steps) {}

  void Run(const std::vector<TimingEvent>& events) {
    for (const TimingEvent& event : events) Take(event);
    Flush();
    Show(timing::kEndTicks);
    if (!noHold_) Blink(options_.holdTicks);
  }

 private:
  void Take(const TimingEvent& event) {
    switch (event.kind) {
      case TimingKind::kHalf: ++shown_; [[fallthrough]];
      case TimingKind::kThin: Half(); break;
      case TimingKind::kFull:
        ++shown_;
        if (instant_) pending_ = true;
        else Show(speed_ == 1 ? 1 : speed_ + 1);
        break;
      case TimingKind::kLineEnd:
        halves_ = 0;
        if (!instant_) Flush();
        break;
      case TimingKind::kWait: Flush(); Show(event.value); break;
      case TimingKind::kHold: Flush(); Blink(options_.holdTicks); break;
      case TimingKind::kInstantOn: Flush(); instant_ = true; break;
      case TimingKind::kInstantOff:
        if (instant_) Flush();
        instant_ = false;
        break;
      case TimingKind::kSpeed: speed_ = event.value; break;
      case TimingKind::kNoHold: noHold_ = true; break;
    }
  }

  // At speed 1 every second half-width character of a line ends its tick; above, each takes
  // speed / 2 + 1 ticks.
  void Half() {
    ++halves_;
    if (instant_) pending_ = true;
    else if (speed_ > 1) Show(speed_ / 2 + 1);
    else if (halves_ % 2 == 0) Show(1);
    else pending_ = true;
  }

  // Ends the tick that shows characters not yet shown.
  void Flush() {
    if (pending_) Show(1);
  }

  void Show(int ticks, bool arrow = false) {
    pending_ = false;
    if (ticks <= 0) return;
    AnimationStep step{0, page_, shown_, arrow, ticks};
    if (!steps_.empty()) {
      AnimationStep& last = steps_.back();
      if (last.opening == 0 && last.page == page_ && last.shown == shown_ && last.arrow == arrow) {
        last.ticks += ticks;
        return;
      }
    }
    steps_.push_back(step);
  }

  // The pause arrow shows and hides in turns for the hold.
  void Blink(int ticks) {
    for (int t = 0; t < ticks; t += timing::kBlinkTicks) {
      Show(std::min(timing::kBlinkTicks, ticks - t), (t / timing::kBlinkTicks) % 2 == 0);
    }
  }

  std::size_t page_;
  const AnimationTiming& options_;
  int speed_;
  std::vector<AnimationStep>& steps_;
  std::size_t shown_ = 0;
  bool pending_ = false;
  int halves_ = 0;
  bool instant_ = false;
  bool noHold_ = false;
};

// Rows of the middle k/7 of a window h rows high, at least 2.
std::pair<int, int> OpenRows(int height, int k) {
  const int rows = std::clamp((2 * height * k + timing::kOpenSteps) / (2 * timing::kOpenSteps), std::min(2, height), height);
  const int top = (height - rows) / 2;
  return {top, top + rows};
}

// The frame with the window's rows outside its middle k/7 as the band shows a closed window.
TRgbaImage OpeningFrame(const TRgbaImage& empty, const steps::TWindowBand& band, int k) {
  TRgbaImage frame = band.closed;
  const auto [first, last] = OpenRows(band.height, k);
  const int top = band.top + first;
  const std::size_t rowBytes = 4 * static_cast<std::size_t>(empty.width);
  std::copy_n(empty.Pixel(0, top), rowBytes * static_cast<std::size_t>(last - first), frame.Pixel(0, top));
  return frame;
}

// The colours of the still picture reduced to 8 bits, at most limit of them.
std::vector<TColor> ReducedPalette(const TRgbaImage& still, std::size_t limit) {
  TQvDIB dib;
  dib.InternalForWrite().CreateDIB(still.width, still.height, 0, 24);
  TQvDIBInfos& infos = dib.InternalForWrite().DIBInfos;
  for (int y = 0; y < still.height; ++y) {
    std::uint8_t* row = infos.Row(y);
    for (int x = 0; x < still.width; ++x, row += 3) {
      const std::uint8_t* p = still.Pixel(x, y);
      row[0] = p[2], row[1] = p[1], row[2] = p[0];
    }
  }
  dib.ConvertMode = qvCmHigh;
  dib.SetPixelFormat(qvPf8Bit);
  TBitmap reduced;
  dib.AssignTo(reduced);
  std::vector<TColor> colours;
  for (const TPaletteEntry& e : reduced.GetPalette()) {
    if (colours.size() == limit) break;
    colours.push_back(RGB(e.peRed, e.peGreen, e.peBlue));
  }
  return colours;
}

}  // namespace

std::vector<AnimationStep> BuildTimeline(const std::vector<std::vector<TimingEvent>>& pages,
                                         const AnimationTiming& options) {
  std::vector<AnimationStep> steps;
  if (options.open) {
    for (int k = 1; k <= timing::kOpenSteps; ++k) steps.push_back({k, 0, 0, false, 1});
  }
  for (std::size_t page = 0; page < pages.size(); ++page) TPageTyper(page, options, steps).Run(pages[page]);
  return steps;
}

int HoldTicks(double seconds) {
  if (!(seconds >= 0 && seconds <= timing::kMaxHoldSeconds)) {
    throw EComposeError(FormatMessage(compose_msg::kHoldRange, {std::to_string(seconds)}));
  }
  return static_cast<int>(std::lround(seconds * kTicksPerSecond));
}

TRgbaImage ToRgba(const TBitmap& window) {
  TRgbaImage image(window.GetWidth(), window.GetHeight());
  for (int y = 0; y < image.height; ++y) steps::BgrRowToRgba(window.ScanLine(y), image.width, image.Pixel(0, y));
  return image;
}

std::vector<TColor> AnimationPalette(const TAnimation& animation, std::size_t limit) {
  // The colours seen, in an open-addressed table at most half full: the search stops at limit + 1.
  std::size_t slots = 16;
  while (slots < 2 * (limit + 1)) slots *= 2;
  constexpr TColor kFree = -1;
  std::vector<TColor> seen(slots, kFree);
  std::vector<TColor> colours;
  TColor last = kFree;  // no colour: neighbouring pixels mostly repeat one, looked up once
  for (const TTimedFrame& frame : animation.frames) {
    const std::vector<std::uint8_t>& rgba = frame.image.rgba;
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
      if (rgba[i + 3] == 0) continue;
      const TColor c = RGB(rgba[i], rgba[i + 1], rgba[i + 2]);
      if (c == last) continue;
      last = c;
      std::size_t slot = (static_cast<std::uint32_t>(c) * 2654435761u) & (slots - 1);
      while (seen[slot] != kFree && seen[slot] != c) slot = (slot + 1) & (slots - 1);
      if (seen[slot] == c) continue;
      seen[slot] = c;
      colours.push_back(c);
      if (colours.size() > limit) return ReducedPalette(animation.still, limit);
    }
  }
  return colours;
}

TAnimation ComposeAnimation(const ComposeInput& input, const std::vector<AnimationPage>& pages,
                            const AnimationTiming& options) {
  // In the game's layout a page of more than four lines goes on in the next window.
  if (steps::NeedsGameWindows(pages)) return ComposeAnimation(input, steps::GameWindowPages(pages), options);
  TAnimation animation;
  animation.plays = options.plays;
  if (input.systemGraphic == nullptr || input.systemGraphic->GetEmpty() || pages.empty()) return animation;
  TFontCache fonts;  // used when the caller gives no cache
  ComposeInput common = input;
  if (common.fonts == nullptr) common.fonts = &fonts;
  // Every frame is a window of the same skin: read it once (after the range checks, which come first).
  std::optional<TColourImage> skin;
  if (common.preparedSkin == nullptr) {
    steps::CheckRanges(common);
    common.preparedSkin = &skin.emplace(PrepareSkin(*common.systemGraphic));
  }

  // Each page is read and measured once; the largest page gives the animation's size.
  std::vector<ComposeInput> inputs(pages.size(), common);
  std::deque<steps::TPageWindow> windows;
  std::vector<std::vector<TimingEvent>> events;
  WindowSize size{0, 0};
  for (std::size_t p = 0; p < pages.size(); ++p) {
    inputs[p].lines = pages[p].lines;
    const WindowSize natural = windows.emplace_back(inputs[p], pages[p].extras).Size();
    size.width = std::max(size.width, natural.width);
    size.height = std::max(size.height, natural.height);
    events.push_back(PageTiming(pages[p].lines, pages[p].extras));
  }
  for (steps::TPageWindow& window : windows) window.Paint(size);
  animation.width = size.width;
  animation.height = size.height;
  animation.still = windows.back().Rgba(SIZE_MAX, false);

  // A frame that shows what an earlier one showed (the blinking arrow) is a copy of it.
  std::map<std::tuple<std::size_t, std::size_t, bool>, std::size_t> drawn;
  std::optional<TRgbaImage> empty;
  std::optional<steps::TWindowBand> band;
  for (const AnimationStep& step : BuildTimeline(events, options)) {
    if (step.opening > 0) {
      if (!empty) {
        WindowExtras bare;  // wallpaper and frame only, in the pages' layout
        bare.layout = pages[0].extras.layout;
        bare.layout.optionsFrom = SIZE_MAX;
        band = steps::WindowBand(bare, input.transColor, size);
        ComposeInput nothing = inputs[0];
        nothing.lines.clear();
        // No line gap unless the bare window would then be higher than the animation: pages
        // without lines and with a line gap are lower than 16 + 2 x margin.
        nothing.padLine = 0;
        nothing.padLine = std::max(0, steps::SizeOf(0, 0, nothing).height - size.height);
        empty = ToRgba(*steps::ComposeWindowPart(nothing, bare, size, 0));
      }
      animation.frames.push_back({OpeningFrame(*empty, *band, step.opening), step.ticks});
      continue;
    }
    const auto key = std::make_tuple(step.page, step.shown, step.arrow);
    const auto earlier = drawn.find(key);
    TRgbaImage image = earlier != drawn.end() ? animation.frames[earlier->second].image
                                              : windows[step.page].Rgba(step.shown, step.arrow);
    drawn.emplace(key, animation.frames.size());
    animation.frames.push_back({std::move(image), step.ticks});
  }
  return animation;
}

}  // namespace pw
