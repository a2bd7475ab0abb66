/* The release build's stand-in for arc4random, which glibc has only since
 * 2.36: the C++ runtime linked into the player (std::random_device) refers
 * to it, and that one symbol would put the program's glibc floor above the
 * 2.35 of Ubuntu 22.04. -Wl,--wrap=arc4random sends the reference here.
 * Same contract as glibc's: 32 random bits from the kernel, never failing
 * quietly. */
#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/random.h>
#include <sys/types.h>

uint32_t __wrap_arc4random(void) {
  uint32_t value = 0;
  unsigned char* bytes = (unsigned char*)&value;
  size_t got = 0;
  while (got < sizeof value) {
    const ssize_t n = getrandom(bytes + got, sizeof value - got, 0);
    if (n > 0) {
      got += (size_t)n;
    } else if (n < 0 && errno != EINTR) {
      abort(); /* glibc's arc4random also ends the program without entropy */
    }
  }
  return value;
}
