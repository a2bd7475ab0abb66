// Large allocations in transparent huge pages. A software GL driver keeps
// hundreds of megabytes of render targets and vertex buffers in the
// program's own heap; faulting them in 4 KiB pages is a large share of the
// first frame. glibc asks for huge pages only when its tunable is set before
// the program starts, so a player or renderer started without it restarts
// itself once with it (the same process, the same arguments) where the
// kernel gives huge pages on request. Not under the sanitizers or valgrind,
// and never when GLIBC_TUNABLES already names the tunable (set it to 0 to
// keep small pages).
#pragma once

#include <string>

// The GLIBC_TUNABLES value to restart with, or "" to go on as is: given the
// variable's current value (nullptr when unset), the contents of
// /sys/kernel/mm/transparent_hugepage/enabled and glibc's version.
std::string hugePageTunables(const char* tunables, const std::string& hugePageMode, const std::string& libcVersion);

// Restarts the program with huge-page malloc when hugePageTunables says so;
// returns (and the program goes on with small pages) when it does not or the
// restart fails. Call before anything is logged or printed.
void restartWithHugePageMalloc(char** argv);
