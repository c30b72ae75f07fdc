// fontconfig 2.14 loses a few hundred bytes while it parses its
// configuration files on first use (FcInit, reached through a font match or
// Cairo's fallback face), in the library alone; LeakSanitizer would report
// them at exit. Nothing of ours is suppressed.
#if defined(LUMARO_SANITIZED)
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif
