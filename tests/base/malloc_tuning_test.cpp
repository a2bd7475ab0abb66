#include "base/malloc_tuning.h"

#include <gtest/gtest.h>

TEST(MallocTuning, RestartsOnlyWhereHugePagesAreGivenOnRequestAndNotYetAskedFor) {
  const std::string madvise = "always [madvise] never\n";
  const std::string tuned =
      "glibc.malloc.hugetlb=1:glibc.malloc.mmap_max=0:glibc.malloc.trim_threshold=18446744073709551615";
  EXPECT_EQ(tunedMallocTunables(nullptr, madvise, "2.36"), tuned);
  EXPECT_EQ(tunedMallocTunables("", madvise, "2.40"), tuned);
  // Tunables already set come after ours, so that theirs win.
  EXPECT_EQ(tunedMallocTunables("glibc.malloc.trim_threshold=0", madvise, "2.36"),
            tuned + ":glibc.malloc.trim_threshold=0");
  // Already asked for (the release's launcher, the restart itself) or refused
  // by the user: no restart, so never a loop.
  EXPECT_EQ(tunedMallocTunables(tuned.c_str(), madvise, "2.36"), "");
  EXPECT_EQ(tunedMallocTunables("glibc.malloc.arena_max=2:glibc.malloc.hugetlb=0", madvise, "2.36"), "");
  // The kernel gives huge pages anyway, or never; or glibc has no such tunable.
  EXPECT_EQ(tunedMallocTunables(nullptr, "[always] madvise never\n", "2.36"), "");
  EXPECT_EQ(tunedMallocTunables(nullptr, "always madvise [never]\n", "2.36"), "");
  EXPECT_EQ(tunedMallocTunables(nullptr, "", "2.36"), "");
  EXPECT_EQ(tunedMallocTunables(nullptr, madvise, "2.34"), "");
  EXPECT_EQ(tunedMallocTunables(nullptr, madvise, "2.35"), tuned);
  EXPECT_EQ(tunedMallocTunables(nullptr, madvise, "3.0"), tuned);
  EXPECT_EQ(tunedMallocTunables(nullptr, madvise, "garbage"), "");
}
