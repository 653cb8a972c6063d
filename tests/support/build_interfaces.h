// What a build of the Windows programs has of the interfaces that exist only
// for 32-bit Windows: ASPI for Win32 (and with it the test WNASPI32.DLL) and
// the Windows 95/98 BIOS disk service. A case that needs one starts with
// REQUIRE_32BIT_INTERFACE("what it needs"): on a build without them it ends
// there as skipped, named in the run's report with the reason, and the test
// runner accepts such skips on the 64-bit build only.
#pragma once
#include <gtest/gtest.h>

#if defined(_WIN32) && !defined(_WIN64)
constexpr bool kBuildHas32BitInterfaces = true;
#else
constexpr bool kBuildHas32BitInterfaces = false;
#endif

#define REQUIRE_32BIT_INTERFACE(what)                                                          \
  if (!kBuildHas32BitInterfaces)                                                              \
  GTEST_SKIP() << "not applicable on the 64-bit build: needs " what                           \
                  ", which only the 32-bit build has"

#define kTestAspiLayer "the test WNASPI32.DLL (ASPI for Win32)"
#define kBiosDiskService "the Windows 95/98 BIOS disk service (VWIN32)"
