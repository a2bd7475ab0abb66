/* Linked into the player and the renderer in sanitizer builds only: the
 * AddressSanitizer settings they always run with. ASAN_OPTIONS still adds to
 * and overrides them.
 *
 * intercept_tls_get_addr=0: to find the thread-local blocks of libraries
 * loaded at run time (Mesa's driver), the runtime of GCC 12 watches
 * __tls_get_addr and, when a block happens to start 16 bytes into a page,
 * takes the 16 bytes before it for glibc's old block header. Blocks come
 * from the heap, so whether one lands there depends on how much was
 * allocated before; when it does, the leak check at exit reads the bogus
 * range and its tracer dies of a segmentation fault ("Tracer caught signal
 * 11", "LeakSanitizer has encountered a fatal error"), failing a run that
 * leaked nothing. Without the interception those blocks are still found:
 * glibc keeps them in the heap, reachable from each thread's descriptor. */
const char* __asan_default_options(void) {
  return "intercept_tls_get_addr=0";
}
