#pragma once

// What the fuzz targets use to state what must hold for every input: a broken promise stops the
// process, so the fuzzer keeps the input that broke it as a finding.

#include <cstdio>
#include <cstdlib>

namespace fuzz {

inline void Require(bool holds, const char* promise) {
  if (holds) return;
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::abort();
}

}  // namespace fuzz
