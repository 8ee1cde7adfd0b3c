// DirectDraw driver-interface types that <winddi.h> names in prototypes of
// display-driver entry points. A printer driver never uses them, and the
// mingw-w64 distribution does not ship this header, so only opaque
// declarations are given here.
#pragma once

#include <windows.h>

typedef struct _DD_DIRECTDRAW_GLOBAL DD_DIRECTDRAW_GLOBAL, *PDD_DIRECTDRAW_GLOBAL;
typedef struct _DD_SURFACE_LOCAL DD_SURFACE_LOCAL, *PDD_SURFACE_LOCAL;
typedef struct _DD_CALLBACKS DD_CALLBACKS, *PDD_CALLBACKS;
typedef struct _DD_SURFACECALLBACKS DD_SURFACECALLBACKS, *PDD_SURFACECALLBACKS;
typedef struct _DD_PALETTECALLBACKS DD_PALETTECALLBACKS, *PDD_PALETTECALLBACKS;
typedef struct _DD_HALINFO DD_HALINFO, *PDD_HALINFO;
typedef struct _VIDEOMEMORY VIDEOMEMORY, *PVIDEOMEMORY, *LPVIDEOMEMORY;
