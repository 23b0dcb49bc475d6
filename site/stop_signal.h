#pragma once
// A one-way "we are shutting down" flag that blocking waits can include in
// their poll() sets: once raised, its descriptor stays readable for good, so
// every thread that waits on it wakes, however many there are.

#include "posix/uniquefd.h"

namespace site {

class StopSignal {
 public:
  StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  void raise();
  bool raised() const;
  // Readable once raised; never drained.
  int fd() const { return m_fd.get(); }

 private:
  UniqueFd m_fd;
};

}  // namespace site
