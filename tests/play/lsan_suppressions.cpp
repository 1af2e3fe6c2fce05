// Fontconfig keeps caches for the life of the process; they are not our leaks.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}
