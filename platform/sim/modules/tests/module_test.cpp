// Loadable modules of the simulated host.
#include <gtest/gtest.h>
#include <windows.h>

#include "sim/module.h"
#include "sim/world.h"

namespace {

int g_attached = 0;
int g_detached = 0;
BOOL countingEntry(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) ++g_attached;
  if (reason == DLL_PROCESS_DETACH) ++g_detached;
  return TRUE;
}
BOOL refusingEntry(HINSTANCE, DWORD, LPVOID) { return FALSE; }
int WINAPI answer() { return 42; }

class Module : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::reset();
    g_attached = g_detached = 0;
  }
};

TEST_F(Module, HidDllResolvesTheHidServices) {
  HMODULE hid = LoadLibraryA("HID.DLL");
  ASSERT_NE(hid, nullptr);
  for (const char* name :
       {"HidD_GetHidGuid", "HidD_GetAttributes", "HidD_GetFeature", "HidD_SetFeature", "HidD_GetProductString"})
    EXPECT_NE(GetProcAddress(hid, name), nullptr) << name;
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(hid, "HidD_Missing"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(LoadLibraryA("c:\\windows\\system32\\hid"), hid);  // same module, second reference
  EXPECT_EQ(sim::moduleLoadCount("hid.dll"), 2);
  EXPECT_TRUE(FreeLibrary(hid));
  EXPECT_TRUE(FreeLibrary(hid));
  EXPECT_FALSE(FreeLibrary(hid));
  EXPECT_EQ(GetProcAddress(hid, "HidD_GetFeature"), nullptr);
}

TEST_F(Module, RegisteredModuleSeesAttachAndDetachOnce) {
  ASSERT_TRUE(sim::registerModule({"VRDUSBHid.dll", {{"answer", sim::asProc(&answer)}}, countingEntry}));
  HMODULE a = LoadLibraryA("vrdusbhid.dll");
  HMODULE b = LoadLibraryW(u"VRDUSBHid.dll");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_EQ(g_attached, 1);
  EXPECT_FALSE(sim::registerModule({"VRDUSBHid.dll", {}, nullptr}));  // loaded: not replaced
  auto fn = reinterpret_cast<int(WINAPI*)()>(reinterpret_cast<void (*)()>(GetProcAddress(a, "answer")));
  ASSERT_NE(fn, nullptr);
  EXPECT_EQ(fn(), 42);
  FreeLibrary(a);
  EXPECT_EQ(g_detached, 0);
  FreeLibrary(b);
  EXPECT_EQ(g_detached, 1);
  EXPECT_TRUE(sim::unregisterModule("VRDUSBHid"));
  EXPECT_EQ(LoadLibraryA("VRDUSBHid.dll"), nullptr);
}

TEST_F(Module, LoadFailures) {
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("nothere.dll"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));

  ASSERT_TRUE(sim::registerModule({"refuses.dll", {}, refusingEntry}));
  EXPECT_EQ(LoadLibraryA("refuses.dll"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_DLL_INIT_FAILED));
  EXPECT_EQ(sim::moduleLoadCount("refuses.dll"), 0);

  sim::failNth(sim::api::LoadLibraryA, 1, ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(LoadLibraryA("HID.DLL"), nullptr);
  HMODULE hid = LoadLibraryA("HID.DLL");
  EXPECT_NE(hid, nullptr);
  FreeLibrary(hid);
}

TEST_F(Module, ResetForgetsTestModulesAndRestoresHidDll) {
  ASSERT_TRUE(sim::registerModule({"HID.DLL", {}, nullptr}));
  ASSERT_TRUE(sim::registerModule({"extra.dll", {}, nullptr}));
  sim::reset();
  EXPECT_EQ(LoadLibraryA("extra.dll"), nullptr);
  HMODULE hid = LoadLibraryA("HID.DLL");
  ASSERT_NE(hid, nullptr);
  EXPECT_NE(GetProcAddress(hid, "HidD_GetFeature"), nullptr);
  FreeLibrary(hid);
}

}  // namespace
