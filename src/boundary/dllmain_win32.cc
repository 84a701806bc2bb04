// Entry point of dbup.dll.
//
// Loading sets nothing up: the fixed number and date formats ("." decimal
// point, "," thousands separator, "MM/dd/yyyy") are built into the library's
// own conversions, which never consult the C run-time locale (shared with the
// host through msvcrt.dll) or the user's regional settings. So neither the
// host's locale nor the user's settings can change a stored amount, and the
// library changes neither: SetLocaleInfo and setlocale are never called.
// Nothing else happens on load: no registry read, no file touched.
#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
  return TRUE;
}

#endif  // _WIN32
