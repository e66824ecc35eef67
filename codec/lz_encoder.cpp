// SPDX-License-Identifier: MIT
// The five LZ stream encoders. A hash-chain matcher finds, at each unit, the longest earlier
// match within a variant's reach (PDT11: among its 16 table distances). Low levels parse
// greedily or lazily; high levels take the shortest path over every literal and every
// reference length a position allows, costed in bits (a unit's bytes, plus one flag bit).
// The two flag disciplines then frame the items. Every back-reference names only units
// already written, so each stream decodes exactly back to its input.
#include "codec/lz_encoder.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "codec/lz.h"

namespace encode {
namespace {

constexpr uint32_t kNoPosition = UINT32_MAX;

struct Match {
  size_t length = 0;    // units; 0 when nothing was found
  size_t distance = 0;  // units; kPdtIndexed: the table index
};

// One item of a parse: a literal (length 0) or a back-reference.
struct Item {
  uint32_t length;
  uint32_t distance;  // kPdtIndexed: the table index
};

// What a variant's back-reference can say, in units, and what its items take in bytes.
struct Reach {
  size_t min_length;
  size_t max_length;
  size_t max_distance;
  size_t literal_bytes;
  size_t reference_bytes;
  bool low_first;  // G00 flags: low bit first, each flag byte before its group
};

Reach ReachOf(LzVariant variant) {
  switch (variant) {
    case LzVariant::kG00Bytes: return {2, 17, 4095, 1, 2, true};
    case LzVariant::kG00Pixels: return {1, 16, 4095, 3, 2, true};
    case LzVariant::kPdtPixels: return {1, 16, 4096, 3, 2, false};
    case LzVariant::kPdtMask: return {2, 257, 256, 1, 2, false};
    case LzVariant::kPdtIndexed: return {2, 17, 0, 1, 1, false};
  }
  return {0, 0, 0, 0, 0, false};
}

// How a level parses: lazy or greedy matching, or the shortest path; and how many earlier
// positions with the same key the matcher tries.
struct LevelSettings {
  bool optimal;
  bool lazy;
  int chain;
};

LevelSettings SettingsOf(int level) {
  static constexpr LevelSettings kLevels[] = {
      {false, false, 1},  {false, false, 4},  {false, true, 8},   {false, true, 16},
      {false, true, 32},  {true, false, 32},  {true, false, 64},  {true, false, 128},
      {true, false, 512}, {true, false, 4096},
  };
  if (level < kLowestLevel || level > kHighestLevel) {
    throw std::invalid_argument("levels are 0 to 9");
  }
  return kLevels[level];
}

// Units that agree between a and b, at most limit units, comparing kUnit bytes a unit.
template <size_t kUnit>
size_t CommonUnits(const uint8_t* a, const uint8_t* b, size_t limit) {
  size_t n = 0;
  if constexpr (kUnit == 1) {
    while (n + 8 <= limit) {
      uint64_t x, y;
      std::memcpy(&x, a + n, 8);
      std::memcpy(&y, b + n, 8);
      if (x != y) break;
      n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
  } else {
    while (n < limit && std::memcmp(a + n * kUnit, b + n * kUnit, kUnit) == 0) ++n;
  }
  return n;
}

// Hash chains over units. A key covers two bytes (byte units), or one pixel; every earlier
// position with the same key is linked, newest first, and Find walks at most max_chain of
// them within max_distance units. With pair_keys, a pixel key covers two pixels, so chains
// through flat colour stay short for deep searches, and the newest position of each single
// pixel is kept apart for copies of one pixel.
template <size_t kUnit>
class ChainMatcher {
 public:
  static constexpr unsigned kHashBits = 16;

  ChainMatcher(const uint8_t* data, size_t units, size_t max_length, size_t max_distance,
               int max_chain, bool pair_keys = false)
      : data_(data),
        units_(units),
        max_length_(max_length),
        max_distance_(max_distance),
        max_chain_(max_chain < 1 ? 1 : max_chain),
        pair_keys_(kUnit == 3 && pair_keys),
        key_units_(kUnit == 1 || pair_keys_ ? 2 : 1),
        head_(size_t{1} << kHashBits, kNoPosition),
        prev_(units, kNoPosition),
        single_(pair_keys_ ? size_t{1} << kHashBits : 0, kNoPosition) {}

  void Insert(size_t pos) {
    if (pair_keys_) single_[PixelKey(data_ + pos * kUnit)] = static_cast<uint32_t>(pos);
    if (pos + key_units_ > units_) return;
    const size_t key = Key(pos);
    prev_[pos] = head_[key];
    head_[key] = static_cast<uint32_t>(pos);
  }

  // The longest match at pos with an earlier inserted position; the nearest among equals.
  Match Find(size_t pos) const {
    Match best = FindInChain(pos);
    if (best.length == 0 && pair_keys_ && pos < units_) {
      const uint32_t cand = single_[PixelKey(data_ + pos * kUnit)];
      if (cand != kNoPosition && pos - cand <= max_distance_ && max_length_ >= 1 &&
          std::memcmp(data_ + pos * kUnit, data_ + size_t{cand} * kUnit, kUnit) == 0) {
        best.length = 1;
        best.distance = pos - cand;
      }
    }
    return best;
  }

 private:
  Match FindInChain(size_t pos) const {
    Match best;
    if (pos + key_units_ > units_) return best;
    const size_t limit = std::min(max_length_, units_ - pos);
    const uint8_t* here = data_ + pos * kUnit;
    uint32_t cand = head_[Key(pos)];
    for (int chain = max_chain_; chain > 0 && cand != kNoPosition; --chain) {
      const size_t distance = pos - cand;
      if (distance > max_distance_) break;
      const uint8_t* there = data_ + size_t{cand} * kUnit;
      // The unit just past the best so far must agree before a longer match is possible.
      if (best.length == 0 ||
          std::memcmp(here + best.length * kUnit, there + best.length * kUnit, kUnit) == 0) {
        const size_t length = CommonUnits<kUnit>(here, there, limit);
        if (length > best.length) {
          best.length = length;
          best.distance = distance;
          if (length == limit) break;
        }
      }
      cand = prev_[cand];
    }
    return best;
  }

 private:
  static size_t PixelKey(const uint8_t* p) {
    const uint32_t v = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
    return (v * 2654435761u) >> (32 - kHashBits);
  }

  size_t Key(size_t pos) const {
    const uint8_t* p = data_ + pos * kUnit;
    if constexpr (kUnit == 1) {
      return size_t{p[0]} | size_t{p[1]} << 8;
    } else {
      if (!pair_keys_) return PixelKey(p);
      return (PixelKey(p) * 31 + PixelKey(p + 3)) & ((size_t{1} << kHashBits) - 1);
    }
  }

  const uint8_t* data_;
  size_t units_;
  size_t max_length_;
  size_t max_distance_;
  int max_chain_;
  bool pair_keys_;
  size_t key_units_;
  std::vector<uint32_t> head_;
  std::vector<uint32_t> prev_;
  std::vector<uint32_t> single_;  // pair_keys: the newest position of each pixel key
};

// PDT11: a back-reference can only name a table distance, so every usable entry is tried at
// each position; Match::distance is the entry's index. Earlier entries win ties.
class TableMatcher {
 public:
  TableMatcher(const uint8_t* data, size_t units, size_t max_length,
               const std::vector<int32_t>& table)
      : data_(data), units_(units), max_length_(max_length), table_(table) {}

  void Insert(size_t) {}

  Match Find(size_t pos) const {
    Match best;
    const size_t limit = std::min(max_length_, units_ - pos);
    for (size_t i = 0; i < table_.size(); ++i) {
      if (table_[i] <= 0) continue;
      const size_t distance = static_cast<size_t>(table_[i]);
      if (distance > pos) continue;
      const size_t length = CommonUnits<1>(data_ + pos, data_ + pos - distance, limit);
      if (length > best.length) {
        best.length = length;
        best.distance = i;
        if (length == limit) break;
      }
    }
    return best;
  }

 private:
  const uint8_t* data_;
  size_t units_;
  size_t max_length_;
  const std::vector<int32_t>& table_;
};

Item LiteralItem() { return {0, 0}; }
Item ReferenceItem(const Match& m) {
  return {static_cast<uint32_t>(m.length), static_cast<uint32_t>(m.distance)};
}

// Whether a literal at pos and then `next` (from pos + 1) is cheaper than `match` at pos
// followed by whatever covers the units up to the end of `next`: one more reference, or
// literals when fewer units are left than a reference can carry.
bool DeferPays(const Match& match, const Match& next, const Reach& reach) {
  if (next.length <= match.length) return false;
  const size_t rest = 1 + next.length - match.length;
  const size_t rest_bytes =
      rest < reach.min_length ? rest * reach.literal_bytes : reach.reference_bytes;
  return reach.literal_bytes + reach.reference_bytes < reach.reference_bytes + rest_bytes;
}

// Greedy or lazy matching. Lazy matching defers a match by one unit while that pays (byte
// variants with 2-byte references; a pixel literal or a 1-byte reference never makes
// deferring cheaper).
template <class Matcher>
std::vector<Item> ParseLazy(Matcher& matcher, size_t units, const Reach& reach,
                            size_t max_length, bool lazy_wanted) {
  std::vector<Item> items;
  size_t inserted = 0;  // positions below this are in the matcher
  auto insert_up_to = [&](size_t end) {
    for (; inserted < end; ++inserted) matcher.Insert(inserted);
  };
  const bool lazy = lazy_wanted && reach.literal_bytes < reach.reference_bytes;
  size_t pos = 0;
  while (pos < units) {
    Match match = matcher.Find(pos);
    if (match.length < reach.min_length) {
      items.push_back(LiteralItem());
      insert_up_to(++pos);
      continue;
    }
    if (lazy) {
      while (match.length < max_length && pos + 1 < units) {
        insert_up_to(pos + 1);
        const Match next = matcher.Find(pos + 1);
        if (!DeferPays(match, next, reach)) break;
        items.push_back(LiteralItem());
        ++pos;
        match = next;
      }
    }
    items.push_back(ReferenceItem(match));
    pos += match.length;
    insert_up_to(pos);
  }
  return items;
}

// The shortest path from the first unit to the end, each item costing its bytes in bits
// plus its flag bit. At each position every literal and every reference length from the
// shortest to the longest match found is an edge (a shorter copy at the same distance is
// as valid and costs the same), so the path is never costlier than a parse over the same
// matches. Ties go to the longer reference: fewer items.
template <class Matcher>
std::vector<Item> ParseShortest(Matcher& matcher, size_t units, const Reach& reach) {
  std::vector<uint16_t> longest(units);
  std::vector<uint32_t> distance(units);
  for (size_t pos = 0; pos < units; ++pos) {
    const Match m = matcher.Find(pos);
    matcher.Insert(pos);
    longest[pos] = static_cast<uint16_t>(m.length < reach.min_length ? 0 : m.length);
    distance[pos] = static_cast<uint32_t>(m.distance);
  }
  const uint64_t literal_bits = 8 * reach.literal_bytes + 1;
  const uint64_t reference_bits = 8 * reach.reference_bytes + 1;
  std::vector<uint64_t> cost(units + 1);
  std::vector<uint16_t> step(units);  // the chosen item's length from pos; 0: a literal
  cost[units] = 0;
  for (size_t pos = units; pos-- > 0;) {
    uint64_t best = literal_bits + cost[pos + 1];
    uint16_t chosen = 0;
    for (size_t length = longest[pos]; length >= reach.min_length && length > 0; --length) {
      const uint64_t c = reference_bits + cost[pos + length];
      if (c < best) {
        best = c;
        chosen = static_cast<uint16_t>(length);
      }
    }
    cost[pos] = best;
    step[pos] = chosen;
  }
  std::vector<Item> items;
  for (size_t pos = 0; pos < units;) {
    if (step[pos] == 0) {
      items.push_back(LiteralItem());
      ++pos;
    } else {
      items.push_back({step[pos], distance[pos]});
      pos += step[pos];
    }
  }
  return items;
}

// The stream's exact size: the items' bytes and the flag bytes (G00: one before each group
// of eight; PDT: one leading, and one after each eighth item).
size_t StreamBytes(const std::vector<Item>& items, const Reach& reach) {
  size_t bytes = 0;
  for (const Item& item : items) {
    bytes += item.length == 0 ? reach.literal_bytes : reach.reference_bytes;
  }
  const size_t n = items.size();
  return bytes + (reach.low_first ? (n + 7) / 8 : 1 + n / 8);
}

template <class Matcher, class MakeMatcher>
std::vector<Item> Parse(MakeMatcher&& make_matcher, size_t units, const Reach& reach,
                        const LzOptions& options) {
  const size_t max_length = options.max_match_length == 0
                                ? reach.max_length
                                : std::min(options.max_match_length, reach.max_length);
  if (options.literals_only || max_length < reach.min_length) {
    return std::vector<Item>(units, LiteralItem());
  }
  const LevelSettings settings = SettingsOf(options.level);
  Matcher matcher = make_matcher(max_length, settings.chain, settings.optimal);
  if (!settings.optimal) return ParseLazy(matcher, units, reach, max_length, settings.lazy);
  std::vector<Item> shortest = ParseShortest(matcher, units, reach);
  const LevelSettings lazy = SettingsOf(kLazyLevel);
  Matcher lazy_matcher = make_matcher(max_length, lazy.chain, false);
  std::vector<Item> fallback = ParseLazy(lazy_matcher, units, reach, max_length, lazy.lazy);
  return StreamBytes(fallback, reach) < StreamBytes(shortest, reach) ? fallback : shortest;
}

void PutU16Le(std::vector<uint8_t>* out, size_t value) {
  out->push_back(static_cast<uint8_t>(value));
  out->push_back(static_cast<uint8_t>(value >> 8));
}

// Frames the items with their flag bytes and writes each item's bytes.
template <size_t kUnit, class PutReference>
void WriteItems(const std::vector<Item>& items, const uint8_t* data, bool low_first,
                std::vector<uint8_t>* out, PutReference&& put_reference) {
  size_t flag_index = 0;
  if (!low_first) {  // the first PDT flag byte leads the stream
    flag_index = out->size();
    out->push_back(0);
  }
  size_t pos = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    const size_t slot = i % 8;
    if (low_first && slot == 0) {
      flag_index = out->size();
      out->push_back(0);
    }
    const Item& item = items[i];
    if (item.length == 0) {
      (*out)[flag_index] |= static_cast<uint8_t>(low_first ? 1u << slot : 0x80u >> slot);
      out->insert(out->end(), data + pos * kUnit, data + (pos + 1) * kUnit);
      ++pos;
    } else {
      put_reference(out, item);
      pos += item.length;
    }
    // PDT: the decoder fetches the next flag byte right after a group's eighth item, also
    // after the last item; with no item after it, it ends the stream.
    if (!low_first && slot == 7) {
      flag_index = out->size();
      out->push_back(0);
    }
  }
}

template <size_t kUnit, class PutReference>
std::vector<uint8_t> EncodeWindowed(const uint8_t* data, size_t units, const Reach& reach,
                                    const LzOptions& options, size_t* item_count,
                                    PutReference&& put_reference) {
  const std::vector<Item> items = Parse<ChainMatcher<kUnit>>(
      [&](size_t max_length, int chain, bool pair_keys) {
        return ChainMatcher<kUnit>(data, units, max_length, reach.max_distance, chain, pair_keys);
      },
      units, reach, options);
  std::vector<uint8_t> out;
  out.reserve(StreamBytes(items, reach));
  WriteItems<kUnit>(items, data, reach.low_first, &out, put_reference);
  if (item_count != nullptr) *item_count = items.size();
  return out;
}

// Distances ranked by the bytes their matches would save in a first greedy pass with a wide
// window, best first.
std::vector<int32_t> RankIndexedDistances(const uint8_t* data, size_t units, int chain) {
  constexpr size_t kWindow = 65535;
  const Reach reach = ReachOf(LzVariant::kPdtIndexed);
  std::unordered_map<size_t, size_t> saved;
  ChainMatcher<1> matcher(data, units, reach.max_length, kWindow, chain);
  for (const Item& item : ParseLazy(matcher, units, reach, reach.max_length, false)) {
    if (item.length != 0) saved[item.distance] += item.length - 1;
  }
  std::vector<std::pair<size_t, size_t>> ranked(saved.begin(), saved.end());
  std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
    return a.second != b.second ? a.second > b.second : a.first < b.first;
  });
  std::vector<int32_t> distances;
  for (const auto& entry : ranked) distances.push_back(static_cast<int32_t>(entry.first));
  return distances;
}

// The first 16 of `ranked`, any gap filled with the smallest distances not yet taken.
std::vector<int32_t> TableFrom(const std::vector<int32_t>& ranked) {
  std::vector<int32_t> table;
  for (size_t i = 0; i < ranked.size() && table.size() < kPdtDistanceCount; ++i) {
    table.push_back(ranked[i]);
  }
  for (int32_t d = 1; table.size() < kPdtDistanceCount; ++d) {
    if (std::find(table.begin(), table.end(), d) == table.end()) table.push_back(d);
  }
  return table;
}

// For the shortest-path levels: a path over the 64 best-ranked distances at once shows
// which of them a parse really uses; the 16 that cover the most bytes make a second table.
std::vector<int32_t> TableFromPath(const uint8_t* data, size_t units,
                                   const std::vector<int32_t>& ranked) {
  const Reach reach = ReachOf(LzVariant::kPdtIndexed);
  const std::vector<int32_t> wide(ranked.begin(),
                                  ranked.begin() + std::min<std::ptrdiff_t>(
                                                       64, static_cast<std::ptrdiff_t>(ranked.size())));
  TableMatcher matcher(data, units, reach.max_length, wide);
  std::vector<size_t> saved(wide.size(), 0);
  for (const Item& item : ParseShortest(matcher, units, reach)) {
    if (item.length != 0) saved[item.distance] += item.length - 1;
  }
  std::vector<size_t> order(wide.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return saved[a] > saved[b]; });
  std::vector<int32_t> used;
  for (size_t i : order) {
    if (saved[i] != 0) used.push_back(wide[i]);
  }
  return TableFrom(used);
}

std::vector<uint8_t> EncodeIndexedWith(const uint8_t* data, size_t units,
                                       const std::vector<int32_t>& table,
                                       const LzOptions& options, size_t* item_count) {
  const Reach reach = ReachOf(LzVariant::kPdtIndexed);
  const std::vector<Item> items = Parse<TableMatcher>(
      [&](size_t max_length, int, bool) { return TableMatcher(data, units, max_length, table); },
      units, reach, options);
  std::vector<uint8_t> out;
  out.reserve(kPdtDistanceTableBytes + StreamBytes(items, reach));
  for (int32_t d : table) {
    const uint32_t v = static_cast<uint32_t>(d);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
  }
  WriteItems<1>(items, data, false, &out, [](std::vector<uint8_t>* o, const Item& item) {
    o->push_back(static_cast<uint8_t>((item.length - 2) << 4 | item.distance));
  });
  if (item_count != nullptr) *item_count = items.size();
  return out;
}

std::vector<uint8_t> EncodeIndexed(const uint8_t* data, size_t units, const LzOptions& options,
                                   size_t* item_count) {
  if (!options.indexed_distances.empty()) {
    if (options.indexed_distances.size() != kPdtDistanceCount) {
      throw std::invalid_argument("the distance table needs 16 entries");
    }
    return EncodeIndexedWith(data, units, options.indexed_distances, options, item_count);
  }
  const LevelSettings settings = SettingsOf(options.level);
  const int chain = std::min(settings.chain, SettingsOf(kLazyLevel).chain);
  const std::vector<int32_t> ranked = RankIndexedDistances(data, units, chain);
  size_t count = 0;
  std::vector<uint8_t> best = EncodeIndexedWith(data, units, TableFrom(ranked), options, &count);
  if (settings.optimal && !options.literals_only) {
    size_t other_count = 0;
    std::vector<uint8_t> other = EncodeIndexedWith(
        data, units, TableFromPath(data, units, ranked), options, &other_count);
    if (other.size() < best.size()) {
      best = std::move(other);
      count = other_count;
    }
  }
  if (item_count != nullptr) *item_count = count;
  return best;
}

}  // namespace

size_t MinMatchLength(LzVariant variant) { return ReachOf(variant).min_length; }
size_t MaxMatchLength(LzVariant variant) { return ReachOf(variant).max_length; }
size_t MaxMatchDistance(LzVariant variant) { return ReachOf(variant).max_distance; }

std::vector<uint8_t> EncodeLz(LzVariant variant, const uint8_t* data, size_t byte_count,
                              const LzOptions& options, size_t* item_count) {
  SettingsOf(options.level);  // refuses a level out of range before any work
  const Reach reach = ReachOf(variant);
  const size_t units = byte_count / reach.literal_bytes;
  if (byte_count % reach.literal_bytes != 0) {
    throw std::invalid_argument("pixels come in 3 bytes");
  }
  // Positions are kept in 32 bits; the formats' sizes stay far below that.
  if (units >= kNoPosition) throw std::length_error("stream too long to encode");
  switch (variant) {
    case LzVariant::kG00Bytes:
      return EncodeWindowed<1>(data, units, reach, options, item_count,
                               [](std::vector<uint8_t>* out, const Item& m) {
                                 PutU16Le(out, size_t{m.distance} << 4 | (m.length - 2));
                               });
    case LzVariant::kG00Pixels:
      return EncodeWindowed<3>(data, units, reach, options, item_count,
                               [](std::vector<uint8_t>* out, const Item& m) {
                                 PutU16Le(out, size_t{m.distance} << 4 | (m.length - 1));
                               });
    case LzVariant::kPdtPixels:
      return EncodeWindowed<3>(data, units, reach, options, item_count,
                               [](std::vector<uint8_t>* out, const Item& m) {
                                 PutU16Le(out, size_t{m.distance - 1} << 4 | (m.length - 1));
                               });
    case LzVariant::kPdtMask:
      return EncodeWindowed<1>(data, units, reach, options, item_count,
                               [](std::vector<uint8_t>* out, const Item& m) {
                                 out->push_back(static_cast<uint8_t>(m.length - 2));
                                 out->push_back(static_cast<uint8_t>(m.distance - 1));
                               });
    case LzVariant::kPdtIndexed:
      return EncodeIndexed(data, units, options, item_count);
  }
  return {};
}

}  // namespace encode
