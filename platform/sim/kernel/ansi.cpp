// Conversions between UTF-16 and the simulated host's ANSI code page.
#include "internal.h"

namespace sim {

std::string toAnsi(const std::u16string& s) {
  if (s.empty()) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? size_t(n) : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, s.data(), int(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::u16string fromAnsi(const char* s) {
  if (!s || !*s) return std::u16string();
  int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
  if (n <= 1) return std::u16string();
  std::u16string out(size_t(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, s, -1, out.data(), n);
  out.resize(size_t(n - 1));
  return out;
}

}  // namespace sim
