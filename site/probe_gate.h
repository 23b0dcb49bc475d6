#pragma once
// The cap on probes running at the same time across the whole site.

#include <atomic>

namespace site {

class ProbeGate {
 public:
  // Holds one place in the gate until destroyed or moved from.
  class Slot {
   public:
    Slot() = default;
    explicit Slot(ProbeGate* gate) : m_gate(gate) {}
    Slot(Slot&& other) noexcept : m_gate(other.m_gate) { other.m_gate = nullptr; }
    Slot& operator=(Slot&& other) noexcept;
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;
    ~Slot() { release(); }
    explicit operator bool() const { return m_gate != nullptr; }

   private:
    void release();
    ProbeGate* m_gate = nullptr;
  };

  explicit ProbeGate(unsigned capacity) : m_capacity(capacity) {}

  // An empty slot when the gate is full.
  Slot tryEnter();
  unsigned running() const { return m_running.load(); }

 private:
  const unsigned m_capacity;
  std::atomic<unsigned> m_running{0};
};

}  // namespace site
