/* The smallest program Windows will load: it only returns. Its one purpose
 * is to carry the version resource of the .rc file linked with it. */
int entry(void) { return 0; }
