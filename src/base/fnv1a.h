// 64-bit FNV-1a over bytes, fed in as many pieces as the caller likes: the
// one hash behind the file watcher's "did the content change" and the
// renderer's frame hashes. Stable across runs and machines, which frame hash
// files compared between renders depend on; not for anything an adversary
// chooses.
#pragma once

#include <cstddef>
#include <cstdint>

// The hash of no bytes; the value to start from.
constexpr uint64_t kFnv1aStart = 0xcbf29ce484222325ULL;

// Continues `hash` over `size` bytes: hashing a buffer in pieces gives the
// same value as hashing it whole.
inline uint64_t fnv1aUpdate(uint64_t hash, const void* bytes, size_t size) {
  constexpr uint64_t kPrime = 0x100000001b3ULL;
  const auto* byte = static_cast<const unsigned char*>(bytes);
  for (size_t i = 0; i < size; ++i) {
    hash ^= byte[i];
    hash *= kPrime;
  }
  return hash;
}
