// Built for the plain instruction set, so that it runs anywhere: only the
// answer decides whether a vector path may run.
#include "image/cpu_features.h"

namespace cpu {

#if defined(__x86_64__)

bool hasSsse3() {
  static const bool available = __builtin_cpu_supports("ssse3");
  return available;
}

bool hasAvx() {
  static const bool available = __builtin_cpu_supports("avx");
  return available;
}

bool hasAvx2() {
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
}

bool hasCarryLessMultiply() {
  static const bool available = __builtin_cpu_supports("pclmul");
  return available;
}

#else

bool hasSsse3() { return false; }
bool hasAvx() { return false; }
bool hasAvx2() { return false; }
bool hasCarryLessMultiply() { return false; }

#endif

}  // namespace cpu
