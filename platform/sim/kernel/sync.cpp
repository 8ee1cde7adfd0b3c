// Named mutexes, events and file mappings of the simulated host.
//
// A named object is a file in the process tree's namespace directory. A
// mutex is held across processes with flock() on its file, so the kernel
// drops the hold when a holding process dies; byte 0 of the file records
// "held" so the next owner learns that the previous one was abandoned.
// Within a process a mutex belongs to one thread and counts recursive
// acquisitions, as on Windows. A mapping is the file itself, mmap'ed shared.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include <windows.h>

#include "internal.h"
#include "sim/sync.h"
#include "sync_internal.h"

namespace sim {
namespace {

// ---- namespace directory --------------------------------------------------

std::string makeDirs(const std::string& path) {
  std::string partial;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (!partial.empty()) ::mkdir(partial.c_str(), 0700);
    }
    if (i < path.size()) partial += path[i];
  }
  return path;
}

void removeTree(const std::string& dir) {
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") ::unlink((dir + "/" + n).c_str());
    }
    ::closedir(d);
  }
  ::rmdir(dir.c_str());
}

// Namespaces named "p<pid>-<stamp>" whose creating process is gone are left
// over from crashed runs; they are removed so they cannot pile up.
void sweepStale(const std::string& root) {
  DIR* d = ::opendir(root.c_str());
  if (!d) return;
  while (dirent* e = ::readdir(d)) {
    unsigned long pid = 0;
    if (std::sscanf(e->d_name, "p%lu-", &pid) != 1 || pid == 0) continue;
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH) removeTree(root + "/" + e->d_name);
  }
  ::closedir(d);
}

struct Namespace {
  std::string dir;
  bool owned = false;
  Namespace() {
    if (const char* inherited = std::getenv(kObjectNamespaceVariable); inherited && *inherited) {
      dir = makeDirs(inherited);
      return;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string root = std::string(tmp && *tmp ? tmp : "/tmp") + "/kvsim-objects-" + std::to_string(::getuid());
    makeDirs(root);
    sweepStale(root);
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir = makeDirs(root + "/p" + std::to_string(::getpid()) + "-" + std::to_string(stamp));
    owned = true;
    ::setenv(kObjectNamespaceVariable, dir.c_str(), 1);
  }
  ~Namespace() {
    if (owned) removeTree(dir);
  }
};

Namespace& objectSpace() {
  static Namespace ns;  // destroyed at exit: the directory goes with it
  return ns;
}

// Object names may contain characters a file name cannot; they are kept
// readable where possible and escaped otherwise. Windows names are
// case-sensitive for kernel objects, so no folding.
std::string fileFor(const char* kind, const char* name) {
  std::string out = objectSpace().dir + "/" + kind + "-";
  for (const char* p = name; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (std::isalnum(c) || c == '_' || c == '-' || c == '.') {
      out += char(c);
    } else {
      char esc[4];
      std::snprintf(esc, sizeof esc, "%%%02X", c);
      out += esc;
    }
  }
  return out;
}

bool validName(LPCSTR name) { return name && *name && std::strlen(name) < MAX_PATH; }

// ---- mutexes --------------------------------------------------------------

struct MutexCore {
  std::string name;
  int fd = -1;
  std::mutex lock;
  std::condition_variable released;
  DWORD ownerThread = 0;
  int count = 0;

  ~MutexCore() {
    if (fd >= 0) ::close(fd);  // drops a cross-process hold, leaving "held" set
  }

  // Takes the cross-process hold; returns WAIT_OBJECT_0, WAIT_ABANDONED or
  // WAIT_TIMEOUT when another process holds the mutex.
  DWORD takeFile(bool block) {
    int r;
    do {
      r = ::flock(fd, LOCK_EX | (block ? 0 : LOCK_NB));
    } while (r != 0 && errno == EINTR);
    if (r != 0) return WAIT_TIMEOUT;
    char held = 0;
    bool abandoned = ::pread(fd, &held, 1, 0) == 1 && held == 1;
    held = 1;
    (void)::pwrite(fd, &held, 1, 0);
    return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
  }

  void dropFile() {
    char held = 0;
    (void)::pwrite(fd, &held, 1, 0);
    ::flock(fd, LOCK_UN);
  }

  DWORD acquire(DWORD ms) {
    DWORD self = GetCurrentThreadId();
    std::unique_lock<std::mutex> g(lock);
    if (ownerThread == self) {
      ++count;
      return WAIT_OBJECT_0;
    }
    if (ownerThread != 0) {
      if (ms == 0) return WAIT_TIMEOUT;
      if (ms == INFINITE) {
        released.wait(g, [&] { return ownerThread == 0; });
      } else {
        // Another thread of this process: it can only let go in real time.
        released.wait_for(g, std::chrono::milliseconds(20), [&] { return ownerThread == 0; });
        if (ownerThread != 0) {
          noteSleep(ms);
          return WAIT_TIMEOUT;
        }
      }
    }
    DWORD r = takeFile(ms == INFINITE);
    if (r == WAIT_TIMEOUT && ms != 0) {
      noteSleep(ms);
      r = takeFile(false);
    }
    if (r == WAIT_TIMEOUT) return r;
    ownerThread = self;
    count = 1;
    return r;
  }

  bool release() {
    std::lock_guard<std::mutex> g(lock);
    if (ownerThread != GetCurrentThreadId() || count == 0) return false;
    if (--count == 0) {
      ownerThread = 0;
      dropFile();
      released.notify_all();
    }
    return true;
  }
};

// One core per name and process, shared by every handle to it.
std::mutex g_mutexesLock;
std::map<std::string, std::weak_ptr<MutexCore>>& mutexes() {
  static auto* m = new std::map<std::string, std::weak_ptr<MutexCore>>;
  return *m;
}

struct MutexHandle : Waitable {
  std::shared_ptr<MutexCore> core;
  DWORD wait(DWORD ms) override { return core->acquire(ms); }
};

// Opens or creates the named mutex's core; *existed tells which happened.
// Null with the last error set on failure.
std::shared_ptr<MutexCore> mutexCore(LPCSTR name, bool* existed) {
  std::lock_guard<std::mutex> g(g_mutexesLock);
  if (auto alive = mutexes()[name].lock()) {
    *existed = true;
    return alive;
  }
  std::string path = fileFor("mutex", name);
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  *existed = fd < 0;
  if (fd < 0) fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  auto core = std::make_shared<MutexCore>();
  core->name = name;
  core->fd = fd;
  mutexes()[name] = core;
  return core;
}

std::shared_ptr<MutexCore> openExistingMutex(LPCSTR name) {
  {
    std::lock_guard<std::mutex> g(g_mutexesLock);
    if (auto alive = mutexes()[name].lock()) return alive;
  }
  if (::access(fileFor("mutex", name).c_str(), F_OK) != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  bool existed = false;
  return mutexCore(name, &existed);
}

// ---- events ---------------------------------------------------------------

struct Event : Waitable {
  std::mutex lock;
  std::condition_variable changed;
  bool manual = true;
  bool signalled = false;
  DWORD wait(DWORD ms) override {
    std::unique_lock<std::mutex> g(lock);
    if (!signalled && ms == INFINITE) changed.wait(g, [&] { return signalled; });
    if (!signalled) {
      if (ms) noteSleep(ms);
      return WAIT_TIMEOUT;
    }
    if (!manual) signalled = false;
    return WAIT_OBJECT_0;
  }
};

HANDLE newEvent(BOOL manual, BOOL initial, bool named) {
  if (named) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  if (faulted(api::CreateEvent)) return nullptr;
  auto e = std::make_shared<Event>();
  e->manual = manual != FALSE;
  e->signalled = initial != FALSE;
  SetLastError(0);
  return newHandle(e);
}

BOOL setEventState(HANDLE h, bool state) {
  auto e = handleAs<Event>(h);
  if (!e) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> g(e->lock);
  e->signalled = state;
  if (state) e->changed.notify_all();
  return TRUE;
}

// ---- file mappings --------------------------------------------------------

struct Mapping : KernelObject {
  int fd = -1;
  size_t size = 0;
  ~Mapping() override {
    if (fd >= 0) ::close(fd);
  }
};

std::mutex g_viewsLock;
std::map<const void*, size_t>& views() {
  static auto* v = new std::map<const void*, size_t>;
  return *v;
}

}  // namespace

std::string objectNamespace() { return objectSpace().dir; }

int mutexHoldCount(const std::string& name) {
  std::shared_ptr<MutexCore> core;
  {
    std::lock_guard<std::mutex> g(g_mutexesLock);
    auto it = mutexes().find(name);
    if (it != mutexes().end()) core = it->second.lock();
  }
  if (!core) return 0;
  std::lock_guard<std::mutex> g(core->lock);
  return core->count;
}

}  // namespace sim

extern "C" {

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
  if (sim::faulted(sim::api::CreateMutexA)) return nullptr;
  std::shared_ptr<sim::MutexCore> core;
  bool existed = false;
  if (name) {
    if (!sim::validName(name)) {
      SetLastError(ERROR_INVALID_NAME);
      return nullptr;
    }
    core = sim::mutexCore(name, &existed);
    if (!core) return nullptr;
  } else {
    core = std::make_shared<sim::MutexCore>();
    char tmpl[] = "/tmp/kvsim-anon-mutex-XXXXXX";
    core->fd = ::mkstemp(tmpl);
    if (core->fd < 0) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    ::unlink(tmpl);
  }
  if (initialOwner && !existed) core->acquire(0);
  auto h = std::make_shared<sim::MutexHandle>();
  h->core = core;
  HANDLE handle = sim::newHandle(h);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : 0);
  return handle;
}

HANDLE WINAPI OpenMutexA(DWORD, BOOL, LPCSTR name) {
  if (sim::faulted(sim::api::OpenMutexA)) return nullptr;
  if (!sim::validName(name)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto core = sim::openExistingMutex(name);
  if (!core) return nullptr;
  auto h = std::make_shared<sim::MutexHandle>();
  h->core = core;
  return sim::newHandle(h);
}

BOOL WINAPI ReleaseMutex(HANDLE mutex) {
  auto h = sim::handleAs<sim::MutexHandle>(mutex);
  if (!h) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!h->core->release()) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  return TRUE;
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
  return sim::newEvent(manualReset, initialState, name != nullptr);
}
HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  return sim::newEvent(manualReset, initialState, name != nullptr);
}
BOOL WINAPI SetEvent(HANDLE event) { return sim::setEventState(event, true); }
BOOL WINAPI ResetEvent(HANDLE event) { return sim::setEventState(event, false); }

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto w = sim::handleAs<sim::Waitable>(handle);
  if (!w) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return w->wait(milliseconds);
}

HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                                 DWORD maximumSizeLow, LPCSTR name) {
  if (sim::faulted(sim::api::CreateFileMappingA)) return nullptr;
  ULONGLONG size = (ULONGLONG(maximumSizeHigh) << 32) | maximumSizeLow;
  if (file != INVALID_HANDLE_VALUE || size == 0 || size > (ULONGLONG(1) << 30) ||
      (protect & 0xFF) != PAGE_READWRITE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  int fd;
  bool existed = false;
  if (name) {
    if (!sim::validName(name)) {
      SetLastError(ERROR_INVALID_NAME);
      return nullptr;
    }
    std::string path = sim::fileFor("mapping", name);
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      existed = true;
      fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    }
  } else {
    char tmpl[] = "/tmp/kvsim-anon-mapping-XXXXXX";
    fd = ::mkstemp(tmpl);
    if (fd >= 0) ::unlink(tmpl);
  }
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    if (fd >= 0) ::close(fd);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // Growing to the requested size zero-fills; an existing section keeps its
  // contents (and its size when larger), as on Windows.
  if (ULONGLONG(st.st_size) < size && ::ftruncate(fd, off_t(size)) != 0) {
    ::close(fd);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto m = std::make_shared<sim::Mapping>();
  m->fd = fd;
  m->size = size_t(ULONGLONG(st.st_size) > size ? ULONGLONG(st.st_size) : size);
  HANDLE h = sim::newHandle(m);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : 0);
  return h;
}

HANDLE WINAPI OpenFileMappingA(DWORD, BOOL, LPCSTR name) {
  if (sim::faulted(sim::api::OpenFileMappingA)) return nullptr;
  if (!sim::validName(name)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  int fd = ::open(sim::fileFor("mapping", name).c_str(), O_RDWR | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size == 0) {
    if (fd >= 0) ::close(fd);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  auto m = std::make_shared<sim::Mapping>();
  m->fd = fd;
  m->size = size_t(st.st_size);
  return sim::newHandle(m);
}

LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes) {
  if (sim::faulted(sim::api::MapViewOfFile)) return nullptr;
  auto m = sim::handleAs<sim::Mapping>(mapping);
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (offsetHigh || offsetLow || bytes > m->size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  size_t length = bytes ? bytes : m->size;
  int prot = PROT_READ | ((access & (FILE_MAP_WRITE | 0x1)) ? PROT_WRITE : 0);
  void* p = ::mmap(nullptr, length, prot, MAP_SHARED, m->fd, 0);
  if (p == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard<std::mutex> g(sim::g_viewsLock);
  sim::views()[p] = length;
  return p;
}

BOOL WINAPI UnmapViewOfFile(LPCVOID address) {
  size_t length = 0;
  {
    std::lock_guard<std::mutex> g(sim::g_viewsLock);
    auto it = sim::views().find(address);
    if (it == sim::views().end()) {
      SetLastError(ERROR_INVALID_ADDRESS);
      return FALSE;
    }
    length = it->second;
    sim::views().erase(it);
  }
  ::munmap(const_cast<void*>(address), length);
  return TRUE;
}

}  // extern "C"
