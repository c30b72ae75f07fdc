// fontconfig 2.14 loses a few hundred bytes while it parses its
// configuration files on first use (FcInit, reached through a font match or
// Cairo's fallback face), and Cairo loses the pattern it duplicates when it
// resolves its first fallback ("toy") face; both inside the libraries, once
// per process, and LeakSanitizer would report them at exit. The suppression
// covers whatever fontconfig allocates, so our own fontconfig calls
// (SystemFonts) keep every pattern in an owning handle.
#if defined(LUMARO_SANITIZED)
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif
