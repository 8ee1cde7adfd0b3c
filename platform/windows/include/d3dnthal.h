// Direct3D driver-interface types that <winddi.h> includes; a printer driver
// uses none of them and mingw-w64 does not ship this header.
#pragma once
