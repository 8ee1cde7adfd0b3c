// winddi.h subset for the simulated host: the GDI printer-driver interface
// types, the driver entry points and the engine services the driver calls.
// Names and layouts follow the SDK's winddi.h.
#pragma once

#include <windows.h>

extern "C" {

typedef ULONG FLONG;
typedef LONG LDECI4;
typedef LONG FIX;
typedef ULONG ROP4;
typedef ULONG MIX;
typedef ULONG HGLYPH;
typedef LONG_PTR(APIENTRY* PFN)();

DECLARE_HANDLE(HDEV);
DECLARE_HANDLE(HSURF);
DECLARE_HANDLE(DHSURF);
DECLARE_HANDLE(DHPDEV);

typedef struct _POINTFIX {
  FIX x;
  FIX y;
} POINTFIX, *PPOINTFIX;

typedef struct _CIECHROMA {
  LDECI4 x;
  LDECI4 y;
  LDECI4 Y;
} CIECHROMA;

typedef struct _COLORINFO {
  CIECHROMA Red;
  CIECHROMA Green;
  CIECHROMA Blue;
  CIECHROMA Cyan;
  CIECHROMA Magenta;
  CIECHROMA Yellow;
  CIECHROMA AlignmentWhite;
  LDECI4 RedGamma;
  LDECI4 GreenGamma;
  LDECI4 BlueGamma;
  LDECI4 MagentaInCyanDye;
  LDECI4 YellowInCyanDye;
  LDECI4 CyanInMagentaDye;
  LDECI4 YellowInMagentaDye;
  LDECI4 CyanInYellowDye;
  LDECI4 MagentaInYellowDye;
} COLORINFO, *PCOLORINFO;
static_assert(sizeof(COLORINFO) == 120, "COLORINFO is 120 bytes");

typedef struct _GDIINFO {
  ULONG ulVersion;
  ULONG ulTechnology;
  ULONG ulHorzSize;
  ULONG ulVertSize;
  ULONG ulHorzRes;
  ULONG ulVertRes;
  ULONG cBitsPixel;
  ULONG cPlanes;
  ULONG ulNumColors;
  ULONG flRaster;
  ULONG ulLogPixelsX;
  ULONG ulLogPixelsY;
  ULONG flTextCaps;
  ULONG ulDACRed;
  ULONG ulDACGreen;
  ULONG ulDACBlue;
  ULONG ulAspectX;
  ULONG ulAspectY;
  ULONG ulAspectXY;
  LONG xStyleStep;
  LONG yStyleStep;
  LONG denStyleStep;
  POINTL ptlPhysOffset;
  SIZEL szlPhysSize;
  ULONG ulNumPalReg;
  COLORINFO ciDevice;
  ULONG ulDevicePelsDPI;
  ULONG ulPrimaryOrder;
  ULONG ulHTPatternSize;
  ULONG ulHTOutputFormat;
  ULONG flHTFlags;
  ULONG ulVRefresh;
  ULONG ulBltAlignment;
  ULONG ulPanningHorzRes;
  ULONG ulPanningVertRes;
  ULONG xPanningAlignment;
  ULONG yPanningAlignment;
  ULONG cxHTPat;
  ULONG cyHTPat;
  LPBYTE pHTPatA;
  LPBYTE pHTPatB;
  LPBYTE pHTPatC;
  ULONG flShadeBlend;
  ULONG ulPhysicalPixelCharacteristics;
  ULONG ulPhysicalPixelGamma;
} GDIINFO, *PGDIINFO;

typedef struct _DEVINFO {
  FLONG flGraphicsCaps;
  LOGFONTW lfDefaultFont;
  LOGFONTW lfAnsiVarFont;
  LOGFONTW lfAnsiFixFont;
  ULONG cFonts;
  ULONG iDitherFormat;
  USHORT cxDither;
  USHORT cyDither;
  HPALETTE hpalDefault;
  FLONG flGraphicsCaps2;
} DEVINFO, *PDEVINFO;

typedef struct _DRVFN {
  ULONG iFunc;
  PFN pfn;
} DRVFN, *PDRVFN;

typedef struct _DRVENABLEDATA {
  ULONG iDriverVersion;
  ULONG c;
  DRVFN* pdrvfn;
} DRVENABLEDATA, *PDRVENABLEDATA;

typedef struct _SURFOBJ {
  DHSURF dhsurf;
  HSURF hsurf;
  DHPDEV dhpdev;
  HDEV hdev;
  SIZEL sizlBitmap;
  ULONG cjBits;
  PVOID pvBits;
  PVOID pvScan0;
  LONG lDelta;
  ULONG iUniq;
  ULONG iBitmapFormat;
  USHORT iType;
  USHORT fjBitmap;
} SURFOBJ;

typedef struct _BRUSHOBJ {
  ULONG iSolidColor;
  PVOID pvRbrush;
  FLONG flColorType;
} BRUSHOBJ;

typedef struct _CLIPOBJ {
  ULONG iUniq;
  RECTL rclBounds;
  BYTE iDComplexity;
  BYTE iFComplexity;
  BYTE iMode;
  BYTE fjOptions;
} CLIPOBJ;

typedef struct _XLATEOBJ {
  ULONG iUniq;
  FLONG flXlate;
  USHORT iSrcType;
  USHORT iDstType;
  ULONG cEntries;
  ULONG* pulXlate;
} XLATEOBJ;

typedef struct _PATHOBJ {
  FLONG fl;
  ULONG cCurves;
} PATHOBJ;

typedef struct _GLYPHBITS {
  POINTL ptlOrigin;  // top-left of the bitmap relative to the glyph's position
  SIZEL sizlBitmap;
  BYTE aj[1];        // one bit per pixel, rows padded to whole bytes, MSB first
} GLYPHBITS;

typedef union _GLYPHDEF {
  GLYPHBITS* pgb;
  struct _PATHOBJ* ppo;
} GLYPHDEF;

typedef struct _GLYPHPOS {
  HGLYPH hg;
  GLYPHDEF* pgdf;
  POINTL ptl;  // the glyph's position (baseline origin) on the surface
} GLYPHPOS;

typedef struct _PATHDATA {
  FLONG flags;
  ULONG count;
  POINTFIX* pptfx;
} PATHDATA;

typedef struct _STROBJ {
  ULONG cGlyphs;
  FLONG flAccel;
  ULONG ulCharInc;
  RECTL rclBkGround;
  struct _GLYPHPOS* pgp;
  LPWSTR pwszOrg;
} STROBJ;

typedef struct _FONTOBJ {
  ULONG iUniq;
  ULONG iFace;
  ULONG cxMax;
  FLONG flFontType;
  ULONG_PTR iTTUniq;
  ULONG_PTR iFile;
  SIZE sizLogResPpi;
  ULONG ulStyleSize;
  PVOID pvConsumer;
  PVOID pvProducer;
} FONTOBJ;

typedef struct _BLENDFUNCTION {
  BYTE BlendOp;
  BYTE BlendFlags;
  BYTE SourceConstantAlpha;
  BYTE AlphaFormat;
} BLENDFUNCTION;
typedef struct _BLENDOBJ {
  BLENDFUNCTION BlendFunction;
} BLENDOBJ;

// Objects the driver only passes through; their contents are GDI's.
typedef struct _XFORMOBJ XFORMOBJ;
typedef struct _LINEATTRS LINEATTRS;
typedef struct _IFIMETRICS IFIMETRICS, *PIFIMETRICS;
typedef struct _FD_GLYPHATTR FD_GLYPHATTR, *PFD_GLYPHATTR;
typedef struct _GLYPHDATA GLYPHDATA;

#define DDI_DRIVER_VERSION_NT4 0x00020000
#define DDI_DRIVER_VERSION_NT5 0x00030000
#define GDI_DRIVER_VERSION 0x4000
#define DRVQUERY_USERMODE 0x00000001

#define INDEX_DrvEnablePDEV 0L
#define INDEX_DrvCompletePDEV 1L
#define INDEX_DrvDisablePDEV 2L
#define INDEX_DrvEnableSurface 3L
#define INDEX_DrvDisableSurface 4L
#define INDEX_DrvResetPDEV 7L
#define INDEX_DrvDisableDriver 8L
#define INDEX_DrvRealizeBrush 12L
#define INDEX_DrvDitherColor 13L
#define INDEX_DrvStrokePath 14L
#define INDEX_DrvFillPath 15L
#define INDEX_DrvStrokeAndFillPath 16L
#define INDEX_DrvPaint 17L
#define INDEX_DrvBitBlt 18L
#define INDEX_DrvCopyBits 19L
#define INDEX_DrvStretchBlt 20L
#define INDEX_DrvTextOut 23L
#define INDEX_DrvEscape 24L
#define INDEX_DrvQueryFont 26L
#define INDEX_DrvQueryFontTree 27L
#define INDEX_DrvQueryFontData 28L
#define INDEX_DrvLineTo 31L
#define INDEX_DrvSendPage 32L
#define INDEX_DrvStartPage 33L
#define INDEX_DrvEndDoc 34L
#define INDEX_DrvStartDoc 35L
#define INDEX_DrvGetGlyphMode 37L
#define INDEX_DrvSynchronize 38L
#define INDEX_DrvStartBanding 57L
#define INDEX_DrvNextBand 58L
#define INDEX_DrvGradientFill 68L
#define INDEX_DrvStretchBltROP 69L
#define INDEX_DrvPlgBlt 70L
#define INDEX_DrvAlphaBlend 71L
#define INDEX_DrvTransparentBlt 74L
#define INDEX_DrvQueryGlyphAttrs 86L

#define GCAPS_BEZIERS 0x00000001
#define GCAPS_ALTERNATEFILL 0x00000004
#define GCAPS_WINDINGFILL 0x00000008
#define GCAPS_HALFTONE 0x00000010
#define GCAPS_COLOR_DITHER 0x00000020
#define GCAPS_OPAQUERECT 0x00000100
#define GCAPS_MONO_DITHER 0x00000400
#define GCAPS_DONTJOURNAL 0x00002000
#define GCAPS_ARBRUSHOPAQUE 0x00008000
#define GCAPS_DITHERONREALIZE 0x00200000
#define GCAPS_FORCEDITHER 0x00800000
#define GCAPS_ARBRUSHTEXT 0x10000000

#define BMF_1BPP 1L
#define BMF_4BPP 2L
#define BMF_8BPP 3L
#define BMF_16BPP 4L
#define BMF_24BPP 5L
#define BMF_32BPP 6L
#define BMF_TOPDOWN 0x0001
#define BMF_NOZEROINIT 0x0002

#define STYPE_BITMAP 0

#define HOOK_BITBLT 0x00000001
#define HOOK_STRETCHBLT 0x00000002
#define HOOK_PLGBLT 0x00000004
#define HOOK_TEXTOUT 0x00000008
#define HOOK_PAINT 0x00000010
#define HOOK_STROKEPATH 0x00000020
#define HOOK_FILLPATH 0x00000040
#define HOOK_STROKEANDFILLPATH 0x00000080
#define HOOK_LINETO 0x00000100
#define HOOK_COPYBITS 0x00000400
#define HOOK_STRETCHBLTROP 0x00002000
#define HOOK_TRANSPARENTBLT 0x00008000
#define HOOK_ALPHABLEND 0x00010000
#define HOOK_GRADIENTFILL 0x00020000

#define PAL_INDEXED 0x00000001

#define HT_FORMAT_1BPP 0
#define HT_FORMAT_8BPP 4
#define HT_FLAG_HAS_BLACK_DYE 0x00000002

#define DC_TRIVIAL 0
#define DC_RECT 1
#define DC_COMPLEX 3
#define FC_RECT 1
#define FC_RECT4 2
#define FC_COMPLEX 3
#define TC_RECTANGLES 4
#define CT_RECTANGLES 0L
#define CD_ANY 0x00000004L

#define PD_BEGINSUBPATH 0x00000001
#define PD_ENDSUBPATH 0x00000002
#define PD_RESETSTYLE 0x00000004
#define PD_CLOSEFIGURE 0x00000008
#define PD_BEZIERS 0x00000010
#define FP_ALTERNATEMODE 1L
#define FP_WINDINGMODE 2L

#define DM_DEFAULT 0x00000001
#define DM_MONOCHROME 0x00000002
#define RB_DITHERCOLOR 0x80000000L

#define GRADIENT_FILL_RECT_H 0x00000000
#define GRADIENT_FILL_RECT_V 0x00000001
#define GRADIENT_FILL_TRIANGLE 0x00000002

#define DCR_SOLID 0
#define DCR_DRIVER 1
#define DCR_HALFTONE 2
#define FO_GLYPHBITS 1L
#define FD_ERROR 0xFFFFFFFF

typedef struct _ENUMRECTS {
  ULONG c;
  RECTL arcl[1];
} ENUMRECTS;

// Driver entry points (implemented by the driver).
BOOL APIENTRY DrvEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA* pded);
VOID APIENTRY DrvDisableDriver(VOID);
BOOL APIENTRY DrvQueryDriverInfo(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded);
DHPDEV APIENTRY DrvEnablePDEV(DEVMODEW* pdm, LPWSTR pwszLogAddress, ULONG cPat, HSURF* phsurfPatterns, ULONG cjCaps,
                              ULONG* pdevcaps, ULONG cjDevInfo, DEVINFO* pdi, HDEV hdev, LPWSTR pwszDeviceName,
                              HANDLE hDriver);
BOOL APIENTRY DrvResetPDEV(DHPDEV dhpdevOld, DHPDEV dhpdevNew);
VOID APIENTRY DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev);
VOID APIENTRY DrvDisablePDEV(DHPDEV dhpdev);
HSURF APIENTRY DrvEnableSurface(DHPDEV dhpdev);
VOID APIENTRY DrvDisableSurface(DHPDEV dhpdev);
BOOL APIENTRY DrvStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId);
BOOL APIENTRY DrvStartPage(SURFOBJ* pso);
BOOL APIENTRY DrvSendPage(SURFOBJ* pso);
BOOL APIENTRY DrvEndDoc(SURFOBJ* pso, FLONG fl);
BOOL APIENTRY DrvStartBanding(SURFOBJ* pso, POINTL* pptl);
BOOL APIENTRY DrvNextBand(SURFOBJ* pso, POINTL* pptl);
BOOL APIENTRY DrvBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                        RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush,
                        ROP4 rop4);
BOOL APIENTRY DrvStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                            COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                            POINTL* pptlMask, ULONG iMode);
BOOL APIENTRY DrvCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                          POINTL* pptlSrc);
ULONG APIENTRY DrvDitherColor(DHPDEV dhpdev, ULONG iMode, ULONG rgb, ULONG* pul);
BOOL APIENTRY DrvAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                            RECTL* prclSrc, BLENDOBJ* pBlendObj);
BOOL APIENTRY DrvGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex, ULONG nVertex,
                              PVOID pMesh, ULONG nMesh, RECTL* prclExtents, POINTL* pptlDitherOrg, ULONG ulMode);
BOOL APIENTRY DrvPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco, XLATEOBJ* pxlo,
                        COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx, RECTL* prcl, POINTL* pptl,
                        ULONG iMode);
BOOL APIENTRY DrvStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                               COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                               POINTL* pptlMask, ULONG iMode, BRUSHOBJ* pbo, DWORD rop4);
BOOL APIENTRY DrvTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDst,
                                RECTL* prclSrc, ULONG iTransColor, ULONG ulReserved);
VOID APIENTRY DrvSynchronize(DHPDEV dhpdev, RECTL* prcl);
PFD_GLYPHATTR APIENTRY DrvQueryGlyphAttrs(FONTOBJ* pfo, ULONG iMode);
BOOL APIENTRY DrvTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                         RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix);
ULONG APIENTRY DrvGetGlyphMode(DHPDEV dhpdev, FONTOBJ* pfo);
BOOL APIENTRY DrvRealizeBrush(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ* psoPattern, SURFOBJ* psoMask,
                              XLATEOBJ* pxlo, ULONG iHatch);
BOOL APIENTRY DrvPaint(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix);
BOOL APIENTRY DrvFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                          FLONG flOptions);
BOOL APIENTRY DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                                   LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill,
                                   FLONG flOptions);
BOOL APIENTRY DrvLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2,
                        RECTL* prclBounds, MIX mix);
BOOL APIENTRY DrvStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                            POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix);
PIFIMETRICS APIENTRY DrvQueryFont(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG_PTR* pid);
PVOID APIENTRY DrvQueryFontTree(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG iMode, ULONG_PTR* pid);
LONG APIENTRY DrvQueryFontData(DHPDEV dhpdev, FONTOBJ* pfo, ULONG iMode, HGLYPH hg, GLYPHDATA* pgd, PVOID pv,
                               ULONG cjSize);
ULONG APIENTRY DrvEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);

// Engine services (the simulated GDI engine; each can be made to fail with
// sim::failNth under its own name, e.g. "EngCreateBitmap").
HBITMAP APIENTRY EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits);
BOOL APIENTRY EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks);
BOOL APIENTRY EngMarkBandingSurface(HSURF hsurf);
BOOL APIENTRY EngEraseSurface(SURFOBJ* pso, RECTL* prcl, ULONG iColor);
BOOL APIENTRY EngDeleteSurface(HSURF hsurf);
SURFOBJ* APIENTRY EngLockSurface(HSURF hsurf);
VOID APIENTRY EngUnlockSurface(SURFOBJ* pso);
HPALETTE APIENTRY EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG flRed, FLONG flGreen,
                                   FLONG flBlue);
BOOL APIENTRY EngDeletePalette(HPALETTE hpal);
BOOL APIENTRY EngBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                        RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush,
                        ROP4 rop4);
BOOL APIENTRY EngStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                            COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                            POINTL* pptlMask, ULONG iMode);
BOOL APIENTRY EngStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                               COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                               POINTL* pptlMask, ULONG iMode, BRUSHOBJ* pbo, DWORD rop4);
BOOL APIENTRY EngCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                          POINTL* pptlSrc);
BOOL APIENTRY EngAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                            RECTL* prclSrc, BLENDOBJ* pBlendObj);
BOOL APIENTRY EngGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex, ULONG nVertex,
                              PVOID pMesh, ULONG nMesh, RECTL* prclExtents, POINTL* pptlDitherOrg, ULONG ulMode);
BOOL APIENTRY EngPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco, XLATEOBJ* pxlo,
                        COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx, RECTL* prcl, POINTL* pptl,
                        ULONG iMode);
BOOL APIENTRY EngTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDst,
                                RECTL* prclSrc, ULONG iTransColor, ULONG ulReserved);
BOOL APIENTRY EngTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                         RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix);
BOOL APIENTRY EngPaint(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix);
BOOL APIENTRY EngFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                          FLONG flOptions);
BOOL APIENTRY EngStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                                   LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill,
                                   FLONG flOptions);
BOOL APIENTRY EngLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2,
                        RECTL* prclBounds, MIX mix);
BOOL APIENTRY EngStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                            POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix);
PVOID APIENTRY BRUSHOBJ_pvAllocRbrush(BRUSHOBJ* pbo, ULONG cj);
PVOID APIENTRY BRUSHOBJ_pvGetRbrush(BRUSHOBJ* pbo);
PATHOBJ* APIENTRY EngCreatePath(VOID);
VOID APIENTRY EngDeletePath(PATHOBJ* ppo);
BOOL APIENTRY PATHOBJ_bMoveTo(PATHOBJ* ppo, POINTFIX ptfx);
BOOL APIENTRY PATHOBJ_bPolyLineTo(PATHOBJ* ppo, POINTFIX* pptfx, ULONG cptfx);
BOOL APIENTRY PATHOBJ_bCloseFigure(PATHOBJ* ppo);
VOID APIENTRY PATHOBJ_vEnumStart(PATHOBJ* ppo);
BOOL APIENTRY PATHOBJ_bEnum(PATHOBJ* ppo, PATHDATA* ppd);
ULONG APIENTRY CLIPOBJ_cEnumStart(CLIPOBJ* pco, BOOL bAll, ULONG iType, ULONG iDirection, ULONG cLimit);
BOOL APIENTRY CLIPOBJ_bEnum(CLIPOBJ* pco, ULONG cj, ULONG* pul);

}  // extern "C"
