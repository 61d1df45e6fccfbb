// Colour division: splits a weighted list of colours into at most 2^depth palette entries by
// halving every range at the mean of its most spread channel, depth times over.
//
// All statistics are exact. The sums of a range (weight, weight x value and weight x value^2
// per channel) are 64-bit integers: at most 2^32 pixels of value 255 give sums below 2^48.
// The split channel comes from the means and variances in extended precision, rounded step by
// step (ChooseChannel). The rest needs no rounding at all:
//   - for an integer value v and the extended-precision mean m of S1/N, v <= m  <=>
//     v <= floor(S1/N) (an S1/N that is not an integer lies at least 1/N from one, far more
//     than the rounding of m can move it);
//   - a palette entry is S1/N rounded to the nearest integer, an exact half to the even one,
//     done on the quotient and remainder.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "dib/convert.h"
#include "dib/extended.h"
#include "toolkit/bitmap.h"

namespace pw::division {

enum TDivideID : std::uint8_t { kDivideRed = 0, kDivideGreen = 1, kDivideBlue = 2, kDivideLeaf = 3 };

// Exact sums over a range: total weight, and per channel (red, green, blue) the weighted sum
// of the values and of their squares.
struct TChannelSums {
  std::uint64_t weight = 0;
  std::array<std::uint64_t, 3> sum{};
  std::array<std::uint64_t, 3> square{};

  void Add(std::uint64_t w, unsigned r, unsigned g, unsigned b) {
    weight += w;
    sum[0] += w * r;
    sum[1] += w * g;
    sum[2] += w * b;
    square[0] += w * r * r;
    square[1] += w * g * g;
    square[2] += w * b * b;
  }
  TChannelSums operator-(const TChannelSums& o) const {
    TChannelSums d;
    d.weight = weight - o.weight;
    for (int c = 0; c < 3; ++c) {
      d.sum[c] = sum[c] - o.sum[c];
      d.square[c] = square[c] - o.square[c];
    }
    return d;
  }
};

// The split channel, from the means and weighted variances in extended precision exactly as
// the division defines them: m = S1/N and var = S2/N - m*m per channel, each operation
// rounded. The variances are weighted 3 (red), 4 (green), 2 (blue); red wins its ties, green
// wins a tie with blue. Where the exact variances tie, the rounding of these steps may break
// the tie, and must break it the same way on every platform (see dib/extended.h).
template <class Real>
TDivideID ChooseChannelIn(const TChannelSums& s) {
  const Real n(s.weight);
  Real variance[3];
  for (int c = 0; c < 3; ++c) {
    const Real mean = Real(s.sum[c]) / n;
    variance[c] = Real(s.square[c]) / n - mean * mean;
  }
  const Real red = Real(3) * variance[0];
  const Real green = Real(4) * variance[1];
  const Real blue = Real(2) * variance[2];
  if (red >= green && red >= blue) return kDivideRed;
  if (red > green || blue > green) return kDivideBlue;
  return kDivideGreen;
}

inline TDivideID ChooseChannel(const TChannelSums& s) { return ChooseChannelIn<TExtended>(s); }

// floor(mean): an integer value is <= the mean exactly when it is <= this.
inline std::uint8_t MeanFloor(const TChannelSums& s, int channel) {
  return static_cast<std::uint8_t>(s.sum[channel] / s.weight);
}

// The mean rounded to the nearest integer, an exact half to the even neighbour.
inline std::uint8_t RoundedMean(const TChannelSums& s, int channel) {
  const std::uint64_t q = s.sum[channel] / s.weight;
  const std::uint64_t twiceRest = 2 * (s.sum[channel] % s.weight);
  const bool up = twiceRest > s.weight || (twiceRest == s.weight && (q & 1u) != 0);
  return static_cast<std::uint8_t>(q + (up ? 1 : 0));
}

// One node of the decision tree. A split node sends values <= threshold (the floor of the
// range's mean on its channel) to its lower child and the others to its upper child.
struct TDivisionNode {
  std::uint8_t divideID = kDivideLeaf;
  std::uint8_t threshold = 0;
  std::uint8_t index = 0;                 // palette index of a leaf
  std::array<std::uint16_t, 2> child{};  // lower, upper
};

struct TDivision {
  int depth = 0;
  TPaletteEntries palette;          // in creation order
  std::vector<TDivisionNode> tree;  // node 0 is the root

  // The palette index of every pixel of a row of blue, green, red triples, each a colour that
  // took part in the division. Such a colour meets a split node on every level above depth
  // (only ranges that hold colours are split), so every walk has the same length; four walks
  // run side by side to overlap their chains of dependent loads.
  void LookupRow(const std::uint8_t* bgr, int width, std::uint8_t* indices) const {
    int x = 0;
    for (; x + 4 <= width; x += 4, bgr += 12) {
      std::size_t n0 = 0, n1 = 0, n2 = 0, n3 = 0;
      for (int level = 0; level < depth; ++level) {
        n0 = Step(n0, bgr);
        n1 = Step(n1, bgr + 3);
        n2 = Step(n2, bgr + 6);
        n3 = Step(n3, bgr + 9);
      }
      indices[x] = tree[n0].index, indices[x + 1] = tree[n1].index;
      indices[x + 2] = tree[n2].index, indices[x + 3] = tree[n3].index;
    }
    for (; x < width; ++x, bgr += 3) {
      std::size_t n = 0;
      for (int level = 0; level < depth; ++level) n = Step(n, bgr);
      indices[x] = tree[n].index;
    }
  }

 private:
  // The child of split node n for one pixel (blue, green, red).
  std::size_t Step(std::size_t n, const std::uint8_t* bgr) const {
    const TDivisionNode& node = tree[n];
    return node.child[bgr[2 - (node.divideID % 3)] > node.threshold ? 1 : 0];
  }
};

// Runs the division over items. Traits supplies, for its Item type:
//   static unsigned Value(const Item&, int channel)   channel 0 red, 1 green, 2 blue
//   static void AddTo(TChannelSums&, const Item&)
//   static void SetIndex(Item&, std::uint8_t index)   palette index of the item's leaf
// Items are reordered in place. The context's progress step runs once per leaf position of
// the complete division, 2^depth times, whether or not the leaf holds items.
template <class Traits>
class TDivider {
 public:
  using Item = typename Traits::Item;

  TDivider(int depth, const TQvConvertContext& context) : depth_(depth), context_(context) {}

  TDivision Run(std::span<Item> items) {
    result_ = TDivision{};
    result_.depth = depth_;
    result_.palette.reserve(std::size_t{1} << depth_);
    result_.tree.reserve(std::size_t{2} << depth_);
    result_.tree.emplace_back();
    Divide(items.data(), items.data() + items.size(), 0, Sum(items.data(), items.data() + items.size()), 0);
    return std::move(result_);
  }

 private:
  static TChannelSums Sum(const Item* first, const Item* last) {
    TChannelSums s;
    for (const Item* p = first; p != last; ++p) Traits::AddTo(s, *p);
    return s;
  }

  // Moves the items whose channel value is <= threshold to the front and returns the end of
  // them.
  static Item* PartitionAtOrBelow(Item* first, Item* last, int channel, unsigned threshold) {
    switch (channel) {
      case kDivideRed: return PartitionOn<kDivideRed>(first, last, threshold);
      case kDivideGreen: return PartitionOn<kDivideGreen>(first, last, threshold);
      default: return PartitionOn<kDivideBlue>(first, last, threshold);
    }
  }

  // Each item is swapped into place without a data-dependent branch: [first, lower) holds the
  // items at or below the threshold, [lower, item] those above.
  template <int Channel>
  static Item* PartitionOn(Item* first, Item* last, unsigned threshold) {
    Item* lower = first;
    for (Item* item = first; item != last; ++item) {
      const Item moving = *item;
      const bool below = Traits::Value(moving, Channel) <= threshold;
      *item = *lower;
      *lower = moving;
      lower += below ? 1 : 0;
    }
    return lower;
  }

  void Divide(Item* first, Item* last, int level, const TChannelSums& sums, std::size_t node) {
    if (sums.weight == 0) {
      for (std::size_t leaves = std::size_t{1} << (depth_ - level); leaves > 0; --leaves) context_.Step();
      return;
    }
    if (level == depth_) {
      MakeLeaf(first, last, sums, node);
      return;
    }
    const TDivideID channel = ChooseChannel(sums);
    const std::uint8_t threshold = MeanFloor(sums, channel);
    Item* middle = PartitionAtOrBelow(first, last, channel, threshold);
    // Sum the shorter part; the other follows exactly by subtraction.
    TChannelSums lowerSums;
    if (middle - first <= last - middle)
      lowerSums = Sum(first, middle);
    else
      lowerSums = sums - Sum(middle, last);
    const TChannelSums upperSums = sums - lowerSums;

    result_.tree[node].divideID = channel;
    result_.tree[node].threshold = threshold;
    // The upper part first: colours above the mean take the lower palette indices.
    const std::size_t upper = NewNode();
    result_.tree[node].child[1] = static_cast<std::uint16_t>(upper);
    Divide(middle, last, level + 1, upperSums, upper);
    const std::size_t lower = NewNode();
    result_.tree[node].child[0] = static_cast<std::uint16_t>(lower);
    Divide(first, middle, level + 1, lowerSums, lower);
  }

  void MakeLeaf(Item* first, Item* last, const TChannelSums& sums, std::size_t node) {
    const auto index = static_cast<std::uint8_t>(result_.palette.size());
    result_.palette.push_back(TPaletteEntry{RoundedMean(sums, 0), RoundedMean(sums, 1), RoundedMean(sums, 2), 0});
    result_.tree[node].divideID = kDivideLeaf;
    result_.tree[node].index = index;
    for (Item* p = first; p != last; ++p) Traits::SetIndex(*p, index);
    context_.Step();
  }

  std::size_t NewNode() {
    result_.tree.emplace_back();
    return result_.tree.size() - 1;
  }

  int depth_;
  const TQvConvertContext& context_;
  TDivision result_;
};

}  // namespace pw::division
