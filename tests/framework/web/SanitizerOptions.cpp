// Chromium (inside Qt WebEngine, not built with the sanitizer) frees some
// objects through a base class of another size. Not ours; only this program
// runs Chromium, so only it lets that pass. ASAN_OPTIONS still overrides.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }
#endif
