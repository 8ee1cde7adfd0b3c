// Shared fixture for driver tests: a fresh simulated host with a Windows
// directory, one queue of this model and an open printer handle.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <winddi.h>
#include <winspool.h>

#include "device.h"
#include "label_file.h"
#include "gdi_play.h"
#include "model_profile.h"
#include "printer_properties.h"
#include "settings.h"
#include "sim/engine.h"
#include "sim/profile.h"
#include "sim/spool_driver.h"
#include "sim/spooler.h"
#include "sim/world.h"
#include "tables.h"

inline constexpr bool kIsModelA = driver::kModel.model == driver::ModelId::ModelA;

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::QueueSetup q;
    q.name = queueName;
    q.driver = kIsModelA ? u"Varodyn TR7208" : u"Varodyn KV830";
    setup(q);
    host = std::make_unique<gdiplay::PrinterQueue>(q);
    windowsDir = host->windowsDirectory();
    printer = host->printer();
    ASSERT_NE(printer, nullptr);
  }
  void TearDown() override {
    host.reset();
    printer = nullptr;
    sim::reset();
  }
  // Lets a test adjust the queue before it is added.
  virtual void setup(sim::QueueSetup&) {}

  std::string labelFile() const { return sim::windowsFilePath(driver::kModel.labelFileName); }

  // Writes a label-definition file (UTF-8 INI text).
  void writeLabelFile(const std::string& text) const { sim::writeUtf8File(labelFile(), text); }

  // A stored 364-byte device mode of this driver with default settings and
  // `edit` applied.
  template <class Edit>
  std::vector<BYTE> storedDevMode(Edit edit) const {
    driver::DriverSettings s;
    driver::DefaultSettings(&s, reinterpret_cast<LPCWSTR>(queueName.c_str()));
    s.SettingsSignature = driver::kSettingsSignature;
    edit(s);
    const BYTE* p = reinterpret_cast<const BYTE*>(&s);
    return std::vector<BYTE>(p, p + driver::kStoredDevModeBytes);
  }

  // The "Private DevMode" block with defaults and `edit` applied.
  template <class Edit>
  std::vector<BYTE> privateBlock(Edit edit) const {
    driver::DriverSettings s;
    driver::DefaultSettings(&s, reinterpret_cast<LPCWSTR>(queueName.c_str()));
    edit(s.PrinterData);
    const BYTE* p = reinterpret_cast<const BYTE*>(&s.PrinterData);
    return std::vector<BYTE>(p, p + sizeof(driver::PrinterDataBlock));
  }

  // Creates a device as GDI does for a device context (DrvEnablePDEV with
  // full-size info buffers, DrvCompletePDEV); the test disables it.
  driver::PrinterDevice* enable(DEVMODEW* dm = nullptr) {
    gdiplay::DeviceContext dc;
    const bool created = dc.createDevice(printer, reinterpret_cast<LPCWSTR>(queueName.c_str()), dm);
    gdiInfo = dc.gdiInfo();
    devInfo = dc.devInfo();
    std::copy(dc.patterns(), dc.patterns() + 6, patterns);
    hdev = dc.hdev();
    DHPDEV d = created ? dc.device() : nullptr;
    dc.release();
    return reinterpret_cast<driver::PrinterDevice*>(d);
  }

  std::u16string queueName = u"Label Printer";
  std::u16string windowsDir;
  std::unique_ptr<gdiplay::PrinterQueue> host;
  HANDLE printer = nullptr;
  HDEV hdev = gdiplay::DeviceContext().hdev();
  HSURF patterns[6] = {};
  GDIINFO gdiInfo{};
  DEVINFO devInfo{};
};

inline std::u16string text16(const WCHAR* s) { return s ? std::u16string(s) : std::u16string(); }
