// Entry points that take arbitrary bytes to the game's readers. libFuzzer
// calls them from tests/fuzz/fuzz_main.cpp; the corpus replay test runs every
// kept input through them in each test run. A broken invariant aborts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvane::fuzz {

using Target = int (*)(const uint8_t* data, size_t size);

struct NamedTarget {
  const char* name;  // also the corpus folder tests/fuzz/corpus/<name>
  Target run;
};

int ActionFile(const uint8_t* data, size_t size);
int Engine(const uint8_t* data, size_t size);
int Palette(const uint8_t* data, size_t size);
int Settings(const uint8_t* data, size_t size);
int Bmp(const uint8_t* data, size_t size);
int Jpeg(const uint8_t* data, size_t size);
int TuneLength(const uint8_t* data, size_t size);
int InputScript(const uint8_t* data, size_t size);
int Record(const uint8_t* data, size_t size);
int CueImage(const uint8_t* data, size_t size);

// Every target, in a fixed order.
const std::vector<NamedTarget>& AllTargets();

// Prints what broke and aborts, so libFuzzer and the replay both stop there.
[[noreturn]] void Broken(const char* what, const char* file, int line);

}  // namespace kelvane::fuzz

#define FUZZ_CHECK(cond) ((cond) ? (void)0 : ::kelvane::fuzz::Broken(#cond, __FILE__, __LINE__))
