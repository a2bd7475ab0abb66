/* Linked into the player and the renderer in sanitizer builds only.
 *
 * At exit libEGL unloads Mesa's driver (swrast_dri.so) while the driver still
 * holds a few small allocations of its own. LeakSanitizer, which runs after
 * that, then reports them as leaks, and because the library is gone it can no
 * longer name where they came from, so no suppression can single them out.
 * Turning dlclose into a no-op keeps every library mapped until the process
 * ends: the driver's memory stays reachable from the driver, and a leak in
 * tarvo's own code is still reported with its full stack. */
int dlclose(void* handle) {
  (void)handle;
  return 0;
}
