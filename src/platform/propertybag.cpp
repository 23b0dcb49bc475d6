#include "platform/propertybag.h"

#include <algorithm>
#include <bit>

namespace {

// Floats are compared by their bits: a stored -0 or NaN must stay what it was.
struct SameValue {
  template <class A, class B>
  bool operator()(const A&, const B&) const {
    return false;
  }
  bool operator()(float a, float b) const {
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
  }
  template <class T>
  bool operator()(const T& a, const T& b) const {
    return a == b;
  }
};

}  // namespace

const PropertyValue* PropertyBag::find(const QString& name) const {
  auto it = std::find_if(m_entries.begin(), m_entries.end(),
                         [&](const auto& entry) { return entry.first == name; });
  return it == m_entries.end() ? nullptr : &it->second;
}

void PropertyBag::set(const QString& name, PropertyValue value) {
  auto it = std::find_if(m_entries.begin(), m_entries.end(),
                         [&](const auto& entry) { return entry.first == name; });
  if (it == m_entries.end()) {
    m_entries.emplace_back(name, std::move(value));
  } else {
    it->second = std::move(value);
  }
}

void PropertyBag::remove(const QString& name) {
  std::erase_if(m_entries, [&](const auto& entry) { return entry.first == name; });
}

bool PropertyBag::sameValue(const PropertyValue& a, const PropertyValue& b) {
  return std::visit(SameValue{}, a, b);
}

bool PropertyBag::operator==(const PropertyBag& other) const {
  return std::equal(m_entries.begin(), m_entries.end(), other.m_entries.begin(),
                    other.m_entries.end(), [](const auto& a, const auto& b) {
                      return a.first == b.first && sameValue(a.second, b.second);
                    });
}
