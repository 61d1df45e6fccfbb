// libFuzzer target of the composer's text path (the input is described in compose_fuzz_common.h).
// Any input must compose or fail with a library exception, and a composed window has the size its
// options promise.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "compose/compose.h"
#include "compose/extras.h"
#include "compose_fuzz_common.h"

namespace {

// Small windows: painting their pixels is most of a run. 32 bytes in 3 lines hold any game code
// (the longest, a nine-digit \N[n], is 14 bytes) and reach what 64 bytes in 4 lines reached.
constexpr std::size_t kMaxText = 32;
constexpr std::size_t kMaxLines = 3;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using pw::fuzz::Check;
  return pw::fuzz::RunOnWindow(data, size, kMaxText, kMaxLines, [](const pw::fuzz::FuzzWindow& w) {
    const std::optional<pw::TBitmap> window = pw::ComposeWindow(w.in, w.extras);
    Check(window.has_value());
    Check(window->GetWidth() >= 16 + 2 * w.in.padRound);
    if (w.extras.faceSheet != nullptr) {
      Check(window->GetWidth() >= 16 + 56 + 2 * w.in.padRound);
      Check(window->GetHeight() >= 64 + 2 * w.in.padRound);
    }
  });
}
