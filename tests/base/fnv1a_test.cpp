#include <gtest/gtest.h>

#include <string>

#include "base/fnv1a.h"

namespace {
uint64_t fnv1aOf(const std::string& text) { return fnv1aUpdate(kFnv1aStart, text.data(), text.size()); }

TEST(Fnv1a, PublishedValuesAndPiecesHashLikeTheWhole) {
  EXPECT_EQ(fnv1aOf(""), 0xcbf29ce484222325ULL);
  EXPECT_EQ(fnv1aOf("a"), 0xaf63dc4c8601ec8cULL);
  EXPECT_EQ(fnv1aOf("foobar"), 0x85944171f73967e8ULL);
  const std::string text = "foobar";
  for (size_t split = 0; split <= text.size(); ++split) {
    const uint64_t first = fnv1aUpdate(kFnv1aStart, text.data(), split);
    EXPECT_EQ(fnv1aUpdate(first, text.data() + split, text.size() - split), fnv1aOf(text)) << split;
  }
}
}  // namespace
