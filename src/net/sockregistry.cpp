#include "net/sockregistry.h"

#include <QHash>

#include <climits>

namespace sockregistry {
namespace {

struct State {
  QHash<int, UniSock*> liveObjects;
  int lastIdentity = 0;
  std::uint64_t lastSerial = 0;
  std::optional<std::uint32_t> firstAddress;
};

State& state() {
  static State instance;
  return instance;
}

}  // namespace

int enter(UniSock* object) {
  State& s = state();
  do {
    s.lastIdentity = s.lastIdentity == INT_MAX ? 1 : s.lastIdentity + 1;
  } while (s.liveObjects.contains(s.lastIdentity));
  s.liveObjects.insert(s.lastIdentity, object);
  return s.lastIdentity;
}

void leave(int identity) { state().liveObjects.remove(identity); }

UniSock* find(int identity) { return state().liveObjects.value(identity, nullptr); }

std::uint64_t nextSerial() { return ++state().lastSerial; }

std::optional<std::uint32_t> firstAddress() { return state().firstAddress; }

void rememberFirstAddress(std::uint32_t address) { state().firstAddress = address; }

void forgetFirstAddress() { state().firstAddress.reset(); }

}  // namespace sockregistry
