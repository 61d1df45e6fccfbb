#include "gif/gif_writer.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "toolkit/stream.h"

namespace pw {
namespace {

constexpr int kTicksPerHundredths = 100;  // hundredths per second

// Time in hundredths after `ticks` ticks, rounded to the nearest.
long long Hundredths(long long ticks) {
  return (ticks * kTicksPerHundredths * 2 + kTicksPerSecond) / (2 * kTicksPerSecond);
}

[[noreturn]] void Fail(int error) {
  const char* text = GifErrorString(error);
  throw EGifWrite(FormatMessage(gif_msg::kFailed, {text != nullptr ? text : "unknown error"}));
}

int WriteToStream(GifFileType* file, const GifByteType* data, int size) {
  static_cast<TStream*>(file->UserData)->WriteBuffer(data, static_cast<std::size_t>(size));
  return size;
}

// Closes a file that an error left open; a completed file is closed by Finish.
struct GifCloser {
  void operator()(GifFileType* file) const { EGifCloseFile(file, nullptr); }
};
using GifFile = std::unique_ptr<GifFileType, GifCloser>;

void Check(GifFileType* file, int result) {
  if (result == GIF_ERROR) Fail(file->Error);
}

// Palette indices of colours: exact entries first, else the nearest.
class TColourIndex {
 public:
  explicit TColourIndex(const std::vector<TColor>& palette) : palette_(palette) {
    for (std::size_t i = 0; i < palette.size(); ++i) exact_.emplace(palette[i], static_cast<GifByteType>(i));
  }
  int Transparent() const { return static_cast<int>(palette_.size()); }

  GifByteType Of(const std::uint8_t* rgba) {
    if (rgba[3] < 128) return static_cast<GifByteType>(Transparent());
    const TColor c = RGB(rgba[0], rgba[1], rgba[2]);
    const auto found = exact_.find(c);
    if (found != exact_.end()) return found->second;
    std::size_t best = 0;
    long best_distance = -1;
    for (std::size_t i = 0; i < palette_.size(); ++i) {
      const long dr = GetRValue(palette_[i]) - rgba[0], dg = GetGValue(palette_[i]) - rgba[1],
                 db = GetBValue(palette_[i]) - rgba[2];
      const long distance = dr * dr + dg * dg + db * db;
      if (best_distance < 0 || distance < best_distance) best = i, best_distance = distance;
    }
    return exact_.emplace(c, static_cast<GifByteType>(best)).first->second;
  }

 private:
  const std::vector<TColor>& palette_;
  std::unordered_map<TColor, GifByteType> exact_;
};

GifFile Open(TStream& stream) {
  int error = 0;
  GifFile file(EGifOpen(&stream, WriteToStream, &error));
  if (!file) Fail(error);
  EGifSetGifVersion(file.get(), true);
  return file;
}

void PutScreen(GifFileType* file, const TAnimation& animation, const std::vector<TColor>& palette) {
  int entries = 2;  // a power of two with room for the transparent index
  while (entries < static_cast<int>(palette.size()) + 1) entries *= 2;
  std::vector<GifColorType> colours(static_cast<std::size_t>(entries), GifColorType{0, 0, 0});
  for (std::size_t i = 0; i < palette.size(); ++i) {
    colours[i] = {GetRValue(palette[i]), GetGValue(palette[i]), GetBValue(palette[i])};
  }
  ColorMapObject* map = GifMakeMapObject(entries, colours.data());
  if (map == nullptr) throw EOutOfMemory();
  const int result = EGifPutScreenDesc(file, animation.width, animation.height, map->BitsPerPixel, 0, map);
  GifFreeMapObject(map);
  Check(file, result);
}

// NETSCAPE2.0: plays times in all, so plays - 1 repeats; 0 repeats forever. One play needs none.
void PutLoop(GifFileType* file, int plays) {
  if (plays == 1) return;
  const int repeats = plays == 0 ? 0 : std::min(plays - 1, 0xFFFF);
  static const char kApplication[] = "NETSCAPE2.0";
  const GifByteType loop[3] = {1, static_cast<GifByteType>(repeats & 0xFF), static_cast<GifByteType>(repeats >> 8)};
  Check(file, EGifPutExtensionLeader(file, APPLICATION_EXT_FUNC_CODE));
  Check(file, EGifPutExtensionBlock(file, 11, kApplication));
  Check(file, EGifPutExtensionBlock(file, 3, loop));
  Check(file, EGifPutExtensionTrailer(file));
}

// One image: the rectangle of `after`, pixels equal in `before` (when given) transparent.
void PutImage(GifFileType* file, const TRgbaImage* before, const TRgbaImage& after, TFrameRect rect, int delay,
              TColourIndex& index) {
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.DelayTime = delay;
  control.TransparentColor = index.Transparent();
  GifByteType extension[4];
  const std::size_t length = EGifGCBToExtension(&control, extension);
  Check(file, EGifPutExtension(file, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension));
  Check(file, EGifPutImageDesc(file, rect.x, rect.y, rect.width, rect.height, false, nullptr));
  std::vector<GifByteType> row(static_cast<std::size_t>(rect.width));
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    for (int x = 0; x < rect.width; ++x) {
      const std::uint8_t* pixel = after.Pixel(rect.x + x, y);
      const bool same = before != nullptr && std::equal(pixel, pixel + 4, before->Pixel(rect.x + x, y));
      row[static_cast<std::size_t>(x)] = same ? static_cast<GifByteType>(index.Transparent()) : index.Of(pixel);
    }
    Check(file, EGifPutLine(file, row.data(), rect.width));
  }
}

// The animation's picture, frame by frame, beside the picture the GIF's images have shown so far.
class TGifCanvas {
 public:
  explicit TGifCanvas(const TAnimation& animation) : frames_(animation.frames), replay_(animation) {}

  // Lays the frames up to and including `last`; returns the smallest rectangle in which the
  // picture now differs from the one shown (the whole picture before the first image).
  TFrameRect LayUpTo(std::size_t last) {
    for (; next_ <= last; ++next_) pending_ = Union(pending_, frames_[next_].rect);
    picture_ = &replay_.At(last);
    if (!started_) return {0, 0, picture_->width, picture_->height};
    return pending_.Empty() ? TFrameRect{} : ChangedRect(shown_, *picture_, pending_);
  }
  const TRgbaImage& Picture() const { return *picture_; }
  // What the GIF showed before the image being written; null before the first.
  const TRgbaImage* Shown() const { return started_ ? &shown_ : nullptr; }
  // The image written shows the picture.
  void Show() {
    if (!started_) shown_ = *picture_;
    else CopyRect(*picture_, pending_, shown_);
    started_ = true;
    pending_ = {};
  }

 private:
  const std::vector<TTimedFrame>& frames_;
  TFrameReplay replay_;
  const TRgbaImage* picture_ = nullptr;
  TRgbaImage shown_;
  std::size_t next_ = 0;
  bool started_ = false;
  TFrameRect pending_;  // where frames were laid since the last image
};

}  // namespace

std::vector<GifSpan> GifTiming(const std::vector<TTimedFrame>& frames) {
  std::vector<GifSpan> spans;
  long long ticks = 0;
  long long shown = 0;  // hundredths the spans so far cover
  for (std::size_t i = 0; i < frames.size(); ++i) {
    ticks += frames[i].ticks;
    const long long end = Hundredths(ticks);
    if (end - shown < gif::kMinDelay) continue;
    spans.push_back({i, static_cast<int>(end - shown)});
    shown = end;
  }
  // Time left at the end, too short for a frame of its own, lengthens the last one.
  const long long end = Hundredths(ticks);
  if (end > shown) {
    if (spans.empty()) spans.push_back({frames.size() - 1, static_cast<int>(std::max<long long>(end, gif::kMinDelay))});
    else spans.back().delay += static_cast<int>(end - shown);
  }
  return spans;
}

void WriteGif(const TAnimation& animation, const std::vector<TColor>& palette, TStream& stream) {
  if (animation.width > gif::kMaxSide || animation.height > gif::kMaxSide) {
    throw EGifWrite(FormatMessage(gif_msg::kTooLarge, {std::to_string(animation.width), std::to_string(animation.height)}));
  }
  if (palette.size() > static_cast<std::size_t>(gif::kMaxColours)) throw EGifWrite(gif_msg::kTooManyColours);
  if (animation.frames.empty()) throw EGifWrite(gif_msg::kNoFrames);
  GifFile file = Open(stream);
  PutScreen(file.get(), animation, palette);
  PutLoop(file.get(), animation.plays);
  TColourIndex index(palette);
  TGifCanvas canvas(animation);
  for (const GifSpan& span : GifTiming(animation.frames)) {
    TFrameRect rect = canvas.LayUpTo(span.frame);
    if (rect.Empty()) rect = {0, 0, 1, 1};  // nothing changed: one transparent pixel carries the delay
    const TRgbaImage* before = canvas.Shown();
    for (int delay = span.delay; delay > 0; delay -= gif::kMaxDelay) {
      PutImage(file.get(), before, canvas.Picture(), rect, std::min(delay, gif::kMaxDelay), index);
      before = &canvas.Picture();  // the rest of a long delay changes nothing
      rect = {0, 0, 1, 1};
    }
    canvas.Show();
  }
  int error = 0;
  if (EGifCloseFile(file.release(), &error) == GIF_ERROR) Fail(error);
}

}  // namespace pw
