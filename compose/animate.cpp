#include "compose/animate.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "compose/steps.h"
#include "dib/colour_counts.h"

namespace pw {
namespace {

// The typing of one page by the rules in animate.h: each wait is a step showing the glyphs
// that have appeared so far; glyphs that wait 0 frames appear in the same frame as the next.
class TPageTyper {
 public:
  TPageTyper(std::size_t page, bool pageFollows, const AnimationTiming& options, std::vector<AnimationStep>& steps,
             std::size_t maxSteps)
      : page_(page), pageFollows_(pageFollows), options_(options), speed_(options.speed), steps_(steps),
        maxSteps_(maxSteps) {}

  void Run(const std::vector<TimingEvent>& events) {
    for (std::size_t i = 0; i < events.size() && steps_.size() <= maxSteps_; ++i) Take(events, i);
    if (!noHold_ && options_.holdTicks > 0) {
      Blink(options_.holdTicks);
    } else if (steps_.empty() || !Shows(steps_.back(), false)) {
      Wait(1);  // text that took no time (instant, or no text) still shows, finished, for a frame
    }
  }

 private:
  // What came last on the line.
  enum class Last { kNothing, kCode, kGlyphNoWait, kGlyphWaited };

  void Take(const std::vector<TimingEvent>& events, std::size_t i) {
    switch (events[i].kind) {
      case TimingKind::kGlyph: Glyph(events, i, events[i].value, true); break;
      case TimingKind::kThin: Glyph(events, i, 1, false); break;
      case TimingKind::kLineEnd: LineEnd(i + 1 == events.size()); break;
      default: Code(events[i]); break;
    }
  }

  void Glyph(const std::vector<TimingEvent>& events, std::size_t i, int w, bool shows) {
    if (w == 2 && !instant_ && last_ == Last::kGlyphNoWait) {
      Wait(1);
      ++counter_;
    }
    if (shows) ++shown_;
    const bool lineEnds = i + 1 < events.size() && events[i + 1].kind == TimingKind::kLineEnd;
    const bool pageEnds = lineEnds && i + 2 == events.size();
    int wait = 0;
    if (instant_) wait = 0;  // instant glyphs all appear in one frame
    else if (pageEnds) wait = timing::kLastGlyphWait;
    else if (speed_ >= 2) wait = speed_ * w / 2 + 1;
    else wait = w / 2 + (w % 2 == 1 && (counter_ % 2 == 1 || lineEnds) ? 1 : 0);
    Count(w);
    Wait(wait);
    last_ = wait == 0 ? Last::kGlyphNoWait : Last::kGlyphWaited;
  }

  // The counter after a glyph of width class w.
  void Count(int w) {
    if (speed_ == 1 && w == 1) ++counter_;
    else counter_ = counter_ / 2 * 2 + 2;
  }

  // A code acts, then waits at the speed then in force.
  void Code(const TimingEvent& event) {
    int wait = 0;
    switch (event.kind) {
      case TimingKind::kSpeed: speed_ = event.value; break;
      case TimingKind::kInstantOn: instant_ = true; break;
      case TimingKind::kInstantOff:
        instant_ = false;
        wait = speed_;
        break;
      case TimingKind::kNoHold:
        noHold_ = true;
        wait = speed_;
        break;
      case TimingKind::kMoney: wait = speed_; break;
      case TimingKind::kShortWait:
        wait = timing::kShortWait + std::clamp(speed_ - timing::kShortWait, 0, timing::kShortWaitGrowth);
        break;
      case TimingKind::kLongWait: wait = timing::kLongWait; break;
      default: break;  // \C[n] and \! wait 0 frames
    }
    if (!instant_) Wait(wait + (speed_ == 1 && counter_ % 2 == 1 ? 1 : 0));
    if (counter_ > 0) Count(1);
    last_ = Last::kCode;
    if (event.kind == TimingKind::kHold) Blink(options_.holdTicks);
  }

  void LineEnd(bool pageEnds) {
    const bool pageBreak = pageEnds && pageFollows_;
    if (instant_) Wait(pageBreak ? timing::kPageBreakWait : 0);
    else if (last_ == Last::kNothing || last_ == Last::kCode) Wait(pageBreak ? timing::kPageBreakWait : timing::kLineEndWait);
    instant_ = false;
    counter_ = 0;
    last_ = Last::kNothing;
  }

  void Wait(int ticks) { Show(ticks, false); }

  // True when the step shows what this page shows now.
  bool Shows(const AnimationStep& step, bool arrow) const {
    return step.opening == 0 && step.page == page_ && step.shown == shown_ && step.arrow == arrow;
  }

  void Show(int ticks, bool arrow) {
    if (ticks <= 0) return;
    if (!steps_.empty() && Shows(steps_.back(), arrow)) {
      steps_.back().ticks += ticks;
      return;
    }
    if (steps_.size() <= maxSteps_) steps_.push_back({0, page_, shown_, arrow, ticks});
  }

  // The pause arrow shows and hides in turns for the hold.
  void Blink(int ticks) {
    for (int t = 0; t < ticks && steps_.size() <= maxSteps_; t += timing::kBlinkTicks) {
      Show(std::min(timing::kBlinkTicks, ticks - t), (t / timing::kBlinkTicks) % 2 == 0);
    }
  }

  std::size_t page_;
  bool pageFollows_;
  const AnimationTiming& options_;
  int speed_;
  std::vector<AnimationStep>& steps_;
  std::size_t maxSteps_;
  std::size_t shown_ = 0;
  int counter_ = 0;
  Last last_ = Last::kNothing;
  bool instant_ = false;
  bool noHold_ = false;
};

// Rows of the middle k/7 of a window h rows high, at least 2.
std::pair<int, int> OpenRows(int height, int k) {
  const int rows = std::clamp((2 * height * k + timing::kOpenSteps) / (2 * timing::kOpenSteps), std::min(2, height), height);
  const int top = (height - rows) / 2;
  return {top, top + rows};
}

// The window opening: the window's middle rows, more at each step, over what shows where the
// window is not yet (nothing, or the game's screen).
class TOpening {
 public:
  TOpening(TRgbaImage empty, steps::TWindowBand band)
      : empty_(std::move(empty)), band_(std::move(band)), frame_(band_.closed) {}

  // The frame of step k, and in `open` the rows that may differ from the step before.
  const TRgbaImage& Step(int k, steps::TRowSpan& open) {
    const auto [first, last] = OpenRows(band_.height, k);
    const int top = band_.top + first;
    const std::size_t rowBytes = 4 * static_cast<std::size_t>(empty_.width);
    std::copy_n(empty_.Pixel(0, top), rowBytes * static_cast<std::size_t>(last - first), frame_.Pixel(0, top));
    open = {top, band_.top + last};
    return frame_;
  }

 private:
  TRgbaImage empty_;
  steps::TWindowBand band_;
  TRgbaImage frame_;
};

// Colours and how many pixels have each, in the order they first appear, looked up in an
// open-addressed table kept at most half full.
class TColourTable {
 public:
  TColourTable() : slots_(16, kFree) {}

  // Counts `pixels` more pixels of colour c.
  void Add(TColor c, std::uint64_t pixels) {
    std::size_t slot = Find(c);
    if (slots_[slot] == kFree) {
      if (2 * (counts_.size() + 1) > slots_.size()) {
        Grow();
        slot = Find(c);
      }
      slots_[slot] = static_cast<std::uint32_t>(counts_.size());
      counts_.push_back({c, 0});
    }
    counts_[slots_[slot]].pixels += pixels;
  }
  std::size_t Size() const { return counts_.size(); }
  const std::vector<TColourCount>& Counts() const { return counts_; }

 private:
  static constexpr std::uint32_t kFree = UINT32_MAX;

  std::size_t Find(TColor c) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = (static_cast<std::uint32_t>(c) * 2654435761u) & mask;
    while (slots_[slot] != kFree && counts_[slots_[slot]].colour != c) slot = (slot + 1) & mask;
    return slot;
  }
  void Grow() {
    slots_.assign(2 * slots_.size(), kFree);
    for (std::size_t i = 0; i < counts_.size(); ++i) slots_[Find(counts_[i].colour)] = static_cast<std::uint32_t>(i);
  }

  std::vector<std::uint32_t> slots_;  // indices into counts_
  std::vector<TColourCount> counts_;
};

// Adds the opaque pixels of rect of image to the table, runs of one colour (as wallpaper and
// frame make them) at once; stops early, returning false, once the table has more than limit colours.
bool AddColours(const TRgbaImage& image, TFrameRect rect, TColourTable& table, std::size_t limit = SIZE_MAX) {
  const auto load = [](const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  };
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    const std::uint8_t* p = image.Pixel(rect.x, y);
    const std::uint8_t* const end = p + 4 * static_cast<std::size_t>(rect.width);
    while (p < end) {
      const std::uint8_t* const run = p;
      const std::uint32_t pixel = load(run);
      for (p += 4; p < end && load(p) == pixel; p += 4) {
      }
      if (run[3] == 0) continue;
      table.Add(RGB(run[0], run[1], run[2]), static_cast<std::uint64_t>(p - run) / 4);
      if (table.Size() > limit) return false;
    }
  }
  return true;
}

// The most frames an animation of a window of this size may have.
std::size_t MaxFrames(WindowSize size) {
  const auto pixels = static_cast<std::uint64_t>(size.width) * static_cast<std::uint64_t>(size.height);
  return static_cast<std::size_t>(std::min<std::uint64_t>(timing::kMaxFrames, timing::kMaxFramePixels / pixels));
}

// The window of the opening: wallpaper and frame of the animation's size, in the first page's
// layout, no text, no face.
TRgbaImage EmptyWindow(const ComposeInput& first, const WindowExtras& extras, WindowSize size) {
  WindowExtras bare;
  bare.layout = extras.layout;
  bare.layout.optionsFrom = SIZE_MAX;
  ComposeInput nothing = first;
  nothing.lines.clear();
  // No line gap unless the bare window would then be higher than the animation: pages
  // without lines and with a line gap are lower than 16 + 2 x margin.
  nothing.padLine = 0;
  nothing.padLine = std::max(0, steps::SizeOf(0, 0, nothing).height - size.height);
  steps::TPageWindow window(nothing, bare);
  window.Paint(size);
  return window.Rgba(0, false);
}

// Frames as they change the picture: each whole window is compared with the one before, over
// the rows that may differ, and kept as the rectangle that does.
class TFrameMaker {
 public:
  explicit TFrameMaker(TAnimation& animation) : animation_(animation), picture_(animation.width, animation.height) {}

  // A frame whose picture may differ anywhere.
  void Add(const TRgbaImage& picture, int ticks) { Add(picture, {0, picture.height}, ticks); }
  // A frame whose picture differs from the one before only in rows.
  void Add(const TRgbaImage& picture, steps::TRowSpan rows, int ticks) {
    const bool first = animation_.frames.empty();
    const TFrameRect within{0, rows.first, picture.width, rows.last - rows.first};
    const TFrameRect rect =
        first ? TFrameRect{0, 0, picture.width, picture.height} : rows.Empty() ? TFrameRect{} : ChangedRect(picture_, picture, within);
    animation_.frames.push_back({rect, Crop(picture, rect), ticks});
    CopyRect(picture, rect, picture_);
  }

 private:
  TAnimation& animation_;
  TRgbaImage picture_;  // the picture of the last frame
};

}  // namespace

std::vector<AnimationStep> BuildTimeline(const std::vector<std::vector<TimingEvent>>& pages,
                                         const AnimationTiming& options, std::size_t maxSteps) {
  std::vector<AnimationStep> steps;
  if (options.open) {
    for (int k = 1; k <= timing::kOpenSteps; ++k) steps.push_back({k, 0, 0, false, 1});
  }
  for (std::size_t page = 0; page < pages.size() && steps.size() <= maxSteps; ++page) {
    TPageTyper(page, page + 1 < pages.size(), options, steps, maxSteps).Run(pages[page]);
  }
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
  TColourTable table;
  std::vector<TColor> colours;
  for (const TTimedFrame& frame : animation.frames) {
    if (AddColours(frame.image, {0, 0, frame.rect.width, frame.rect.height}, table, limit)) continue;
    for (const TPaletteEntry& e : HighReductionPalette(animation.restColours, 8)) {
      if (colours.size() == limit) break;
      colours.push_back(RGB(e.peRed, e.peGreen, e.peBlue));
    }
    return colours;
  }
  for (const TColourCount& c : table.Counts()) colours.push_back(c.colour);
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

  // Each page is read and measured first; the largest page gives the animation's size, and the
  // timeline the number of frames, both known before anything is drawn.
  std::vector<ComposeInput> inputs(pages.size(), common);
  std::vector<std::unique_ptr<steps::TPageWindow>> windows;
  std::vector<std::vector<TimingEvent>> events;
  WindowSize size{0, 0};
  for (std::size_t p = 0; p < pages.size(); ++p) {
    inputs[p].lines = pages[p].lines;
    const WindowSize natural = windows.emplace_back(std::make_unique<steps::TPageWindow>(inputs[p], pages[p].extras))->Size();
    size.width = std::max(size.width, natural.width);
    size.height = std::max(size.height, natural.height);
    events.push_back(PageTiming(pages[p].lines, pages[p].extras, common.fonts->Get(common.fontFace)));
  }
  // A window no reader would read back is refused as such, before the frames are counted.
  steps::RequireWindowFits(size.width, size.height);
  const std::size_t maxFrames = MaxFrames(size);
  const std::vector<AnimationStep> timeline = BuildTimeline(events, options, maxFrames);
  if (timeline.size() > maxFrames) {
    throw EComposeError(FormatMessage(compose_msg::kAnimationTooLarge, {std::to_string(maxFrames),
                                                                       std::to_string(size.width), std::to_string(size.height)}));
  }
  animation.width = size.width;
  animation.height = size.height;

  // One page is painted at a time: the steps come page after page. A page is finished when the
  // steps move past it: its window with all its text is counted for the palette, and dropped.
  TFrameMaker frames(animation);
  TColourTable rest;
  std::optional<TOpening> opening;
  std::size_t next = 0;         // the first page not finished
  bool nextPainted = false;
  const auto reach = [&](std::size_t page) {
    for (; next < page; ++next, nextPainted = false) {
      steps::TPageWindow& window = *windows[next];
      if (!nextPainted) window.Paint(size);  // a page without frames still has a finished window
      steps::TRowSpan changed;
      const TRgbaImage& finished = window.RgbaView(SIZE_MAX, false, changed);
      AddColours(finished, {0, 0, finished.width, finished.height}, rest);
      if (next + 1 == windows.size()) animation.still = window.RgbaView(SIZE_MAX, false, changed);
      window.Release();
    }
    if (page < windows.size() && !nextPainted) {
      windows[page]->Paint(size);
      nextPainted = true;
      return true;
    }
    return false;
  };
  for (const AnimationStep& step : timeline) {
    if (step.opening > 0) {
      if (!opening) {
        opening.emplace(EmptyWindow(inputs[0], pages[0].extras, size), steps::WindowBand(pages[0].extras, input.transColor, size));
      }
      steps::TRowSpan open;
      const TRgbaImage& picture = opening->Step(step.opening, open);
      frames.Add(picture, open, step.ticks);
      continue;
    }
    const bool fresh = reach(step.page);
    steps::TRowSpan changed;
    const TRgbaImage& picture = windows[step.page]->RgbaView(step.shown, step.arrow, changed);
    if (fresh) frames.Add(picture, step.ticks);
    else frames.Add(picture, changed, step.ticks);
  }
  reach(windows.size());
  animation.restColours = rest.Counts();
  return animation;
}

}  // namespace pw
