// Leaks LeakSanitizer should not report in the GUI tests: what fontconfig keeps for the life of
// the process once Qt has looked up a font. Third-party libraries only, never our own code.
// (Built into the test programs, so no environment variable has to carry it.)
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
