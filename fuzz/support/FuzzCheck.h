#pragma once
// A broken property ends the run like a crash, so the fuzzer keeps the input that broke it.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                            \
  do {                                                                                        \
    if (!(condition)) {                                                                       \
      std::fprintf(stderr, "%s:%d: property broken: %s\n  ", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, __VA_ARGS__);                                                      \
      std::fprintf(stderr, "\n");                                                             \
      std::abort();                                                                           \
    }                                                                                         \
  } while (false)
