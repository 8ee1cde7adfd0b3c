// A stand-in for the HID link library, loadable on the simulated host as
// "VRDUSBHid.dll", whose printer answers from a script: each read of the
// link returns the script's next step (a chunk of reply bytes, nothing, or
// a failure). The tool's link layer is fuzzed against it, so every reply a
// printer could send, cut anywhere, reaches the reply readers.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <windows.h>

#include <deque>
#include <string>

namespace linkfuzz {

// One answer of the printer to a read of the link: a chunk of reply bytes
// (handed out over several reads when a read asks for fewer), or nothing
// this time.
struct ReadStep {
  bool nothing = true;
  std::string bytes;  // when !nothing: one or more bytes
};
using Answer = std::deque<ReadStep>;

// What the stand-in library saw and what it still has to answer. Each
// write over the link (a command) makes the next of `answers` the reply
// being read, dropping what was left of the one before; with no answer
// left every read finds nothing.
struct ScriptedLibrary {
  std::deque<Answer> answers;
  Answer reply;
  std::string written;    // every byte written over the link, in order
  std::string delivered;  // every byte the reads returned, in order
  size_t beforeLastChunk = 0;  // delivered.size() before the last read that returned bytes
  int trailingNothing = 0;     // reads since then that returned nothing
  bool open = false;
  int token = 0;  // what the last open handed out: the process id
  int opens = 0;
  int readCalls = 0;
};
ScriptedLibrary& library();

// Registers the stand-in under "VRDUSBHid.dll" (after sim::reset()) and
// empties its state.
void registerScriptedLibrary();

// An answer of up to `steps` steps read from the input, chunks of 1 to
// `maxChunk` bytes; fewer steps when the input runs out.
Answer answerFrom(FuzzedDataProvider& in, int steps, size_t maxChunk);

}  // namespace linkfuzz
