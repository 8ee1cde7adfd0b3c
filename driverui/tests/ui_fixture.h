// Shared fixture for the printer interface DLL's tests: the driver tests'
// simulated host (Windows directory, one queue, an open printer handle).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <winddiui.h>

#include "document_modes.h"
#include "driver_fixture.h"

class UiTest : public DriverTest {
 protected:
  void TearDown() override {
    for (HANDLE h : opened_) ClosePrinter(h);
    opened_.clear();
    DriverTest::TearDown();
  }

  // A second handle on the queue, opened with `access` (the spooler hands
  // the device-settings sheet one with PRINTER_ALL_ACCESS when the user may
  // change the queue); closed at the end of the test.
  HANDLE openQueue(DWORD access) {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    HANDLE h = nullptr;
    EXPECT_TRUE(OpenPrinterW(name(), &h, &defaults));
    if (h) opened_.push_back(h);
    return h;
  }

  LPWSTR name() const { return const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(queueName.c_str())); }

  // The device mode DrvDocumentPropertySheets hands out for `in` (merged
  // under DM_IN_BUFFER when not null), through `handle` (null: by name).
  std::vector<BYTE> documentDevMode(const DEVMODEW* in = nullptr, HANDLE handle = nullptr) {
    std::vector<BYTE> out(driver::kDevModeBytes, 0xCD);
    DOCUMENTPROPERTYHEADER h{};
    h.cbSize = sizeof h;
    h.hPrinter = handle;
    h.pszPrinterName = name();
    h.pdmIn = const_cast<DEVMODEW*>(in);
    h.pdmOut = reinterpret_cast<DEVMODEW*>(out.data());
    h.cbOut = DWORD(out.size());
    h.fMode = DM_OUT_BUFFER | (in ? DM_IN_BUFFER : 0);
    EXPECT_EQ(driver::DocumentPropertiesDirect(&h), CPSUI_OK);
    return out;
  }

  static const driver::DriverSettings& asSettings(const std::vector<BYTE>& bytes) {
    return *reinterpret_cast<const driver::DriverSettings*>(bytes.data());
  }

  // The settings the graphics driver builds for a device created with dm.
  driver::DriverSettings driverReads(const std::vector<BYTE>& dm) {
    std::vector<BYTE> copy = dm;
    driver::PrinterDevice* device = enable(reinterpret_cast<DEVMODEW*>(copy.data()));
    EXPECT_NE(device, nullptr);
    driver::DriverSettings s{};
    if (device) {
      s = device->settings;
      DrvDisablePDEV(reinterpret_cast<DHPDEV>(device));
    }
    return s;
  }

  // The 364 device-mode bytes of a settings record.
  static std::vector<BYTE> bytesOf(const driver::DriverSettings& s) {
    const BYTE* p = reinterpret_cast<const BYTE*>(&s);
    return std::vector<BYTE>(p, p + driver::kDevModeBytes);
  }

 private:
  std::vector<HANDLE> opened_;
};
