#include "image/codecs/pngrowfeed.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace pngpixels {

uint8_t* BufferRowFeed::next(size_t bytes) {
  if (bytes > m_data.size() - m_position) return nullptr;
  uint8_t* row = m_data.data() + m_position;
  m_position += bytes;
  return row;
}

ZlibRowFeed::ZlibRowFeed(std::span<const std::span<const uint8_t>> parts, size_t capacity,
                         size_t largestRow)
    : m_parts(parts), m_remaining(capacity) {
  m_rows[0].resize(largestRow);
  m_rows[1].resize(largestRow);
  for (const auto& part : parts) {
    if (part.size() > UINT_MAX) return;
  }
  m_ready = inflateInit(&m_stream) == Z_OK;
}

// One inflate call, moving on to the next piece of input when one is used up.
int ZlibRowFeed::inflateStep() {
  while (m_stream.avail_in == 0 && m_nextPart < m_parts.size()) {
    const std::span<const uint8_t> part = m_parts[m_nextPart++];
    m_stream.next_in = const_cast<Bytef*>(part.data());
    m_stream.avail_in = static_cast<uInt>(part.size());
  }
  return inflate(&m_stream, Z_NO_FLUSH);
}

ZlibRowFeed::~ZlibRowFeed() {
  if (m_ready) inflateEnd(&m_stream);
}

bool ZlibRowFeed::inflateInto(uint8_t* out, size_t bytes) {
  m_stream.next_out = out;
  m_stream.avail_out = static_cast<uInt>(bytes);
  while (m_stream.avail_out > 0 && !m_ended) {
    const int status = inflateStep();
    if (status == Z_STREAM_END) {
      m_ended = true;
    } else if (status != Z_OK) {
      // Z_BUF_ERROR here means the input ran out before the stream ended.
      return false;
    }
  }
  // Data that ended early reads as the zeros of a zero-filled buffer.
  if (m_stream.avail_out > 0) std::memset(m_stream.next_out, 0, m_stream.avail_out);
  return true;
}

uint8_t* ZlibRowFeed::next(size_t bytes) {
  if (!m_ready || m_failed || bytes > m_remaining || bytes > m_rows[0].size()) return nullptr;
  m_current ^= 1;
  uint8_t* row = m_rows[m_current].data();
  if (!inflateInto(row, bytes)) {
    m_failed = true;
    return nullptr;
  }
  m_remaining -= bytes;
  return row;
}

bool ZlibRowFeed::finish() {
  if (!m_ready || m_failed) return false;
  // Whatever the rows did not use must still fit the capacity, and the stream
  // must end with a valid checksum.
  uint8_t scratch[4096];
  while (!m_ended) {
    const bool probing = m_remaining == 0;  // no room: the stream may only end
    const size_t room = probing ? 1 : std::min(sizeof scratch, m_remaining);
    m_stream.next_out = scratch;
    m_stream.avail_out = static_cast<uInt>(room);
    const int status = inflateStep();
    const size_t produced = room - m_stream.avail_out;
    if (probing && produced > 0) return false;
    if (status == Z_STREAM_END) {
      m_ended = true;
    } else if (status != Z_OK) {
      return false;
    }
    m_remaining -= produced;
  }
  return true;
}

}  // namespace pngpixels
