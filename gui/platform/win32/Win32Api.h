// The one way the Windows backend includes windows.h: without the min and max macros and the
// rarely used parts, so that as few of its macros as possible meet ordinary names. Included only
// under gui/platform/win32/.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
