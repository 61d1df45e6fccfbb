#include "png/buffered_reader.h"

#include <algorithm>
#include <cstring>

namespace pw {

// ---------------------------------------------------------------------------------------------
// Opening and closing

void TKroCustomReadStream::OpenReader(TStream& source, std::int64_t length) {
  source_ = &source;
  start_ = source.GetPosition();
  available_ = length > 0 ? length : source.GetSize() - start_;
  auto* memory = dynamic_cast<TMemoryStream*>(&source);
  if (memory != nullptr) available_ = std::min(available_, static_cast<std::int64_t>(memory->Bytes().size()) - start_);
  consumed_ = 0;
  endOfData_ = false;
  stop_ = false;
  macBinaryFound_ = false;
  buffered_ = 0;
  pointer_ = nullptr;
  memory_ = memory;
  if (available_ <= 0) {
    available_ = 0;
    endOfData_ = true;
    return;
  }
  if (memory != nullptr) {
    // Read in place: the whole range counts as buffered from the start.
    pointer_ = memory->Memory() + start_;
    buffered_ = available_;
  } else {
    buffer_.resize(kBufferSize);
    Refill(0);
  }
  // A MacBinary header is 128 bytes whose first byte and byte 74 are zero.
  if (MacBinary && available_ > kMacBinaryHeaderSize && pointer_[0] == 0 && pointer_[74] == 0) {
    pointer_ += kMacBinaryHeaderSize;
    buffered_ -= kMacBinaryHeaderSize;
    consumed_ = kMacBinaryHeaderSize;
    macBinaryFound_ = true;
  }
}

void TKroCustomReadStream::CloseReader() {
  buffer_.clear();
  buffer_.shrink_to_fit();
  pointer_ = nullptr;
  buffered_ = 0;
  memory_ = nullptr;
  if (source_ != nullptr) source_->SetPosition(start_ + consumed_);
}

void TKroCustomReadStream::Refill(std::int64_t kept) {
  const std::int64_t unread = available_ - consumed_ - kept;
  const std::int64_t n = std::min(unread, kBufferSize - kept);
  if (n > 0) source_->ReadBuffer(buffer_.data() + kept, static_cast<std::size_t>(n));
  buffered_ = kept + std::max<std::int64_t>(n, 0);
  pointer_ = buffer_.data();
}

std::span<const std::uint8_t> TKroCustomReadStream::InPlaceRest() const {
  if (memory_ == nullptr || pointer_ == nullptr || endOfData_ || stop_) return {};
  return {pointer_, static_cast<std::size_t>(buffered_)};
}

std::span<std::uint8_t> TKroCustomReadStream::DisposableRest() {
  const std::span<const std::uint8_t> rest = InPlaceRest();
  if (!SourceDisposable || memory_ == nullptr || rest.empty()) return {};
  return {memory_->Memory() + (rest.data() - memory_->Memory()), rest.size()};
}

// ---------------------------------------------------------------------------------------------
// Primitives

bool TKroCustomReadStream::Claim(std::int64_t count) {
  if (endOfData_ || stop_) return false;
  if (consumed_ + count > available_) {
    endOfData_ = true;
    return false;
  }
  return true;
}

void TKroCustomReadStream::EnsureBuffered(std::int64_t count) {
  if (buffered_ >= count) return;
  // Only a buffered source gets here: an in-place source has all its bytes buffered.
  std::memmove(buffer_.data(), pointer_, static_cast<std::size_t>(buffered_));
  Refill(buffered_);
}

std::uint8_t TKroCustomReadStream::ReadU8() {
  if (!Claim(1)) return 0;
  EnsureBuffered(1);
  const std::uint8_t v = *pointer_;
  ++pointer_;
  --buffered_;
  ++consumed_;
  return v;
}

std::uint16_t TKroCustomReadStream::ReadU16() {
  if (!Claim(2)) return 0;
  EnsureBuffered(2);
  const auto v = static_cast<std::uint16_t>((pointer_[0] << 8) | pointer_[1]);
  pointer_ += 2;
  buffered_ -= 2;
  consumed_ += 2;
  return v;
}

std::int32_t TKroCustomReadStream::ReadU32() {
  if (!Claim(4)) return 0;
  EnsureBuffered(4);
  const std::uint32_t v = (std::uint32_t{pointer_[0]} << 24) | (std::uint32_t{pointer_[1]} << 16) |
                          (std::uint32_t{pointer_[2]} << 8) | std::uint32_t{pointer_[3]};
  pointer_ += 4;
  buffered_ -= 4;
  consumed_ += 4;
  return static_cast<std::int32_t>(v);
}

void TKroCustomReadStream::ReadBytes(void* destination, std::int64_t count) {
  if (endOfData_ || stop_) return;
  if (count <= 0) {
    stop_ = true;
    return;
  }
  if (!Claim(count)) return;
  auto* out = static_cast<std::uint8_t*>(destination);
  if (count <= buffered_) {
    std::memcpy(out, pointer_, static_cast<std::size_t>(count));
    pointer_ += count;
    buffered_ -= count;
    consumed_ += count;
    return;
  }
  std::memcpy(out, pointer_, static_cast<std::size_t>(buffered_));
  out += buffered_;
  consumed_ += buffered_;
  std::int64_t rest = count - buffered_;
  buffered_ = 0;
  if (rest >= kBufferSize) {
    // Large requests go around the buffer, all but their last 64 KiB.
    const std::int64_t direct = rest - kBufferSize;
    source_->ReadBuffer(out, static_cast<std::size_t>(direct));
    out += direct;
    consumed_ += direct;
    rest -= direct;
  }
  Refill(0);
  std::memcpy(out, pointer_, static_cast<std::size_t>(rest));
  pointer_ += rest;
  buffered_ -= rest;
  consumed_ += rest;
}

void TKroCustomReadStream::Skip(std::int64_t count) {
  if (endOfData_ || stop_) return;
  if (count < 0) return;
  if (!Claim(count)) return;
  if (count == 0) {
    stop_ = true;
    return;
  }
  consumed_ += count;
  if (count <= buffered_) {
    pointer_ += count;
    buffered_ -= count;
    return;
  }
  source_->Seek(count - buffered_, TSeekOrigin::soCurrent);
  buffered_ = 0;
}

// ---------------------------------------------------------------------------------------------
// Progress

bool TKroCustomReadStream::ReportProgress(int) { return false; }

void TKroCustomReadStream::Report(int percent) {
  if (ReportProgress(percent)) stop_ = true;
}

void TKroCustomReadStream::ProgressStart() {
  progress_ = Progress{};
  Report(0);
}

void TKroCustomReadStream::ProgressBeginStage(TProgressMode mode, std::int64_t total, int percent) {
  Progress& p = progress_;
  p.base += p.span;
  p.last = p.base;
  p.remainingSpan -= p.span;
  p.mode = mode;
  if (mode == TProgressMode::Bytes) {
    p.total = available_;
    p.stageStart = consumed_;
  } else {
    p.total = total;
  }
  if (p.total == 0) p.total = 1;
  p.span = (percent >= 1 && percent <= 99) ? p.remainingSpan * percent / 100 : p.remainingSpan;
}

void TKroCustomReadStream::ProgressStep(std::int64_t row) {
  Progress& p = progress_;
  std::int64_t value;
  if (p.mode == TProgressMode::Bytes)
    value = p.span * (consumed_ - p.stageStart) / p.total;
  else
    value = row >= p.total ? p.span : p.span * row / p.total;
  value += p.base;
  if (value > p.last) {
    p.last = value;
    Report(static_cast<int>(value));
  }
}

void TKroCustomReadStream::ProgressEnd() { Report(100); }

// ---------------------------------------------------------------------------------------------
// Image-reader frame

void TKroCustomGraphicReadStream::ReadFromStream(TBitmap& bitmap, TStream& stream, std::int64_t length) {
  // Puts the change handler back and closes the reader on every path.
  struct Restore {
    TKroCustomGraphicReadStream& self;
    TBitmap& bitmap;
    TNotifyEvent onChange;
    ~Restore() {
      self.paletteTable_.reset();
      try {
        self.CloseReader();
      } catch (...) {
        // A failed seek back must not hide the failure that is already leaving.
      }
      bitmap.OnChange = std::move(onChange);
    }
  } restore{*this, bitmap, std::move(bitmap.OnChange)};
  bitmap.OnChange = nullptr;

  OpenReader(stream, length);
  target_ = &bitmap;
  comment_.clear();
  paletteCount_ = 0;
  physicalUnit_ = 0;
  pixelsPerUnitX_ = pixelsPerUnitY_ = 0;
  ReadImage();
}

bool TKroCustomGraphicReadStream::ReportProgress(int percent) {
  if (target_ == nullptr || !target_->OnProgress) return false;
  TProgressStage stage = TProgressStage::psRunning;
  if (percent <= 0) stage = TProgressStage::psStarting;
  if (percent >= 100) stage = TProgressStage::psEnding;
  const auto shown = static_cast<std::uint8_t>(std::clamp(percent, 0, 100));
  target_->OnProgress(*target_, stage, shown, false, TRect{}, std::string{});
  return false;
}

TKroCustomGraphicReadStream::TPaletteTable& TKroCustomGraphicReadStream::PaletteTable() {
  if (!paletteTable_) paletteTable_.emplace();
  return *paletteTable_;
}

TPaletteEntries TKroCustomGraphicReadStream::ToolkitPalette() const {
  TPaletteEntries entries;
  if (!paletteTable_) return entries;
  entries.reserve(static_cast<std::size_t>(paletteCount_));
  for (int i = 0; i < paletteCount_; ++i) {
    const auto& e = (*paletteTable_)[static_cast<std::size_t>(i)];
    entries.push_back({e[2], e[1], e[0], 0});
  }
  return entries;
}

}  // namespace pw
