// WTEXT("...") writes a UTF-16 literal of the host's WCHAR type (char16_t
// on hosts without the Windows API).
#pragma once

#define WTEXT_CAT(s) u##s
#define WTEXT(s) WTEXT_CAT(s)
