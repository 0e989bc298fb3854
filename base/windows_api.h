#pragma once
// <windows.h> as every Windows file of this project includes it: without
// the min/max macros, which break std::min and std::max, and without the
// rarely used parts of the API.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
