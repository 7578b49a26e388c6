/* Preloaded into the soak's runs: shared libraries stay mapped until the
 * process ends. The graphics driver is unloaded before the leak check
 * runs, and the blocks it keeps would then be reported from an unknown
 * module, which no suppression can name; kept mapped, they carry the
 * driver's library name, which tools/lsan.supp lists. */
int dlclose(void* handle) {
    (void)handle;
    return 0;
}
