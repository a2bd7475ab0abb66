// malloc tuned for a software GL driver. Such a driver keeps hundreds of
// megabytes of render targets, vertex buffers and per-frame scratch memory in
// the program's own heap, and replaces some of it every frame; faulting that
// memory in, 4 KiB at a time and again after each free, is a large share of
// the first frame. So malloc asks for transparent huge pages, never maps a
// large block on its own (which a free would unmap) and keeps freed memory
// for reuse. glibc takes these settings only from GLIBC_TUNABLES at start,
// so a player or renderer started without them restarts itself once with
// them (the same process, the same arguments) where the kernel gives huge
// pages on request. Not under the sanitizers or valgrind, and never when
// GLIBC_TUNABLES already names glibc.malloc.hugetlb (set it to 0 to keep
// glibc's defaults).
#pragma once

#include <string>

// The GLIBC_TUNABLES value to restart with, or "" to go on as is: given the
// variable's current value (nullptr when unset), the contents of
// /sys/kernel/mm/transparent_hugepage/enabled and glibc's version. Tunables
// already set come after ours, so that theirs win.
std::string tunedMallocTunables(const char* tunables, const std::string& hugePageMode, const std::string& libcVersion);

// Built with a sanitizer, or run by valgrind: malloc is theirs, no restart.
bool runsUnderInstrumentation();

// Restarts the program with the tuned malloc when tunedMallocTunables says
// so; returns (and the program goes on as started) when it does not or the
// restart fails. Call before anything is logged or printed.
void restartWithTunedMalloc(char** argv);
