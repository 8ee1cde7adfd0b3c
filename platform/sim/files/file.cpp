// CreateFileW, ReadFile and WriteFile of the simulated host: device paths
// are resolved by the services that registered an opener, other paths are
// host files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

#include "device_internal.h"
#include "internal.h"
#include "sim/file.h"

namespace sim {
namespace {

std::mutex g_lock;
std::vector<DeviceOpener>& openers() {
  static auto* v = new std::vector<DeviceOpener>;
  return *v;
}

bool isDevicePath(const std::u16string& p) {
  return p.size() > 4 && p[0] == u'\\' && p[1] == u'\\' && (p[2] == u'?' || p[2] == u'.') && p[3] == u'\\';
}

DWORD errorFromErrno(int e) {
  switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case ENOSPC: return 112;  // ERROR_DISK_FULL
    default: return ERROR_GEN_FAILURE;
  }
}

struct HostFile : FileObject {
  int fd = -1;
  ~HostFile() override {
    if (fd >= 0) ::close(fd);
  }
  BOOL read(void* buffer, DWORD size, DWORD* done) override {
    ssize_t n;
    do n = ::read(fd, buffer, size);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
      SetLastError(errno == EBADF ? ERROR_ACCESS_DENIED : errorFromErrno(errno));
      return FALSE;
    }
    *done = DWORD(n);
    return TRUE;
  }
  BOOL write(const void* data, DWORD size, DWORD* done) override {
    DWORD total = 0;
    while (total < size) {
      ssize_t n = ::write(fd, static_cast<const char*>(data) + total, size - total);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        *done = total;
        SetLastError(errno == EBADF ? ERROR_ACCESS_DENIED : errorFromErrno(errno));
        return FALSE;
      }
      total += DWORD(n);
    }
    *done = total;
    return TRUE;
  }
};

HANDLE openHostFile(const std::u16string& path, DWORD access, DWORD disposition) {
  std::string host = toUtf8(path.c_str(), int(path.size()));
  for (char& c : host)
    if (c == '\\') c = '/';
  int flags = O_CLOEXEC;
  bool rd = access & GENERIC_READ, wr = access & GENERIC_WRITE;
  flags |= rd && wr ? O_RDWR : wr ? O_WRONLY : O_RDONLY;
  switch (disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  if ((flags & O_TRUNC) && !wr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  bool existed = ::access(host.c_str(), F_OK) == 0;
  int fd = ::open(host.c_str(), flags, 0644);
  if (fd < 0) {
    SetLastError(errorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  auto f = std::make_shared<HostFile>();
  f->fd = fd;
  HANDLE h = newHandle(f);
  // As on Windows, these two dispositions report an existing file.
  SetLastError((disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) && existed ? ERROR_ALREADY_EXISTS : 0);
  return h;
}

// An ANSI path as the host file it names.
std::string hostPathOf(LPCSTR fileName) {
  int n = MultiByteToWideChar(CP_ACP, 0, fileName, -1, nullptr, 0);
  if (n <= 0) return {};
  std::vector<WCHAR> wide(static_cast<size_t>(n));
  MultiByteToWideChar(CP_ACP, 0, fileName, -1, wide.data(), n);
  std::string host = toUtf8(wide.data());
  for (char& c : host)
    if (c == '\\') c = '/';
  return host;
}

}  // namespace

void addDeviceOpener(DeviceOpener opener) {
  std::lock_guard<std::mutex> g(g_lock);
  openers().push_back(std::move(opener));
}

}  // namespace sim

extern "C" {

HANDLE WINAPI CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD, LPSECURITY_ATTRIBUTES, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE) {
  if (sim::faulted(sim::api::CreateFileW)) return INVALID_HANDLE_VALUE;
  if (!fileName || !*fileName || (flagsAndAttributes & FILE_FLAG_OVERLAPPED)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::u16string path(fileName);
  if (!sim::isDevicePath(path)) return sim::openHostFile(path, desiredAccess, creationDisposition);
  if (creationDisposition != OPEN_EXISTING) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  std::vector<sim::DeviceOpener> list;
  {
    std::lock_guard<std::mutex> g(sim::g_lock);
    list = sim::openers();
  }
  DWORD error = ERROR_FILE_NOT_FOUND;
  for (auto& open : list) {
    error = ERROR_FILE_NOT_FOUND;
    if (auto object = open(path, desiredAccess, &error)) {
      SetLastError(0);
      return sim::newHandle(object);
    }
    if (error != ERROR_FILE_NOT_FOUND) break;
  }
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES securityAttributes,
                          DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  int n = MultiByteToWideChar(CP_ACP, 0, fileName, -1, nullptr, 0);
  if (n <= 0) return INVALID_HANDLE_VALUE;
  std::vector<WCHAR> wide(static_cast<size_t>(n));
  MultiByteToWideChar(CP_ACP, 0, fileName, -1, wide.data(), n);
  return CreateFileW(wide.data(), desiredAccess, shareMode, securityAttributes, creationDisposition, flagsAndAttributes,
                     templateFile);
}

DWORD WINAPI GetFileAttributesA(LPCSTR fileName) {
  if (sim::faulted(sim::api::GetFileAttributesA)) return INVALID_FILE_ATTRIBUTES;
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  std::string host = sim::hostPathOf(fileName);
  struct stat st {};
  if (::stat(host.c_str(), &st) != 0) {
    SetLastError(sim::errorFromErrno(errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

BOOL WINAPI DeleteFileA(LPCSTR fileName) {
  if (sim::faulted(sim::api::DeleteFileA)) return FALSE;
  if (!fileName || !*fileName) return sim::failWith(ERROR_INVALID_PARAMETER);
  std::string host = sim::hostPathOf(fileName);
  struct stat st {};
  if (::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return sim::failWith(ERROR_ACCESS_DENIED);
  if (::unlink(host.c_str()) != 0) return sim::failWith(sim::errorFromErrno(errno));
  return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD high) {
  auto f = sim::handleAs<sim::HostFile>(file);
  struct stat st {};
  if (!f || ::fstat(f->fd, &st) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  ULONGLONG size = ULONGLONG(st.st_size);
  if (high) *high = DWORD(size >> 32);
  SetLastError(0);
  return DWORD(size);
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
  if (bytesRead) *bytesRead = 0;
  auto f = sim::handleAs<sim::FileObject>(file);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (overlapped || (!buffer && bytesToRead) || (!bytesRead && !overlapped)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (sim::faulted(sim::api::ReadFile)) return FALSE;
  return f->read(buffer, bytesToRead, bytesRead);
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
  if (bytesWritten) *bytesWritten = 0;
  auto f = sim::handleAs<sim::FileObject>(file);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (overlapped || (!buffer && bytesToWrite) || !bytesWritten) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (sim::faulted(sim::api::WriteFile)) return FALSE;
  return f->write(buffer, bytesToWrite, bytesWritten);
}

}  // extern "C"
