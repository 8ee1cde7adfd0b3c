// Simulated HID devices: enumeration, device files, HidD_* services and
// device-change notifications.
#include <gtest/gtest.h>
#include <windows.h>

#include <dbt.h>
#include <hidsdi.h>
#include <setupapi.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/hid.h"
#include "sim/world.h"

namespace {

// Records output reports and answers feature reports with a counter.
class Recorder : public sim::HidBackend {
 public:
  bool outputReport(const BYTE* report, size_t size) override {
    outputs.emplace_back(report, report + size);
    return true;
  }
  bool featureReport(BYTE* report, size_t size) override {
    report[size - 1] = BYTE(++features);
    return true;
  }
  std::vector<std::vector<BYTE>> outputs;
  int features = 0;
};

std::vector<std::u16string> enumerate() {
  GUID guid;
  HidD_GetHidGuid(&guid);
  std::vector<std::u16string> paths;
  HDEVINFO set = SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return paths;
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &guid, i, &data); ++i) {
    DWORD needed = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &needed, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> buf(needed);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buf.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &data, detail, needed - 1, nullptr, nullptr));
    if (SetupDiGetDeviceInterfaceDetailW(set, &data, detail, needed, nullptr, nullptr))
      paths.emplace_back(detail->DevicePath);
  }
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_MORE_ITEMS));
  SetupDiDestroyDeviceInfoList(set);
  return paths;
}

HANDLE open(const std::u16string& path) {
  return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

class Hid : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::reset();
    printer = std::make_shared<Recorder>();
    id = sim::addHidDevice({0x0471, 0x0710, 0x0100, u"Printer", u"", 65, 65, 65, printer});
  }
  std::shared_ptr<Recorder> printer;
  sim::HidDeviceId id = 0;
};

TEST_F(Hid, EnumeratesPresentDevicesWithTheirPaths) {
  sim::HidDeviceId mouse = sim::addHidDevice({0x046d, 0xc077, 0x0100, u"Mouse", u"\\\\?\\hid#mouse", 65, 65, 65, nullptr});
  EXPECT_EQ(enumerate(), (std::vector<std::u16string>{sim::hidPath(id), u"\\\\?\\hid#mouse"}));
  sim::unplugHid(mouse);
  EXPECT_EQ(enumerate(), std::vector<std::u16string>{sim::hidPath(id)});

  GUID other = sim::hidInterfaceGuid();
  other.Data1 ^= 1;
  HDEVINFO set = SetupDiGetClassDevsW(&other, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &other, 0, &data));
  SetupDiDestroyDeviceInfoList(set);

  sim::failNth(sim::api::SetupDiGetClassDevsW, 1, ERROR_GEN_FAILURE);
  EXPECT_TRUE(enumerate().empty());
}

TEST_F(Hid, DeviceFileCarriesReportsAndAttributes) {
  HANDLE h = open(sim::hidPath(id));
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(sim::openHidHandles(id), 1);
  HIDD_ATTRIBUTES attr{};
  ASSERT_TRUE(HidD_GetAttributes(h, &attr));
  EXPECT_EQ(attr.Size, sizeof attr);
  EXPECT_EQ(attr.VendorID, 0x0471);
  EXPECT_EQ(attr.ProductID, 0x0710);

  BYTE report[65] = {0, 3, 'a', 'b', 'c'};
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(h, report, sizeof report, &done, nullptr));
  EXPECT_EQ(done, 65u);
  EXPECT_FALSE(WriteFile(h, report, 64, &done, nullptr));  // one whole report per write
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_USER_BUFFER));
  ASSERT_EQ(printer->outputs.size(), 1u);
  EXPECT_EQ(printer->outputs[0], std::vector<BYTE>(report, report + 65));

  BYTE feature[65] = {};
  ASSERT_TRUE(HidD_GetFeature(h, feature, sizeof feature));
  EXPECT_EQ(feature[64], 1);
  EXPECT_FALSE(HidD_GetFeature(h, feature, 64));
  sim::failNth(sim::api::HidD_GetFeature, 1, ERROR_GEN_FAILURE);
  EXPECT_FALSE(HidD_GetFeature(h, feature, sizeof feature));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_GEN_FAILURE));

  WCHAR product[16];
  ASSERT_TRUE(HidD_GetProductString(h, product, sizeof product));
  EXPECT_EQ(std::u16string(product), u"Printer");

  CloseHandle(h);
  EXPECT_EQ(sim::openHidHandles(id), 0);
  EXPECT_EQ(open(u"\\\\?\\hid#nothing"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

// Window procedure that records the device-change broadcasts it receives.
struct Seen {
  WPARAM event;
  std::u16string name;
};
std::vector<Seen> g_seen;
LRESULT CALLBACK notifyProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DEVICECHANGE) {
    auto* b = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(lp);
    g_seen.push_back({wp, b->dbcc_name});
    return TRUE;
  }
  return DefWindowProcW(w, msg, wp, lp);
}

TEST_F(Hid, UnplugKillsOpenHandlesAndIsBroadcast) {
  g_seen.clear();
  WNDCLASSW wc{};
  wc.lpfnWndProc = notifyProc;
  wc.lpszClassName = u"HidTestWindow";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND w = CreateWindowExW(0, u"HidTestWindow", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = sim::hidInterfaceGuid();
  HDEVNOTIFY n = RegisterDeviceNotificationW(w, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  ASSERT_NE(n, nullptr);

  HANDLE h = open(sim::hidPath(id));
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  sim::unplugHid(id);
  BYTE report[65] = {};
  DWORD done = 0;
  EXPECT_FALSE(WriteFile(h, report, sizeof report, &done, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_FALSE(HidD_GetFeature(h, report, sizeof report));
  EXPECT_EQ(open(sim::hidPath(id)), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(enumerate().empty());

  sim::replugHid(id);
  EXPECT_FALSE(HidD_GetFeature(h, report, sizeof report));  // the old handle stays dead
  HANDLE fresh = open(sim::hidPath(id));
  ASSERT_NE(fresh, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(HidD_GetFeature(fresh, report, sizeof report));

  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].event, WPARAM(DBT_DEVICEREMOVECOMPLETE));
  EXPECT_EQ(g_seen[1].event, WPARAM(DBT_DEVICEARRIVAL));
  EXPECT_EQ(g_seen[0].name, sim::hidPath(id));

  EXPECT_TRUE(DestroyWindow(w));  // drops the registration with the window
  EXPECT_FALSE(UnregisterDeviceNotification(n));
  sim::unplugHid(id);
  EXPECT_EQ(g_seen.size(), 2u);
  EXPECT_TRUE(UnregisterClassW(u"HidTestWindow", nullptr));
  CloseHandle(h);
  CloseHandle(fresh);
}

}  // namespace
