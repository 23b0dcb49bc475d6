#include "site/probe_gate.h"

namespace site {

ProbeGate::Slot& ProbeGate::Slot::operator=(Slot&& other) noexcept {
  if (this != &other) {
    release();
    m_gate = other.m_gate;
    other.m_gate = nullptr;
  }
  return *this;
}

void ProbeGate::Slot::release() {
  if (m_gate) m_gate->m_running.fetch_sub(1);
  m_gate = nullptr;
}

ProbeGate::Slot ProbeGate::tryEnter() {
  unsigned current = m_running.load();
  while (current < m_capacity) {
    if (m_running.compare_exchange_weak(current, current + 1)) return Slot(this);
  }
  return Slot();
}

}  // namespace site
