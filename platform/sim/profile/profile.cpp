// The simulated profile (INI) functions over real files, and the Windows
// directory.
#include <windows.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <vector>

#include "internal.h"
#include "sim/profile.h"
#include "sim/world.h"

namespace sim {
namespace {

// A temporary Windows directory, removed with everything in it when the
// world is reset.
class TempDir {
 public:
  explicit TempDir(std::filesystem::path path) : path_(std::move(path)) {}
  TempDir(TempDir&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
  TempDir& operator=(TempDir&&) = delete;
  TempDir(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }

 private:
  std::filesystem::path path_;
};

struct ProfileState {
  bool hasDirectory = false;
  bool directoryReadOnly = false;
  std::u16string directory;
  std::vector<TempDir> tempDirs;
};

Service<ProfileState, std::mutex>& state() { return service<ProfileState, std::mutex>(); }

char16_t foldChar(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

bool sameName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (foldChar(a[i]) != foldChar(b[i])) return false;
  return true;
}

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::u16string trim(const std::u16string& s) {
  size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// One line of the file, kept verbatim unless the key it holds is changed.
struct Line {
  std::u16string text;
  bool isKey = false;
  std::u16string key;
  std::u16string value;
};

struct Section {
  bool header = false;  // false for the lines before the first section
  std::u16string name;
  std::u16string headerText;
  std::vector<Line> lines;
};

std::string hostPath(const WCHAR* fileName) {
  std::string path = toUtf8(fileName);
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

std::u16string decode(const std::string& bytes) {
  if (bytes.size() >= 2 && BYTE(bytes[0]) == 0xFF && BYTE(bytes[1]) == 0xFE) {
    std::u16string out;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      out.push_back(char16_t(BYTE(bytes[i]) | (BYTE(bytes[i + 1]) << 8)));
    return out;
  }
  size_t start = (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) ? 3 : 0;
  return fromUtf8(bytes.substr(start));
}

std::vector<Section> parse(const std::u16string& text) {
  std::vector<Section> sections(1);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(u'\n', pos);
    if (end == std::u16string::npos) end = text.size();
    std::u16string raw = text.substr(pos, end - pos);
    if (!raw.empty() && raw.back() == u'\r') raw.pop_back();
    pos = end + 1;
    std::u16string t = trim(raw);
    if (!t.empty() && t.front() == u'[') {
      size_t close = t.find(u']');
      Section s;
      s.header = true;
      s.name = trim(t.substr(1, close == std::u16string::npos ? std::u16string::npos : close - 1));
      s.headerText = raw;
      sections.push_back(std::move(s));
      continue;
    }
    Line line;
    line.text = raw;
    size_t eq = t.find(u'=');
    if (!t.empty() && t.front() != u';' && eq != std::u16string::npos) {
      line.isKey = true;
      line.key = trim(t.substr(0, eq));
      line.value = trim(t.substr(eq + 1));
      if (line.value.size() >= 2 && (line.value.front() == u'"' || line.value.front() == u'\'') &&
          line.value.back() == line.value.front())
        line.value = line.value.substr(1, line.value.size() - 2);
    }
    sections.back().lines.push_back(std::move(line));
  }
  return sections;
}

using Sections = std::vector<Section>;

// Plain system calls: the stream classes' buffers and locale set-up cost
// more than the small files read here.
bool readWholeFile(const std::string& path, std::string* bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bytes->clear();
  char chunk[16384];
  ssize_t n;
  while ((n = ::read(fd, chunk, sizeof chunk)) != 0) {
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return false;
    }
    bytes->append(chunk, size_t(n));
  }
  ::close(fd);
  return true;
}

bool writeWholeFile(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += size_t(n);
  }
  return ::close(fd) == 0 && done == bytes.size();
}

// The last file parsed, with the bytes it was parsed from. The driver reads
// one label file hundreds of times for one device, and parsing it again for
// every key was most of the time of the driver's tests under the
// sanitizers; the file is still read each time, and parsed again when its
// bytes changed.
struct ParsedFile {
  std::string path;
  std::string bytes;
  std::shared_ptr<const Sections> sections;
};

Service<ParsedFile, std::mutex>& parsed() { return service<ParsedFile, std::mutex>(); }

// The file's sections, or null when it cannot be read.
std::shared_ptr<const Sections> loadShared(const std::string& path) {
  std::string bytes;
  if (!readWholeFile(path, &bytes)) return nullptr;
  auto& p = parsed();
  std::lock_guard<std::mutex> g(p.lock);
  if (!p.sections || p.path != path || p.bytes != bytes) {
    p.sections = std::make_shared<const Sections>(parse(decode(bytes)));
    p.path = path;
    p.bytes = std::move(bytes);
  }
  return p.sections;
}

bool load(const std::string& path, Sections* sections) {
  std::shared_ptr<const Sections> p = loadShared(path);
  if (!p) return false;
  *sections = *p;
  return true;
}

bool save(const std::string& path, const std::vector<Section>& sections) {
  std::u16string text;
  for (const Section& s : sections) {
    if (s.header) text += s.headerText + u"\r\n";
    for (const Line& l : s.lines) text += l.text + u"\r\n";
  }
  std::string bytes("\xFF\xFE");
  bytes.reserve(2 + 2 * text.size());
  for (char16_t c : text) {
    bytes.push_back(char(c & 0xFF));
    bytes.push_back(char(c >> 8));
  }
  return writeWholeFile(path, bytes);
}

template <class S>  // Sections or const Sections
auto findSection(S& sections, const std::u16string& name) -> decltype(&sections[0]) {
  for (auto& s : sections)
    if (s.header && sameName(s.name, name)) return &s;
  return nullptr;
}

template <class S>  // Section or const Section
auto findKey(S& section, const std::u16string& key) -> decltype(&section.lines[0]) {
  for (auto& l : section.lines)
    if (l.isKey && sameName(l.key, key)) return &l;
  return nullptr;
}

// Copies a list of terminated strings with a final terminator, as the
// profile functions return section and key lists.
DWORD copyList(const std::vector<std::u16string>& items, WCHAR* out, DWORD size) {
  if (size == 0) return 0;
  if (size == 1) {
    out[0] = 0;
    return 0;
  }
  DWORD used = 0;
  for (const std::u16string& item : items) {
    for (char16_t c : item) {
      if (used + 2 >= size) {
        out[used] = 0;
        out[used + 1] = 0;
        return size - 2;
      }
      out[used++] = c;
    }
    if (used + 2 >= size) {
      out[used] = 0;
      out[used + 1] = 0;
      return size - 2;
    }
    out[used++] = 0;
  }
  out[used] = 0;
  return used;
}

DWORD copyString(const std::u16string& s, WCHAR* out, DWORD size) {
  if (size == 0) return 0;
  DWORD n = DWORD(s.size());
  if (n >= size) n = size - 1;
  std::memcpy(out, s.data(), n * sizeof(WCHAR));
  out[n] = 0;
  return n;
}

// True while the Windows directory is read-only and the file lies in it
// (the folder part compared case-insensitively, either slash).
bool inReadOnlyDirectory(const WCHAR* fileName) {
  std::lock_guard<std::mutex> g(state().lock);
  if (!state().directoryReadOnly || !state().hasDirectory) return false;
  std::string dir = hostPath(state().directory.c_str());
  std::string path = hostPath(fileName);
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return false;
  path.resize(slash);
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (path.size() != dir.size()) return false;
  for (size_t i = 0; i < path.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(path[i])) != std::tolower(static_cast<unsigned char>(dir[i])))
      return false;
  return true;
}

}  // namespace

void setWindowsDirectoryReadOnly(bool readOnly) {
  std::lock_guard<std::mutex> g(state().lock);
  state().directoryReadOnly = readOnly;
}

void setWindowsDirectory(const std::u16string& dir) {
  std::lock_guard<std::mutex> g(state().lock);
  state().hasDirectory = true;
  state().directory = dir;
}

std::u16string makeTempWindowsDirectory() {
  static int counter = 0;
  std::filesystem::path base = std::filesystem::temp_directory_path();
  std::filesystem::path dir;
  do {
    dir = base / ("winsim-windir-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
  } while (std::filesystem::exists(dir));
  std::filesystem::create_directories(dir);
  std::u16string wide = fromUtf8(dir.string());
  std::lock_guard<std::mutex> g(state().lock);
  state().tempDirs.emplace_back(dir);
  state().hasDirectory = true;
  state().directory = wide;
  return wide;
}

std::string windowsFilePath(const std::u16string& fileName) {
  std::lock_guard<std::mutex> g(state().lock);
  if (!state().hasDirectory) return {};
  return toUtf8(state().directory.c_str()) + "/" + toUtf8(fileName.c_str());
}

std::string readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeUtf8File(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

}  // namespace sim

using namespace sim;

extern "C" {

DWORD WINAPI GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault,
                                      LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName) {
  if (!lpReturnedString || !lpFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (faulted(api::GetPrivateProfileStringW)) {
    if (nSize) lpReturnedString[0] = 0;
    return 0;
  }
  const std::shared_ptr<const Sections> loaded = loadShared(hostPath(lpFileName));
  const bool exists = loaded != nullptr;
  static const Sections kNoFile;
  const Sections& sections = exists ? *loaded : kNoFile;
  if (!lpAppName) {
    std::vector<std::u16string> names;
    for (const Section& s : sections)
      if (s.header) names.push_back(s.name);
    return copyList(names, lpReturnedString, nSize);
  }
  const Section* section = exists ? findSection(sections, lpAppName) : nullptr;
  if (!lpKeyName) {
    std::vector<std::u16string> keys;
    if (section)
      for (const Line& l : section->lines)
        if (l.isKey) keys.push_back(l.key);
    return copyList(keys, lpReturnedString, nSize);
  }
  const Line* line = section ? findKey(*section, lpKeyName) : nullptr;
  if (line) return copyString(line->value, lpReturnedString, nSize);
  // The default loses its trailing blanks, as on Windows.
  std::u16string def = lpDefault ? std::u16string(lpDefault) : std::u16string();
  while (!def.empty() && def.back() == u' ') def.pop_back();
  if (!exists) SetLastError(ERROR_FILE_NOT_FOUND);
  return copyString(def, lpReturnedString, nSize);
}

UINT WINAPI GetPrivateProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault, LPCWSTR lpFileName) {
  if (!lpAppName || !lpKeyName || !lpFileName) return UINT(nDefault);
  if (faulted(api::GetPrivateProfileIntW)) return UINT(nDefault);
  const std::shared_ptr<const Sections> sections = loadShared(hostPath(lpFileName));
  if (!sections) return UINT(nDefault);
  const Section* section = findSection(*sections, lpAppName);
  const Line* line = section ? findKey(*section, lpKeyName) : nullptr;
  if (!line || line->value.empty()) return UINT(nDefault);
  const std::u16string& v = line->value;
  size_t i = 0;
  bool negative = false;
  if (i < v.size() && (v[i] == u'-' || v[i] == u'+')) negative = v[i++] == u'-';
  uint32_t value = 0;
  for (; i < v.size() && v[i] >= u'0' && v[i] <= u'9'; ++i) value = value * 10 + uint32_t(v[i] - u'0');
  return negative ? UINT(0u - value) : UINT(value);
}

BOOL WINAPI WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString,
                                       LPCWSTR lpFileName) {
  if (!lpAppName || !lpFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (faulted(api::WritePrivateProfileStringW)) return FALSE;
  if (inReadOnlyDirectory(lpFileName)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  std::string path = hostPath(lpFileName);
  std::vector<Section> sections;
  if (!load(path, &sections)) sections.assign(1, Section{});
  Section* section = findSection(sections, lpAppName);
  if (!lpKeyName) {
    if (section)
      for (auto it = sections.begin(); it != sections.end(); ++it)
        if (&*it == section) {
          sections.erase(it);
          break;
        }
  } else if (!lpString) {
    if (section)
      for (auto it = section->lines.begin(); it != section->lines.end(); ++it)
        if (it->isKey && sameName(it->key, lpKeyName)) {
          section->lines.erase(it);
          break;
        }
  } else {
    if (!section) {
      Section s;
      s.header = true;
      s.name = lpAppName;
      s.headerText = u"[" + s.name + u"]";
      sections.push_back(std::move(s));
      section = &sections.back();
    }
    Line* line = findKey(*section, lpKeyName);
    std::u16string key = line ? line->key : std::u16string(lpKeyName);
    Line fresh;
    fresh.isKey = true;
    fresh.key = key;
    fresh.value = lpString;
    fresh.text = key + u"=" + fresh.value;
    if (line) {
      *line = fresh;
    } else {
      // After the section's last key, so blank lines that separate it from
      // the next section stay after it.
      auto at = section->lines.end();
      while (at != section->lines.begin() && trim((at - 1)->text).empty()) --at;
      section->lines.insert(at, fresh);
    }
  }
  if (!save(path, sections)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

UINT WINAPI GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize) {
  if (faulted(api::GetWindowsDirectoryW)) return 0;
  std::u16string dir;
  {
    std::lock_guard<std::mutex> g(state().lock);
    if (!state().hasDirectory) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return 0;
    }
    dir = state().directory;
  }
  UINT len = UINT(dir.size());
  if (!lpBuffer || uSize <= len) return len + 1;
  std::memcpy(lpBuffer, dir.data(), len * sizeof(WCHAR));
  lpBuffer[len] = 0;
  return len;
}

}  // extern "C"

extern "C" {

DWORD WINAPI GetProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                               DWORD nSize) {
  if (!lpReturnedString || nSize == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string def = fromAnsi(lpDefault);
  std::u16string value = def;
  std::string path = windowsFilePath(u"win.ini");
  if (!path.empty() && lpAppName && lpKeyName) {
    std::u16string file = fromUtf8(path), app = fromAnsi(lpAppName), key = fromAnsi(lpKeyName);
    std::vector<WCHAR> buf(32768);
    DWORD n = GetPrivateProfileStringW(app.c_str(), key.c_str(), def.c_str(), buf.data(), DWORD(buf.size()),
                                       file.c_str());
    value.assign(buf.data(), n);
  }
  std::string ansi = toAnsi(value);
  DWORD n = DWORD(ansi.size());
  if (n >= nSize) n = nSize - 1;
  std::memcpy(lpReturnedString, ansi.data(), n);
  lpReturnedString[n] = 0;
  return n;
}

}  // extern "C"
