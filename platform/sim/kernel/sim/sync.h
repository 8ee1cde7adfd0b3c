// Scripting interface of the simulated host's named kernel objects.
//
// Named mutexes and file mappings are files under a namespace directory,
// so processes that share the namespace share the objects. Each process
// starts in a namespace of its own (so parallel test processes never
// collide); a process inherits its parent's namespace through the
// environment variable "KVSIM_OBJECT_NAMESPACE", which is how a test makes a
// child process meet it on the same objects.
#pragma once

#include <string>

#include "sim/world.h"

namespace sim {

// Environment variable that names the namespace (a directory path).
constexpr const char* kObjectNamespaceVariable = "KVSIM_OBJECT_NAMESPACE";

// The directory this process keeps its named objects in.
std::string objectNamespace();

// Current recursion count of this process's hold on the named mutex, 0 when
// no thread of this process owns it.
int mutexHoldCount(const std::string& name);


// Named objects and events: the call fails with the scripted error.
namespace api {
inline constexpr Api CreateEvent{"CreateEvent"};
inline constexpr Api CreateMutexA{"CreateMutexA"};
inline constexpr Api OpenMutexA{"OpenMutexA"};
inline constexpr Api CreateFileMappingA{"CreateFileMappingA"};
inline constexpr Api OpenFileMappingA{"OpenFileMappingA"};
inline constexpr Api MapViewOfFile{"MapViewOfFile"};
}  // namespace api

}  // namespace sim
