#pragma once
// The one owner of a file descriptor: closes it when it goes out of scope, so
// no early return can leak one.
#include <unistd.h>

#include <utility>

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : m_fd(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return m_fd; }
  bool valid() const { return m_fd >= 0; }
  explicit operator bool() const { return valid(); }

  // Gives the descriptor up without closing it.
  int release() { return std::exchange(m_fd, -1); }
  // Closes the descriptor held, if any, and takes `fd`.
  void reset(int fd = -1) {
    const int old = std::exchange(m_fd, fd);
    if (old >= 0) ::close(old);
  }
  // Closes now and reports whether the system accepted it: a late write error
  // (a full disk on a network file system, say) can surface only here.
  bool close() {
    const int old = release();
    return old < 0 || ::close(old) == 0;
  }

 private:
  int m_fd = -1;
};
