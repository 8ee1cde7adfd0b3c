// The scripted stand-in for the HID link library.
#include "scripted_link_library.h"

#include <algorithm>
#include <cstring>

#include "sim/module.h"

namespace linkfuzz {
namespace {

int WINAPI getVersion(char* buffer, int size) {
  static const char kVersion[] = "1.0.1.0";
  if (!buffer || size < int(sizeof kVersion)) return 0;
  std::memcpy(buffer, kVersion, sizeof kVersion);
  return int(sizeof kVersion) - 1;
}

// The token is the caller's process id, taken once at the open: the link
// layer's reply readers ask whether the link is open on every poll, and a
// system call for the id each time was most of a read mode's run.
int WINAPI openLink() {
  library().open = true;
  ++library().opens;
  library().token = int(GetCurrentProcessId());
  return library().token;
}

int WINAPI closeLink(int token) {
  if (token != library().token || !library().open) return 0;
  library().open = false;
  return 1;
}

int WINAPI isOpened(int token) { return library().open && token == library().token ? 1 : 0; }

int WINAPI readData(int token, unsigned char* buffer, int size) {
  ScriptedLibrary& lib = library();
  ++lib.readCalls;
  if (!isOpened(token) || !buffer || size <= 0 || lib.reply.empty() || lib.reply.front().nothing) {
    if (!lib.reply.empty()) lib.reply.pop_front();
    ++lib.trailingNothing;
    return 0;
  }
  ReadStep& step = lib.reply.front();
  const size_t n = std::min(step.bytes.size(), size_t(size));
  std::memcpy(buffer, step.bytes.data(), n);
  lib.beforeLastChunk = lib.delivered.size();
  lib.delivered.append(step.bytes, 0, n);
  lib.trailingNothing = 0;
  step.bytes.erase(0, n);
  if (step.bytes.empty()) lib.reply.pop_front();
  return int(n);
}

int WINAPI writeData(int token, const unsigned char* bytes, int count) {
  ScriptedLibrary& lib = library();
  if (!isOpened(token) || !bytes || count <= 0) return 0;
  lib.written.append(reinterpret_cast<const char*>(bytes), size_t(count));
  lib.reply.clear();
  if (!lib.answers.empty()) {
    lib.reply = std::move(lib.answers.front());
    lib.answers.pop_front();
  }
  return count;
}

void* WINAPI getHandle(int) { return nullptr; }

}  // namespace

ScriptedLibrary& library() {
  static ScriptedLibrary lib;
  return lib;
}

void registerScriptedLibrary() {
  library() = ScriptedLibrary{};
  sim::ModuleSetup m;
  m.name = "VRDUSBHid.dll";
  m.exports = {{"hidusbGetVersion", sim::asProc(&getVersion)}, {"hidusbOpen", sim::asProc(&openLink)},
               {"hidusbClose", sim::asProc(&closeLink)},       {"hidusbIsOpened", sim::asProc(&isOpened)},
               {"hidusbReadData", sim::asProc(&readData)},     {"hidusbWriteData", sim::asProc(&writeData)},
               {"hidusbGetHandle", sim::asProc(&getHandle)}};
  sim::registerModule(m);
}

Answer answerFrom(FuzzedDataProvider& in, int steps, size_t maxChunk) {
  Answer answer;
  for (int i = 0; i < steps && in.remaining_bytes() > 0; ++i) {
    ReadStep step;
    // Mostly bytes; now and then a read that finds nothing yet.
    step.nothing = in.ConsumeIntegralInRange(0, 3) == 0;
    if (!step.nothing) {
      step.bytes = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<size_t>(1, maxChunk));
      if (step.bytes.empty()) break;
    }
    answer.push_back(std::move(step));
  }
  return answer;
}

}  // namespace linkfuzz
