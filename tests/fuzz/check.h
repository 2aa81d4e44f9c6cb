#pragma once

#include <cstdlib>

// A property that must hold: the fuzzer reports the input that breaks it.
inline void check(bool ok) {
    if (!ok) std::abort();
}
