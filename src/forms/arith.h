// Whole-number arithmetic of the forms runtime: signed 16- and 32-bit values whose operations trap
// on overflow. A trap throws RunTimeError("Overflow"), which a handler's failure trap may catch;
// elsewhere it is the fatal run-time error.
#pragma once

#include <cstdint>
#include <limits>
#include <type_traits>

#include "forms/run_time_error.h"

namespace quildor::forms {

namespace detail {
template <class T>
T Narrow(std::int64_t wide) {
  static_assert(std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t>);
  if (wide < std::numeric_limits<T>::min() || wide > std::numeric_limits<T>::max()) {
    throw RunTimeError("Overflow");
  }
  return static_cast<T>(wide);
}
}  // namespace detail

// 16- and 32-bit operands only: their exact results always fit in 64 bits.
template <class T>
T CheckedAdd(T a, T b) { return detail::Narrow<T>(std::int64_t{a} + b); }
template <class T>
T CheckedSub(T a, T b) { return detail::Narrow<T>(std::int64_t{a} - b); }
template <class T>
T CheckedMul(T a, T b) { return detail::Narrow<T>(std::int64_t{a} * b); }

}  // namespace quildor::forms
