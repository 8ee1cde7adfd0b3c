// Kernel services of the simulated host.
#include <iconv.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include <windows.h>

#include "internal.h"
#include "sim/world.h"

namespace {

thread_local DWORD g_lastError = 0;
std::atomic<size_t> g_live{0};

// Each block carries its size in front so HeapSize/GlobalSize can answer.
struct alignas(16) BlockHeader {
  SIZE_T size;
  SIZE_T magic;
};
constexpr SIZE_T kMagic = 0x48454150;  // "HEAP"

void* allocate(sim::Api api, SIZE_T bytes, bool zero) {
  if (sim::faulted(api)) return nullptr;
  if (bytes > (SIZE_T(1) << 40)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto* h = static_cast<BlockHeader*>(zero ? std::calloc(1, sizeof(BlockHeader) + bytes)
                                           : std::malloc(sizeof(BlockHeader) + bytes));
  if (!h) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  h->size = bytes;
  h->magic = kMagic;
  ++g_live;
  return h + 1;
}

BlockHeader* headerOf(LPCVOID mem) {
  if (!mem) return nullptr;
  auto* h = const_cast<BlockHeader*>(static_cast<const BlockHeader*>(mem)) - 1;
  return h->magic == kMagic ? h : nullptr;
}

bool release(LPVOID mem) {
  BlockHeader* h = headerOf(mem);
  if (!h) return false;
  h->magic = 0;
  std::free(h);
  --g_live;
  return true;
}

}  // namespace

namespace sim {

bool faulted(Api api) {
  DWORD err = ERROR_GEN_FAILURE;
  if (!takeFault(api, &err)) return false;
  SetLastError(err);
  return true;
}

size_t liveAllocations() { return g_live.load(); }

std::string toUtf8(const WCHAR* s, int len) {
  std::string out;
  if (!s) return out;
  int n = len < 0 ? lstrlenW(s) : len;
  for (int i = 0; i < n; ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string fromUtf8(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char b = s[i];
    uint32_t c;
    size_t extra;
    if (b < 0x80) { c = b; extra = 0; }
    else if ((b >> 5) == 6) { c = b & 0x1F; extra = 1; }
    else if ((b >> 4) == 14) { c = b & 0x0F; extra = 2; }
    else if ((b >> 3) == 30) { c = b & 0x07; extra = 3; }
    else { out += u'\uFFFD'; ++i; continue; }
    if (i + extra >= s.size()) { out += u'\uFFFD'; break; }
    for (size_t k = 1; k <= extra; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += extra + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += char16_t(0xD800 + (c >> 10));
      out += char16_t(0xDC00 + (c & 0x3FF));
    } else {
      out += char16_t(c);
    }
  }
  return out;
}

}  // namespace sim

namespace {

template <class C>
int slen(const C* s) {
  if (!s) return 0;
  int n = 0;
  while (s[n]) ++n;
  return n;
}
template <class C>
C* scpyn(C* d, const C* s, int max) {
  if (!d || max <= 0) return d;
  int i = 0;
  if (s)
    for (; i < max - 1 && s[i]; ++i) d[i] = s[i];
  d[i] = 0;
  return d;
}
template <class C>
unsigned fold(C c) {
  unsigned u = static_cast<std::make_unsigned_t<C>>(c);
  return (u >= 'A' && u <= 'Z') ? u + 32 : u;
}
template <class C>
int scmp(const C* a, const C* b, bool ci) {
  if (!a) a = reinterpret_cast<const C*>(u"");
  if (!b) b = reinterpret_cast<const C*>(u"");
  for (;; ++a, ++b) {
    unsigned x = ci ? fold(*a) : static_cast<std::make_unsigned_t<C>>(*a);
    unsigned y = ci ? fold(*b) : static_cast<std::make_unsigned_t<C>>(*b);
    if (x != y) return x < y ? -1 : 1;
    if (!x) return 0;
  }
}

}  // namespace

extern "C" {

DWORD WINAPI GetLastError(void) { return g_lastError; }
void WINAPI SetLastError(DWORD code) { g_lastError = code; }

HANDLE WINAPI GetProcessHeap(void) { return reinterpret_cast<HANDLE>(0x5EAF); }

LPVOID WINAPI HeapAlloc(HANDLE, DWORD flags, SIZE_T bytes) {
  return allocate(sim::api::HeapAlloc, bytes, (flags & HEAP_ZERO_MEMORY) != 0);
}

LPVOID WINAPI HeapReAlloc(HANDLE, DWORD flags, LPVOID mem, SIZE_T bytes) {
  BlockHeader* h = headerOf(mem);
  if (!h) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* fresh = allocate(sim::api::HeapReAlloc, bytes, (flags & HEAP_ZERO_MEMORY) != 0);
  if (!fresh) return nullptr;
  std::memcpy(fresh, mem, h->size < bytes ? h->size : bytes);
  release(mem);
  return fresh;
}

BOOL WINAPI HeapFree(HANDLE, DWORD, LPVOID mem) {
  if (!mem) return TRUE;
  if (!release(mem)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

SIZE_T WINAPI HeapSize(HANDLE, DWORD, LPCVOID mem) {
  BlockHeader* h = headerOf(mem);
  return h ? h->size : SIZE_T(-1);
}

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
  return allocate(sim::api::GlobalAlloc, bytes, (flags & GMEM_ZEROINIT) != 0);
}
HGLOBAL WINAPI GlobalFree(HGLOBAL mem) {
  if (!mem) return nullptr;
  if (!release(mem)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return mem;
  }
  return nullptr;
}
LPVOID WINAPI GlobalLock(HGLOBAL mem) { return mem; }
BOOL WINAPI GlobalUnlock(HGLOBAL) { return TRUE; }
SIZE_T WINAPI GlobalSize(HGLOBAL mem) {
  BlockHeader* h = headerOf(mem);
  return h ? h->size : 0;
}
HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) {
  return allocate(sim::api::LocalAlloc, bytes, (flags & LMEM_ZEROINIT) != 0);
}
HLOCAL WINAPI LocalFree(HLOCAL mem) {
  if (!mem) return nullptr;
  if (!release(mem)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return mem;
  }
  return nullptr;
}

void WINAPI Sleep(DWORD milliseconds) { sim::noteSleep(milliseconds); }
DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(sim::nowMs()); }
ULONGLONG WINAPI GetTickCount64(void) { return sim::nowMs(); }

void WINAPI GetLocalTime(LPSYSTEMTIME t) {
  if (!t) return;
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  t->wYear = WORD(tm.tm_year + 1900);
  t->wMonth = WORD(tm.tm_mon + 1);
  t->wDayOfWeek = WORD(tm.tm_wday);
  t->wDay = WORD(tm.tm_mday);
  t->wHour = WORD(tm.tm_hour);
  t->wMinute = WORD(tm.tm_min);
  t->wSecond = WORD(tm.tm_sec);
  t->wMilliseconds = 0;
}

DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }
DWORD WINAPI GetCurrentThreadId(void) { return static_cast<DWORD>(syscall(SYS_gettid)); }

// ---- strings --------------------------------------------------------------

int WINAPI lstrlenA(LPCSTR s) { return slen(s); }
int WINAPI lstrlenW(LPCWSTR s) { return slen(s); }
LPSTR WINAPI lstrcpyA(LPSTR d, LPCSTR s) { return scpyn(d, s, slen(s) + 1); }
LPWSTR WINAPI lstrcpyW(LPWSTR d, LPCWSTR s) { return scpyn(d, s, slen(s) + 1); }
LPSTR WINAPI lstrcpynA(LPSTR d, LPCSTR s, int max) { return scpyn(d, s, max); }
LPWSTR WINAPI lstrcpynW(LPWSTR d, LPCWSTR s, int max) { return scpyn(d, s, max); }
LPSTR WINAPI lstrcatA(LPSTR d, LPCSTR s) {
  scpyn(d + slen(d), s, slen(s) + 1);
  return d;
}
LPWSTR WINAPI lstrcatW(LPWSTR d, LPCWSTR s) {
  scpyn(d + slen(d), s, slen(s) + 1);
  return d;
}
int WINAPI lstrcmpA(LPCSTR a, LPCSTR b) { return scmp(a, b, false); }
int WINAPI lstrcmpW(LPCWSTR a, LPCWSTR b) { return scmp(a, b, false); }
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) { return scmp(a, b, true); }
int WINAPI lstrcmpiW(LPCWSTR a, LPCWSTR b) { return scmp(a, b, true); }

// ---- code pages -----------------------------------------------------------

static const char* charsetOf(UINT cp) {
  switch (cp) {
    case CP_ACP:
    case CP_OEMCP:
    case 936:
      return "GBK";
    case 54936:
      return "GB18030";
    case CP_UTF8:
      return "UTF-8";
    default:
      return nullptr;
  }
}

static bool convert(const char* to, const char* from, const char* in, size_t inLen, std::string& out, bool strict) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  char buf[1024];
  char* src = const_cast<char*>(in);
  size_t left = inLen;
  bool ok = true;
  while (left > 0) {
    char* dst = buf;
    size_t room = sizeof buf;
    size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buf, dst - buf);
    if (r == size_t(-1) && errno != E2BIG) {
      if (strict) { ok = false; break; }
      // Skip the offending input unit; Windows substitutes a default character.
      size_t unit = std::strncmp(from, "UTF-16", 6) == 0 ? 2 : 1;
      if (unit > left) unit = left;
      src += unit;
      left -= unit;
      if (std::strncmp(to, "UTF-16", 6) == 0)
        out.append("?\0", 2);
      else
        out += '?';
    }
  }
  iconv_close(cd);
  return ok;
}

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLen, LPWSTR dst, int dstLen) {
  const char* cs = charsetOf(codePage);
  if (!cs || !src || dstLen < 0 || (dstLen > 0 && !dst)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t n = srcLen < 0 ? std::strlen(src) + 1 : size_t(srcLen);
  std::string wide;
  if (!convert("UTF-16LE", cs, src, n, wide, (flags & MB_ERR_INVALID_CHARS) != 0)) {
    SetLastError(1113 /* ERROR_NO_UNICODE_TRANSLATION */);
    return 0;
  }
  int units = int(wide.size() / 2);
  if (dstLen == 0) return units;
  if (units > dstLen) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  for (int i = 0; i < units; ++i)
    dst[i] = char16_t(uint8_t(wide[2 * i]) | (uint8_t(wide[2 * i + 1]) << 8));
  return units;
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR src, int srcLen, LPSTR dst, int dstLen, LPCSTR,
                               LPBOOL usedDefault) {
  const char* cs = charsetOf(codePage);
  if (!cs || !src || dstLen < 0 || (dstLen > 0 && !dst)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t n = srcLen < 0 ? size_t(lstrlenW(src)) + 1 : size_t(srcLen);
  std::string in(n * 2, '\0');
  for (size_t i = 0; i < n; ++i) {
    in[2 * i] = char(src[i] & 0xFF);
    in[2 * i + 1] = char(src[i] >> 8);
  }
  std::string out;
  convert(cs, "UTF-16LE", in.data(), in.size(), out, false);
  if (usedDefault) *usedDefault = FALSE;
  if (dstLen == 0) return int(out.size());
  if (int(out.size()) > dstLen) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(dst, out.data(), out.size());
  return int(out.size());
}

// ---- critical sections ----------------------------------------------------

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION cs) {
  if (cs) cs->impl = new std::recursive_mutex;
}
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs) {
  if (!cs) return;
  delete static_cast<std::recursive_mutex*>(cs->impl);
  cs->impl = nullptr;
}
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs) { static_cast<std::recursive_mutex*>(cs->impl)->lock(); }
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs) { static_cast<std::recursive_mutex*>(cs->impl)->unlock(); }

BOOL WINAPI CloseHandle(HANDLE h) {
  if (!sim::closeHandle(h)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

}  // extern "C"
