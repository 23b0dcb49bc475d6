// Table-driven inflate. The bit reader keeps 56 to 63 bits in a 64-bit word and
// refills it with one unaligned 8-byte load while the input lasts; near the end
// it loads byte by byte and, past the end, feeds zero bytes that are counted so
// that consuming any of them is reported as truncated input.
//
// Huffman tables: a primary table indexed by the next kLitBits (or kDistBits)
// bits of the stream, with second-level tables for longer codes. Each entry is
// one 32-bit word:
//   bits 0-3   code length to consume (the full length, also in second-level entries)
//   bits 4-7   number of extra bits that follow the code (link entries: the
//              number of index bits of the second-level table)
//   bits 8-11  kind (literal, length or distance, end of block, link, invalid)
//   bits 16-31 value: literal byte, length or distance base, or the offset of a
//              second-level table (link entries)
#include "image/codecs/inflate.h"

#include <array>
#include <cstring>
#include <memory>

namespace pnginflate {
namespace {

constexpr uint32_t kKindLiteral = 0 << 8;
constexpr uint32_t kKindBase = 1 << 8;  // length (literal/length table) or distance
constexpr uint32_t kKindEnd = 2 << 8;
constexpr uint32_t kKindLink = 3 << 8;
constexpr uint32_t kKindInvalid = 4 << 8;
constexpr uint32_t kKindMask = 0xF << 8;

constexpr uint32_t makeEntry(uint32_t kind, uint32_t codeLength, uint32_t extra, uint32_t value) {
  return kind | codeLength | (extra << 4) | (value << 16);
}
constexpr uint32_t entryLength(uint32_t e) { return e & 0xF; }
constexpr uint32_t entryExtra(uint32_t e) { return (e >> 4) & 0xF; }
constexpr uint32_t entryValue(uint32_t e) { return e >> 16; }

constexpr int kMaxCodeLength = 15;
constexpr int kLitBits = 10;
constexpr int kDistBits = 8;
constexpr int kCodeLengthBits = 7;
constexpr int kMaxLitSymbols = 288;
constexpr int kMaxDistSymbols = 32;
// Primary table plus one full-size second-level table per possible code.
constexpr size_t kLitTableSize =
    (1u << kLitBits) + kMaxLitSymbols * (1u << (kMaxCodeLength - kLitBits));
constexpr size_t kDistTableSize =
    (1u << kDistBits) + kMaxDistSymbols * (1u << (kMaxCodeLength - kDistBits));

// RFC 1951 length and distance bases and extra bits.
constexpr std::array<uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                  15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                  67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint16_t, 30> kDistBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<uint8_t, 30> kDistExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::array<uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                      11, 4,  12, 3, 13, 2, 14, 1, 15};

enum class Alphabet { LiteralLength, Distance, CodeLength };

uint32_t entryForSymbol(Alphabet alphabet, int symbol, uint32_t codeLength) {
  switch (alphabet) {
    case Alphabet::LiteralLength:
      if (symbol < 256)
        return makeEntry(kKindLiteral, codeLength, 0, static_cast<uint32_t>(symbol));
      if (symbol == 256) return makeEntry(kKindEnd, codeLength, 0, 0);
      if (symbol <= 285) {
        const int i = symbol - 257;
        return makeEntry(kKindBase, codeLength, kLengthExtra[i], kLengthBase[i]);
      }
      return makeEntry(kKindInvalid, codeLength, 0, 0);
    case Alphabet::Distance:
      if (symbol < 30)
        return makeEntry(kKindBase, codeLength, kDistExtra[symbol], kDistBase[symbol]);
      return makeEntry(kKindInvalid, codeLength, 0, 0);
    case Alphabet::CodeLength:
      return makeEntry(kKindLiteral, codeLength, 0, static_cast<uint32_t>(symbol));
  }
  return makeEntry(kKindInvalid, 0, 0, 0);
}

uint32_t reverseBits(uint32_t code, int length) {
  uint32_t reversed = 0;
  for (int i = 0; i < length; ++i, code >>= 1) reversed = (reversed << 1) | (code & 1);
  return reversed;
}

// Builds a canonical Huffman decoding table. Over-subscribed code sets are
// refused; incomplete ones only when they hold a single code of length 1 or no
// code at all (as deflate encoders emit for tiny distance alphabets).
bool buildTable(const uint8_t* lengths, int symbolCount, Alphabet alphabet, int primaryBits,
                uint32_t* table, size_t tableSize) {
  std::array<int, kMaxCodeLength + 1> count{};
  for (int s = 0; s < symbolCount; ++s) ++count[lengths[s]];
  count[0] = 0;
  int left = 1;
  int maxLength = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    left = (left << 1) - count[len];
    if (left < 0) return false;
    if (count[len]) maxLength = len;
  }
  const bool incompleteAllowed = alphabet != Alphabet::CodeLength && maxLength <= 1;
  if (left > 0 && !incompleteAllowed) return false;

  const size_t primarySize = size_t{1} << primaryBits;
  const uint32_t invalid = makeEntry(kKindInvalid, 0, 0, 0);
  std::fill(table, table + primarySize, invalid);
  const int subBits = maxLength > primaryBits ? maxLength - primaryBits : 0;
  const size_t subSize = size_t{1} << subBits;
  size_t nextSub = primarySize;

  // First canonical code of each length.
  std::array<uint32_t, kMaxCodeLength + 1> nextCode{};
  uint32_t code = 0;
  for (int len = 1; len <= kMaxCodeLength; ++len) {
    code = (code + static_cast<uint32_t>(count[len - 1])) << 1;
    nextCode[len] = code;
  }

  for (int s = 0; s < symbolCount; ++s) {
    const int len = lengths[s];
    if (len == 0) continue;
    const uint32_t reversed = reverseBits(nextCode[len]++, len);
    const uint32_t entry = entryForSymbol(alphabet, s, static_cast<uint32_t>(len));
    if (len <= primaryBits) {
      for (size_t i = reversed; i < primarySize; i += size_t{1} << len) table[i] = entry;
      continue;
    }
    const uint32_t prefix = reversed & (static_cast<uint32_t>(primarySize) - 1);
    uint32_t link = table[prefix];
    if ((link & kKindMask) != kKindLink) {
      if (nextSub + subSize > tableSize) return false;
      link = makeEntry(kKindLink, static_cast<uint32_t>(primaryBits),
                       static_cast<uint32_t>(subBits), static_cast<uint32_t>(nextSub));
      table[prefix] = link;
      std::fill(table + nextSub, table + nextSub + subSize, invalid);
      nextSub += subSize;
    }
    uint32_t* sub = table + entryValue(link);
    const int restLength = len - primaryBits;
    for (size_t i = reversed >> primaryBits; i < subSize; i += size_t{1} << restLength)
      sub[i] = entry;
  }
  return true;
}

class Inflater {
 public:
  Inflater(std::span<const uint8_t> input, std::span<uint8_t> output)
      : m_in(input.data()),
        m_inEnd(input.data() + input.size()),
        m_outStart(output.data()),
        m_out(output.data()),
        m_outEnd(output.data() + output.size()) {}

  int run() {
    bool last = false;
    do {
      if (!refill()) return kShort;
      last = take(1) != 0;
      const uint32_t type = take(2);
      int code = kOk;
      switch (type) {
        case 0:
          code = storedBlock();
          break;
        case 1:
          code = fixedBlock();
          break;
        case 2:
          code = dynamicBlock();
          break;
        default:
          code = kShort;
          break;
      }
      if (code != kOk) return code;
      if (overran()) return kShort;
    } while (!last);
    return kOk;
  }

  size_t produced() const { return static_cast<size_t>(m_out - m_outStart); }

  // Match copies may write up to 7 scratch bytes past the produced data; put
  // back zeros there so untouched output stays as the caller zero-filled it.
  void clearScratchTail() {
    const size_t tail = std::min<size_t>(8, static_cast<size_t>(m_outEnd - m_out));
    if (tail != 0) std::memset(m_out, 0, tail);
  }

 private:
  // --- bit reader
  bool refill() {
    if (m_inEnd - m_in >= 8) [[likely]] {
      uint64_t word;
      std::memcpy(&word, m_in, 8);
      m_bits |= word << m_count;
      m_in += (63 - m_count) >> 3;
      m_count |= 56;
      return true;
    }
    return refillSlow();
  }

  bool refillSlow() {
    while (m_count < 56) {
      if (m_in < m_inEnd) {
        m_bits |= static_cast<uint64_t>(*m_in++) << m_count;
      } else {
        // Zero padding past the end; more than a word of it means the data
        // has certainly been overrun.
        if (++m_padBytes > 16) return false;
      }
      m_count += 8;
    }
    return true;
  }

  uint32_t take(uint32_t n) {
    const uint32_t v = static_cast<uint32_t>(m_bits & ((uint64_t{1} << n) - 1));
    m_bits >>= n;
    m_count -= n;
    return v;
  }

  void drop(uint32_t n) {
    m_bits >>= n;
    m_count -= n;
  }

  bool overran() const { return m_padBytes * 8 > m_count; }

  // --- blocks
  int storedBlock() {
    drop(m_count & 7);
    // Give back the whole bytes still held in the bit buffer.
    const uint32_t held = m_count / 8;
    if (m_padBytes > held) return kShort;
    m_in -= held - m_padBytes;
    m_bits = 0;
    m_count = 0;
    m_padBytes = 0;
    if (m_inEnd - m_in < 4) return kShort;
    const uint32_t len = m_in[0] | (m_in[1] << 8);
    const uint32_t nlen = m_in[2] | (m_in[3] << 8);
    m_in += 4;
    if ((len ^ 0xFFFF) != nlen) return kBadStoredLength;
    if (static_cast<size_t>(m_inEnd - m_in) < len || static_cast<size_t>(m_outEnd - m_out) < len) {
      return kShort;
    }
    if (len != 0) std::memcpy(m_out, m_in, len);
    m_in += len;
    m_out += len;
    return kOk;
  }

  int fixedBlock() {
    if (!m_fixedReady) {
      std::array<uint8_t, kMaxLitSymbols + kMaxDistSymbols> lengths{};
      for (int s = 0; s < 144; ++s) lengths[s] = 8;
      for (int s = 144; s < 256; ++s) lengths[s] = 9;
      for (int s = 256; s < 280; ++s) lengths[s] = 7;
      for (int s = 280; s < 288; ++s) lengths[s] = 8;
      for (int s = 0; s < 32; ++s) lengths[kMaxLitSymbols + s] = 5;
      m_fixedLit = std::make_unique<uint32_t[]>(kLitTableSize);
      m_fixedDist = std::make_unique<uint32_t[]>(kDistTableSize);
      buildTable(lengths.data(), kMaxLitSymbols, Alphabet::LiteralLength, kLitBits,
                 m_fixedLit.get(), kLitTableSize);
      buildTable(lengths.data() + kMaxLitSymbols, kMaxDistSymbols, Alphabet::Distance, kDistBits,
                 m_fixedDist.get(), kDistTableSize);
      m_fixedReady = true;
    }
    return decodeBlock(m_fixedLit.get(), m_fixedDist.get());
  }

  int dynamicBlock() {
    if (!refill()) return kShort;
    const int litCount = static_cast<int>(take(5)) + 257;
    const int distCount = static_cast<int>(take(5)) + 1;
    const int codeLengthCount = static_cast<int>(take(4)) + 4;
    if (litCount > 286 || distCount > 30) return kBadTable;

    std::array<uint8_t, 19> codeLengthLengths{};
    for (int i = 0; i < codeLengthCount; ++i) {
      if (!refill()) return kShort;
      codeLengthLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(take(3));
    }
    std::array<uint32_t, 1u << kCodeLengthBits> codeLengthTable{};
    if (!buildTable(codeLengthLengths.data(), 19, Alphabet::CodeLength, kCodeLengthBits,
                    codeLengthTable.data(), codeLengthTable.size())) {
      return kBadTable;
    }

    std::array<uint8_t, kMaxLitSymbols + kMaxDistSymbols> lengths{};
    const int total = litCount + distCount;
    int n = 0;
    while (n < total) {
      if (!refill()) return kShort;
      const uint32_t e = codeLengthTable[m_bits & ((1u << kCodeLengthBits) - 1)];
      if ((e & kKindMask) != kKindLiteral || entryLength(e) == 0) return kBadTable;
      drop(entryLength(e));
      const uint32_t symbol = entryValue(e);
      if (symbol < 16) {
        lengths[n++] = static_cast<uint8_t>(symbol);
        continue;
      }
      uint8_t value = 0;
      uint32_t repeat = 0;
      if (symbol == 16) {
        if (n == 0) return kBadTable;
        value = lengths[n - 1];
        repeat = 3 + take(2);
      } else if (symbol == 17) {
        repeat = 3 + take(3);
      } else {
        repeat = 11 + take(7);
      }
      if (static_cast<int>(repeat) > total - n) return kBadTable;
      std::memset(lengths.data() + n, value, repeat);
      n += static_cast<int>(repeat);
    }
    if (overran()) return kShort;
    if (lengths[256] == 0) return kBadTable;
    if (!m_lit) {
      m_lit = std::make_unique<uint32_t[]>(kLitTableSize);
      m_dist = std::make_unique<uint32_t[]>(kDistTableSize);
    }
    if (!buildTable(lengths.data(), litCount, Alphabet::LiteralLength, kLitBits, m_lit.get(),
                    kLitTableSize) ||
        !buildTable(lengths.data() + litCount, distCount, Alphabet::Distance, kDistBits,
                    m_dist.get(), kDistTableSize)) {
      return kBadTable;
    }
    return decodeBlock(m_lit.get(), m_dist.get());
  }

  static uint32_t lookup(const uint32_t* table, int primaryBits, uint64_t bits) {
    uint32_t e = table[bits & ((1u << primaryBits) - 1)];
    if ((e & kKindMask) == kKindLink) {
      e = table[entryValue(e) + ((bits >> primaryBits) & ((1u << entryExtra(e)) - 1))];
    }
    return e;
  }

  int decodeBlock(const uint32_t* lit, const uint32_t* dist) {
    for (;;) {
      if (!refill()) return kShort;
      uint32_t e = lookup(lit, kLitBits, m_bits);
      if ((e & kKindMask) == kKindLiteral) {
        drop(entryLength(e));
        if (m_out == m_outEnd) return kShort;
        *m_out++ = static_cast<uint8_t>(entryValue(e));
        // At least 41 bits remain: room for a second literal without a refill.
        e = lookup(lit, kLitBits, m_bits);
        if ((e & kKindMask) == kKindLiteral) {
          drop(entryLength(e));
          if (m_out == m_outEnd) return kShort;
          *m_out++ = static_cast<uint8_t>(entryValue(e));
          continue;
        }
        if (!refill()) return kShort;
        e = lookup(lit, kLitBits, m_bits);
      }
      const uint32_t kind = e & kKindMask;
      if (kind == kKindEnd) {
        drop(entryLength(e));
        return kOk;
      }
      if (kind != kKindBase || entryLength(e) == 0) return kBadData;
      drop(entryLength(e));
      const size_t length = entryValue(e) + take(entryExtra(e));

      const uint32_t d = lookup(dist, kDistBits, m_bits);
      if ((d & kKindMask) != kKindBase || entryLength(d) == 0) return kBadData;
      drop(entryLength(d));
      const size_t distance = entryValue(d) + take(entryExtra(d));
      if (distance > static_cast<size_t>(m_out - m_outStart)) return kBadData;
      const size_t room = static_cast<size_t>(m_outEnd - m_out);
      if (length > room) return kShort;
      copyMatch(distance, length, room);
    }
  }

  void copyMatch(size_t distance, size_t length, size_t room) {
    uint8_t* dst = m_out;
    const uint8_t* src = m_out - distance;
    m_out += length;
    if (distance >= 8 && room >= length + 8) {
      // Whole words; the source word is always written before it is read.
      uint8_t* const end = dst + length;
      do {
        uint64_t word;
        std::memcpy(&word, src, 8);
        std::memcpy(dst, &word, 8);
        src += 8;
        dst += 8;
      } while (dst < end);
    } else if (distance == 1) {
      std::memset(dst, src[0], length);
    } else {
      for (size_t i = 0; i < length; ++i) dst[i] = src[i];
    }
  }

  const uint8_t* m_in;
  const uint8_t* const m_inEnd;
  uint8_t* const m_outStart;
  uint8_t* m_out;
  uint8_t* const m_outEnd;
  uint64_t m_bits = 0;
  uint32_t m_count = 0;
  uint32_t m_padBytes = 0;

  bool m_fixedReady = false;
  std::unique_ptr<uint32_t[]> m_fixedLit, m_fixedDist;
  std::unique_ptr<uint32_t[]> m_lit, m_dist;
};

}  // namespace

InflateResult Inflate(std::span<const uint8_t> input, std::span<uint8_t> output) {
  if (input.size() < 2) return {kShort, 0};
  Inflater inflater(input.subspan(2), output);
  InflateResult result;
  result.code = inflater.run();
  result.produced = inflater.produced();
  inflater.clearScratchTail();
  return result;
}

}  // namespace pnginflate
