// The five LZ stream encoders: a hash-chain matcher (greedy or lazy) that finds the longest
// earlier match within a variant's reach, and the two flag disciplines that frame the items.
// Every back-reference names only units already written, so each stream decodes exactly
// back to its input and the decoder stops at the stream's last byte.
#include "tools/encoders/lz_encoder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "codec/lz.h"

namespace encode {
namespace {

constexpr uint32_t kNoPosition = UINT32_MAX;

struct Match {
  size_t length = 0;    // units; 0 when nothing was found
  size_t distance = 0;  // units
  size_t table_index = 0;  // kPdtIndexed only
};

// What a variant's back-reference can say, in units.
struct Reach {
  size_t min_length;
  size_t max_length;
  size_t max_distance;
};

Reach ReachOf(LzVariant variant) {
  switch (variant) {
    case LzVariant::kG00Bytes: return {2, 17, 4095};
    case LzVariant::kG00Pixels: return {1, 16, 4095};
    case LzVariant::kPdtPixels: return {1, 16, 4096};
    case LzVariant::kPdtMask: return {2, 257, 256};
    case LzVariant::kPdtIndexed: return {2, 17, 0};
  }
  return {0, 0, 0};
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

// Hash chains over units. A key covers two bytes (byte units) or one pixel; every earlier
// position with the same key is linked, newest first, and Find walks at most max_chain of
// them within max_distance units.
template <size_t kUnit>
class ChainMatcher {
 public:
  static constexpr size_t kKeyUnits = kUnit == 1 ? 2 : 1;
  static constexpr unsigned kHashBits = 16;

  ChainMatcher(const uint8_t* data, size_t units, size_t max_length, size_t max_distance,
               int max_chain)
      : data_(data),
        units_(units),
        max_length_(max_length),
        max_distance_(max_distance),
        max_chain_(max_chain < 1 ? 1 : max_chain),
        head_(size_t{1} << kHashBits, kNoPosition),
        prev_(units, kNoPosition) {
    if (units > kNoPosition - 1) throw std::length_error("stream too long to encode");
  }

  void Insert(size_t pos) {
    if (pos + kKeyUnits > units_) return;
    const size_t key = Key(pos);
    prev_[pos] = head_[key];
    head_[key] = static_cast<uint32_t>(pos);
  }

  // The longest match at pos with an earlier inserted position; the nearest among equals.
  Match Find(size_t pos) const {
    Match best;
    if (pos + kKeyUnits > units_) return best;
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
  size_t Key(size_t pos) const {
    const uint8_t* p = data_ + pos * kUnit;
    if constexpr (kUnit == 1) {
      return size_t{p[0]} | size_t{p[1]} << 8;
    } else {
      const uint32_t v = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
      return (v * 2654435761u) >> (32 - kHashBits);
    }
  }

  const uint8_t* data_;
  size_t units_;
  size_t max_length_;
  size_t max_distance_;
  int max_chain_;
  std::vector<uint32_t> head_;
  std::vector<uint32_t> prev_;
};

// PDT11: a back-reference can only name one of the 16 table distances, so every usable
// entry is tried at each position.
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
        best.distance = distance;
        best.table_index = i;
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

// What a variant's items cost in stream bytes (flag bits aside).
struct ItemBytes {
  size_t literal;
  size_t reference;
};

// Whether a literal at pos and then `next` (from pos + 1) is cheaper than `match` at pos
// followed by whatever covers the units up to the end of `next`: one more reference, or
// literals when fewer units are left than a reference can carry.
bool DeferPays(const Match& match, const Match& next, size_t min_length, const ItemBytes& cost) {
  if (next.length <= match.length) return false;
  const size_t rest = 1 + next.length - match.length;
  const size_t rest_bytes = rest < min_length ? rest * cost.literal : cost.reference;
  return cost.literal + cost.reference < cost.reference + rest_bytes;
}

// Splits units into items: emit(pos, match) with match.length 0 for a literal at pos.
// Lazy matching defers a match by one unit while that pays (byte variants with 2-byte
// references; a pixel literal or a 1-byte reference never makes deferring cheaper).
template <class Matcher, class Emit>
void Parse(Matcher& matcher, size_t units, size_t min_length, size_t max_length,
           const ItemBytes& cost, const LzOptions& options, Emit&& emit) {
  size_t inserted = 0;  // positions below this are in the matcher
  auto insert_up_to = [&](size_t end) {
    for (; inserted < end; ++inserted) matcher.Insert(inserted);
  };
  const bool matching = !options.literals_only && max_length >= min_length;
  const bool lazy = options.lazy && cost.literal < cost.reference;
  size_t pos = 0;
  while (pos < units) {
    Match match;
    if (matching) match = matcher.Find(pos);
    if (match.length < min_length) {
      emit(pos, Match{});
      insert_up_to(++pos);
      continue;
    }
    if (lazy) {
      while (match.length < max_length && pos + 1 < units) {
        insert_up_to(pos + 1);
        const Match next = matcher.Find(pos + 1);
        if (!DeferPays(match, next, min_length, cost)) break;
        emit(pos, Match{});
        ++pos;
        match = next;
      }
    }
    emit(pos, match);
    pos += match.length;
    insert_up_to(pos);
  }
}

// The flag byte placement of the two disciplines. Begin each item with BeginItem, then
// append its bytes.
class FlagFramer {
 public:
  FlagFramer(bool low_first, std::vector<uint8_t>* out) : low_first_(low_first), out_(out) {
    if (!low_first_) NewFlagByte();  // the first PDT flag byte leads the stream
  }

  void BeginItem(bool literal) {
    const size_t slot = items_ % 8;
    if (slot == 0 && (low_first_ || items_ > 0)) NewFlagByte();
    if (literal) {
      (*out_)[flag_index_] |= static_cast<uint8_t>(low_first_ ? 1u << slot : 0x80u >> slot);
    }
    ++items_;
  }

  // PDT: the decoder takes the next flag byte right after a group's eighth item; emitting
  // it with no item after it is allowed and ends the stream there.
  void Finish(bool end_after_flag_byte) {
    if (!low_first_ && end_after_flag_byte && items_ > 0 && items_ % 8 == 0) NewFlagByte();
  }

 private:
  void NewFlagByte() {
    flag_index_ = out_->size();
    out_->push_back(0);
  }

  bool low_first_;
  std::vector<uint8_t>* out_;
  size_t flag_index_ = 0;
  size_t items_ = 0;
};

void PutU16Le(std::vector<uint8_t>* out, size_t value) {
  out->push_back(static_cast<uint8_t>(value));
  out->push_back(static_cast<uint8_t>(value >> 8));
}

size_t CappedLength(const Reach& reach, const LzOptions& options) {
  if (options.max_match_length == 0) return reach.max_length;
  return std::min(options.max_match_length, reach.max_length);
}

// The variants with a sliding window: the matcher, the framing and one reference layout.
template <size_t kUnit, class PutReference>
std::vector<uint8_t> EncodeWindowed(const uint8_t* data, size_t units, const Reach& reach,
                                    bool low_first, const LzOptions& options,
                                    PutReference&& put_reference) {
  std::vector<uint8_t> out;
  out.reserve(units * kUnit / 2 + 16);
  const size_t max_length = CappedLength(reach, options);
  ChainMatcher<kUnit> matcher(data, units, max_length, reach.max_distance,
                              options.max_chain_length);
  FlagFramer framer(low_first, &out);
  Parse(matcher, units, reach.min_length, max_length, ItemBytes{kUnit, 2}, options,
        [&](size_t pos, const Match& m) {
          framer.BeginItem(m.length == 0);
          if (m.length == 0) {
            out.insert(out.end(), data + pos * kUnit, data + (pos + 1) * kUnit);
          } else {
            put_reference(&out, m);
          }
        });
  framer.Finish(options.end_after_flag_byte);
  return out;
}

// The 16 distances most worth having: a first pass with a wide window counts the bytes
// each distance's matches would save; the best 16 are kept, then any gap is filled with
// the smallest distances not yet taken.
std::vector<int32_t> ChooseIndexedDistances(const uint8_t* data, size_t units,
                                            const LzOptions& options) {
  constexpr size_t kWindow = 65535;
  const Reach reach = ReachOf(LzVariant::kPdtIndexed);
  std::unordered_map<size_t, size_t> saved;
  ChainMatcher<1> matcher(data, units, reach.max_length, kWindow, options.max_chain_length);
  LzOptions first_pass = options;
  first_pass.literals_only = false;
  Parse(matcher, units, reach.min_length, reach.max_length, ItemBytes{1, 1}, first_pass,
        [&](size_t, const Match& m) {
          if (m.length != 0) saved[m.distance] += m.length - 1;
        });
  std::vector<std::pair<size_t, size_t>> ranked(saved.begin(), saved.end());
  std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
    return a.second != b.second ? a.second > b.second : a.first < b.first;
  });
  std::vector<int32_t> table;
  for (size_t i = 0; i < ranked.size() && table.size() < kPdtDistanceCount; ++i) {
    table.push_back(static_cast<int32_t>(ranked[i].first));
  }
  for (int32_t d = 1; table.size() < kPdtDistanceCount; ++d) {
    if (std::find(table.begin(), table.end(), d) == table.end()) table.push_back(d);
  }
  return table;
}

std::vector<uint8_t> EncodeIndexed(const uint8_t* data, size_t units, const LzOptions& options) {
  if (units > kNoPosition - 1) throw std::length_error("stream too long to encode");
  std::vector<int32_t> table = options.indexed_distances;
  if (table.empty()) {
    table = ChooseIndexedDistances(data, units, options);
  } else if (table.size() != kPdtDistanceCount) {
    throw std::invalid_argument("the distance table needs 16 entries");
  }
  std::vector<uint8_t> out;
  out.reserve(64 + units / 2 + 16);
  for (int32_t d : table) {
    const uint32_t v = static_cast<uint32_t>(d);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
  }
  const Reach reach = ReachOf(LzVariant::kPdtIndexed);
  const size_t max_length = CappedLength(reach, options);
  TableMatcher matcher(data, units, max_length, table);
  FlagFramer framer(false, &out);
  Parse(matcher, units, reach.min_length, max_length, ItemBytes{1, 1}, options,
        [&](size_t pos, const Match& m) {
          framer.BeginItem(m.length == 0);
          if (m.length == 0) {
            out.push_back(data[pos]);
          } else {
            out.push_back(static_cast<uint8_t>((m.length - 2) << 4 | m.table_index));
          }
        });
  framer.Finish(options.end_after_flag_byte);
  return out;
}

}  // namespace

size_t MinMatchLength(LzVariant variant) { return ReachOf(variant).min_length; }
size_t MaxMatchLength(LzVariant variant) { return ReachOf(variant).max_length; }
size_t MaxMatchDistance(LzVariant variant) { return ReachOf(variant).max_distance; }

std::vector<uint8_t> EncodeLz(LzVariant variant, const uint8_t* data, size_t byte_count,
                              const LzOptions& options) {
  const Reach reach = ReachOf(variant);
  switch (variant) {
    case LzVariant::kG00Bytes:
      return EncodeWindowed<1>(data, byte_count, reach, true, options,
                               [](std::vector<uint8_t>* out, const Match& m) {
                                 PutU16Le(out, m.distance << 4 | (m.length - 2));
                               });
    case LzVariant::kG00Pixels:
      if (byte_count % 3 != 0) throw std::invalid_argument("pixels come in 3 bytes");
      return EncodeWindowed<3>(data, byte_count / 3, reach, true, options,
                               [](std::vector<uint8_t>* out, const Match& m) {
                                 PutU16Le(out, m.distance << 4 | (m.length - 1));
                               });
    case LzVariant::kPdtPixels:
      if (byte_count % 3 != 0) throw std::invalid_argument("pixels come in 3 bytes");
      return EncodeWindowed<3>(data, byte_count / 3, reach, false, options,
                               [](std::vector<uint8_t>* out, const Match& m) {
                                 PutU16Le(out, (m.distance - 1) << 4 | (m.length - 1));
                               });
    case LzVariant::kPdtMask:
      return EncodeWindowed<1>(data, byte_count, reach, false, options,
                               [](std::vector<uint8_t>* out, const Match& m) {
                                 out->push_back(static_cast<uint8_t>(m.length - 2));
                                 out->push_back(static_cast<uint8_t>(m.distance - 1));
                               });
    case LzVariant::kPdtIndexed:
      return EncodeIndexed(data, byte_count, options);
  }
  return {};
}

}  // namespace encode
