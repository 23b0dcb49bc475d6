#include "image/codecs/pngrowfeed.h"

#include "image/codecs/adler32.h"

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
// The window holds the rows handed out last and those asked for next: room
// for four rows at a time up to this size, for two beyond it.
constexpr size_t kLargestQuadWindow = 1024 * 1024;

}  // namespace

ZlibRowFeed::ZlibRowFeed(std::span<const std::span<const uint8_t>> parts, size_t capacity,
                         size_t largestRow)
    : m_parts(parts), m_capacityLeft(capacity) {
  // Small images need no more than their whole data (plus room for the rows:
  // the group handed out last and the next group).
  const size_t rowsAtOnce = largestRow <= kLargestQuadWindow / 8 ? 4 : 2;
  m_windowSize = std::max(std::min(kWindowBytes, capacity), 2 * rowsAtOnce * largestRow);
  m_window.reset(new uint8_t[m_windowSize]);
  m_status = Z_MEM_ERROR;
  for (const auto& part : parts) {
    if (part.size() > UINT_MAX) return;
  }
  // Raw deflate data: the zlib header and checksum are handled here.
  m_status = inflateInit2(&m_stream, -MAX_WBITS);
  m_ready = m_status == Z_OK;
}

ZlibRowFeed::~ZlibRowFeed() {
  if (m_ready) inflateEnd(&m_stream);
}

// The next `count` bytes of input, across pieces; false when the input ends first.
bool ZlibRowFeed::takeInput(uint8_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    while (m_stream.avail_in == 0) {
      if (m_nextPart == m_parts.size()) return false;
      const std::span<const uint8_t> part = m_parts[m_nextPart++];
      m_stream.next_in = const_cast<Bytef*>(part.data());
      m_stream.avail_in = static_cast<uInt>(part.size());
    }
    out[i] = *m_stream.next_in++;
    --m_stream.avail_in;
  }
  return true;
}

// The two header bytes, with zlib's checks in zlib's order and its answers.
int ZlibRowFeed::checkHeader() {
  uint8_t header[2];
  if (!takeInput(header, 2)) return Z_BUF_ERROR;
  const unsigned method = header[0] & 0x0F, windowBits = (header[0] >> 4) + 8u;
  if ((header[0] * 256u + header[1]) % 31 != 0) return Z_DATA_ERROR;
  if (method != Z_DEFLATED) return Z_DATA_ERROR;
  if (windowBits > MAX_WBITS) return Z_DATA_ERROR;
  if (header[1] & 0x20) {
    // A preset dictionary is never given; zlib says so once it has the
    // dictionary's identifier.
    uint8_t identifier[4];
    return takeInput(identifier, 4) ? Z_NEED_DICT : Z_BUF_ERROR;
  }
  return Z_OK;
}

// After the deflate data: the stored checksum, most significant byte first.
int ZlibRowFeed::checkTrailer() {
  uint8_t stored[4];
  if (!takeInput(stored, 4)) return Z_BUF_ERROR;
  const uint32_t expected = (uint32_t{stored[0]} << 24) | (uint32_t{stored[1]} << 16) |
                            (uint32_t{stored[2]} << 8) | stored[3];
  return expected == m_adler ? Z_STREAM_END : Z_DATA_ERROR;
}

// One inflate call, moving on to the next piece of input when one is used up.
int ZlibRowFeed::inflateStep() {
  if (!m_headerChecked) {
    const int header = checkHeader();
    if (header != Z_OK) return header;
    m_headerChecked = true;
  }
  while (m_stream.avail_in == 0 && m_nextPart < m_parts.size()) {
    const std::span<const uint8_t> part = m_parts[m_nextPart++];
    m_stream.next_in = const_cast<Bytef*>(part.data());
    m_stream.avail_in = static_cast<uInt>(part.size());
  }
  return inflate(&m_stream, Z_NO_FLUSH);
}

// Takes the bytes an inflate call made into the checksum; at the end of the
// deflate data the stream ends only if the stored checksum matches.
int ZlibRowFeed::finishStep(int status, const uint8_t* produced, size_t count) {
  m_adler = adler32Update(m_adler, produced, count);
  return status == Z_STREAM_END ? checkTrailer() : status;
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
    int status = inflateStep();
    const size_t produced = room - m_stream.avail_out;
    status = finishStep(status, m_window.get() + m_end, produced);
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
    int status = inflateStep();
    const size_t produced = room - m_stream.avail_out;
    status = finishStep(status, scratch, produced);
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
