#pragma once
// Where the PNG reconstruction takes its inflated rows from: a buffer that holds
// the whole inflated data, or zlib inflating just ahead of the rows, so that each
// row is unfiltered and converted while it is still in the cache and the image
// data never exists in full.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace pngpixels {

class RowFeed {
 public:
  virtual ~RowFeed() = default;
  // The next `bytes` bytes of inflated data (a filter byte and a row), with the
  // bytes handed out by the previous call lying right before them, so that the
  // row above stays readable. nullptr when the data cannot be had.
  virtual uint8_t* next(size_t bytes) = 0;
  // The most bytes one call of next() can hand out.
  virtual size_t largestRequest() const = 0;
};

// Rows from a buffer that holds all the inflated data.
class BufferRowFeed final : public RowFeed {
 public:
  explicit BufferRowFeed(std::span<uint8_t> data) : m_data(data) {}
  uint8_t* next(size_t bytes) override;
  size_t largestRequest() const override { return m_data.size(); }

 private:
  std::span<uint8_t> m_data;
  size_t m_position = 0;
};

// Rows inflated by zlib on demand, a window of rows at a time (large enough for
// zlib's fast loop, small enough to stay in the cache). Behaves as zlib's
// one-call uncompress into a zero-filled buffer of `capacity` bytes: data that
// ends early reads as zeros, and finish() fails unless the stream ends properly
// (checksum included) within the capacity. zlib inflates the deflate data
// only; the two header bytes are checked here as zlib checks them, and the
// checksum is taken here with vector loops, faster than zlib's own.
class ZlibRowFeed final : public RowFeed {
 public:
  // `parts` are the pieces of the zlib stream in order (the IDAT chunks); they
  // must outlive the feed. Two rows of `largestRow` bytes can always be asked
  // for at once, four where that keeps the window small enough for the cache.
  ZlibRowFeed(std::span<const std::span<const uint8_t>> parts, size_t capacity, size_t largestRow);
  ~ZlibRowFeed() override;
  ZlibRowFeed(const ZlibRowFeed&) = delete;
  ZlibRowFeed& operator=(const ZlibRowFeed&) = delete;

  uint8_t* next(size_t bytes) override;
  size_t largestRequest() const override { return m_windowSize / 2; }
  // After the last row: true when the whole stream inflated cleanly and fits.
  bool finish();
  // zlib's status that stopped the feed (Z_BUF_ERROR also for data that does
  // not fit the capacity, Z_MEM_ERROR when zlib could not start); Z_OK while
  // nothing went wrong.
  int status() const { return m_status; }

 private:
  bool refillWindow(size_t bytes);
  int inflateStep();
  bool takeInput(uint8_t* out, size_t count);
  int checkHeader();
  int checkTrailer();
  int finishStep(int status, const uint8_t* produced, size_t count);

  std::span<const std::span<const uint8_t>> m_parts;
  size_t m_nextPart = 0;
  z_stream m_stream{};
  bool m_ready = false;
  bool m_headerChecked = false;
  uint32_t m_adler = 1;  // of everything inflated so far
  bool m_ended = false;
  bool m_failed = false;
  int m_status = Z_OK;
  size_t m_capacityLeft;                // output zlib may still produce
  std::unique_ptr<uint8_t[]> m_window;  // not zero-filled: only inflated bytes are read
  size_t m_windowSize = 0;
  size_t m_previous = 0;  // start of the row handed out last
  size_t m_begin = 0;     // first byte not yet handed out
  size_t m_end = 0;       // end of the inflated bytes in the window
};

}  // namespace pngpixels
