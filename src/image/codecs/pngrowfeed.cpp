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

namespace {

// Inflated bytes kept at a time, at least a few rows.
constexpr size_t kWindowBytes = 128 * 1024;

}  // namespace

ZlibRowFeed::ZlibRowFeed(std::span<const std::span<const uint8_t>> parts, size_t capacity,
                         size_t largestRow)
    : m_parts(parts), m_capacityLeft(capacity) {
  // Small images need no more than their whole data (plus room for the rows:
  // a pair handed out last and the next pair).
  m_windowSize = std::max(std::min(kWindowBytes, capacity), 4 * largestRow);
  m_window.reset(new uint8_t[m_windowSize]);
  m_status = Z_MEM_ERROR;
  for (const auto& part : parts) {
    if (part.size() > UINT_MAX) return;
  }
  m_status = inflateInit(&m_stream);
  m_ready = m_status == Z_OK;
}

ZlibRowFeed::~ZlibRowFeed() {
  if (m_ready) inflateEnd(&m_stream);
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

// Makes at least `bytes` bytes available from m_begin, keeping the previous row.
bool ZlibRowFeed::refillWindow(size_t bytes) {
  if (m_previous > 0) {
    std::memmove(m_window.get(), m_window.get() + m_previous, m_end - m_previous);
    m_begin -= m_previous;
    m_end -= m_previous;
    m_previous = 0;
  }
  while (m_end - m_begin < bytes && !m_ended) {
    const size_t room = std::min(m_windowSize - m_end, m_capacityLeft);
    if (room == 0) break;
    m_stream.next_out = m_window.get() + m_end;
    m_stream.avail_out = static_cast<uInt>(room);
    const int status = inflateStep();
    const size_t produced = room - m_stream.avail_out;
    m_end += produced;
    m_capacityLeft -= produced;
    if (status == Z_STREAM_END) {
      m_ended = true;
    } else if (status != Z_OK) {
      // Z_BUF_ERROR here means the input ran out before the stream ended.
      m_status = status;
      return false;
    }
  }
  if (m_end - m_begin < bytes) {
    // Data that ended early reads as the zeros of a zero-filled buffer.
    std::memset(m_window.get() + m_end, 0, m_begin + bytes - m_end);
    m_end = m_begin + bytes;
  }
  return true;
}

uint8_t* ZlibRowFeed::next(size_t bytes) {
  if (!m_ready || m_failed || bytes > m_windowSize / 2) return nullptr;
  if (m_end - m_begin < bytes && !refillWindow(bytes)) {
    m_failed = true;
    return nullptr;
  }
  m_previous = m_begin;
  m_begin += bytes;
  return m_window.get() + m_previous;
}

bool ZlibRowFeed::finish() {
  if (!m_ready || m_failed) return false;
  // Whatever the rows did not use must still fit the capacity, and the stream
  // must end with a valid checksum.
  uint8_t scratch[4096];
  while (!m_ended) {
    const bool probing = m_capacityLeft == 0;  // no room: the stream may only end
    const size_t room = probing ? 1 : std::min(sizeof scratch, m_capacityLeft);
    m_stream.next_out = scratch;
    m_stream.avail_out = static_cast<uInt>(room);
    const int status = inflateStep();
    const size_t produced = room - m_stream.avail_out;
    if (probing && produced > 0) {
      m_status = Z_BUF_ERROR;
      return false;
    }
    if (status == Z_STREAM_END) {
      m_ended = true;
    } else if (status != Z_OK) {
      m_status = status;
      return false;
    }
    m_capacityLeft -= produced;
  }
  return true;
}

}  // namespace pngpixels
