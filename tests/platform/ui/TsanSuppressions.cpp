// Under ThreadSanitizer: the font library's own loader thread synchronises in code the
// sanitizer does not see, so its reads of the font set look like races with our first layout.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libfontconfig.so\n";
}
