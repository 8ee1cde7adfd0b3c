// WTEXT("...") writes a UTF-16 literal of the host's WCHAR type.
#pragma once

#define WTEXT_CAT(s) L##s
#define WTEXT(s) WTEXT_CAT(s)
