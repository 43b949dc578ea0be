// LeakSanitizer's defaults for the pictures, compiled into the programs of
// the sanitized build only (DETREND_SANITIZE): LeakSanitizer reads them when
// it is linked in.

// The text goes through fontconfig, which keeps its font set for the rest of
// the process: allocated once, on the first picture, however many follow,
// but not reachable from anything LeakSanitizer sees.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
// Without a report of the suppression used, standard error stays as the
// program wrote it.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
