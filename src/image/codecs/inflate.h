#pragma once
// The decoder's own inflate (deflate data as in RFC 1951) for systems without
// zlib and for data zlib refuses. It reads a zlib stream from its third byte on:
// the two header bytes and the Adler-32 trailer are never checked.

#include <cstddef>
#include <cstdint>
#include <span>

namespace pnginflate {

// Failure codes; 0 is success.
constexpr int kOk = 0;
constexpr int kShort = -1;            // input ends early, output space too small, or block type 3
constexpr int kBadStoredLength = -2;  // a stored block's LEN and NLEN disagree
constexpr int kBadData = -3;          // a code that no table holds, or a distance too far back
constexpr int kBadTable = 9;          // a malformed dynamic code table

struct InflateResult {
  int code = kOk;
  size_t produced = 0;  // bytes written to the output
};

// Inflates the zlib stream `input` into `output`, never writing past its end.
// Bytes of the output that the data does not reach are left as they were.
InflateResult Inflate(std::span<const uint8_t> input, std::span<uint8_t> output);

}  // namespace pnginflate
