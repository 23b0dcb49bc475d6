#pragma once
// What the processor offers beyond the plain x86-64 set, asked once each and
// shared by every vector path of the image engine. SSE2 is part of every
// x86-64 processor and needs no check. Elsewhere every answer is false.

namespace cpu {

bool hasSsse3();
bool hasAvx();
bool hasAvx2();
// Carry-less multiplication (PCLMULQDQ).
bool hasCarryLessMultiply();

}  // namespace cpu
