#pragma once
// Checked integer arithmetic: an overflow ends the run with the overflow stop
// instead of wrapping silently.
#include <cstdint>

#include "runframe/abrupt_end.hpp"

namespace runframe {

template <class T>
T CheckedAdd(T a, T b, const char* where) {
  T r;
  if (__builtin_add_overflow(a, b, &r)) throw ArithmeticOverflow(where);
  return r;
}

template <class T>
T CheckedSub(T a, T b, const char* where) {
  T r;
  if (__builtin_sub_overflow(a, b, &r)) throw ArithmeticOverflow(where);
  return r;
}

template <class T>
T CheckedMul(T a, T b, const char* where) {
  T r;
  if (__builtin_mul_overflow(a, b, &r)) throw ArithmeticOverflow(where);
  return r;
}

}  // namespace runframe
