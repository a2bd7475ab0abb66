#include "base/huge_page_malloc.h"

#include <gtest/gtest.h>

TEST(HugePageMalloc, RestartsOnlyWhereHugePagesAreGivenOnRequestAndNotYetAskedFor) {
  const std::string madvise = "always [madvise] never\n";
  EXPECT_EQ(hugePageTunables(nullptr, madvise, "2.36"), "glibc.malloc.hugetlb=1");
  // Other tunables are kept, after ours.
  EXPECT_EQ(hugePageTunables("glibc.malloc.arena_max=2", madvise, "2.36"),
            "glibc.malloc.hugetlb=1:glibc.malloc.arena_max=2");
  EXPECT_EQ(hugePageTunables("", madvise, "2.40"), "glibc.malloc.hugetlb=1");
  // Already asked for (the release's launcher, the restart itself) or refused
  // by the user: no restart, so never a loop.
  EXPECT_EQ(hugePageTunables("glibc.malloc.hugetlb=1", madvise, "2.36"), "");
  EXPECT_EQ(hugePageTunables("glibc.malloc.arena_max=2:glibc.malloc.hugetlb=0", madvise, "2.36"), "");
  // The kernel gives huge pages anyway, or never; or glibc has no such tunable.
  EXPECT_EQ(hugePageTunables(nullptr, "[always] madvise never\n", "2.36"), "");
  EXPECT_EQ(hugePageTunables(nullptr, "always madvise [never]\n", "2.36"), "");
  EXPECT_EQ(hugePageTunables(nullptr, "", "2.36"), "");
  EXPECT_EQ(hugePageTunables(nullptr, madvise, "2.34"), "");
  EXPECT_EQ(hugePageTunables(nullptr, madvise, "2.35"), "glibc.malloc.hugetlb=1");
  EXPECT_EQ(hugePageTunables(nullptr, madvise, "3.0"), "glibc.malloc.hugetlb=1");
  EXPECT_EQ(hugePageTunables(nullptr, madvise, "garbage"), "");
}
