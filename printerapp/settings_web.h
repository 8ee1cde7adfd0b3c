// The "Printer settings" page of each printer and the device exchanges it
// shares with the command line.
#pragma once

#include <pappl/pappl.h>

#include <string>

#include "printer_settings.h"

namespace printerapp {

// Adds the page and its link to a printer (PAPPL's printer-create
// callback).
void addSettingsPage(pappl_printer_t* printer, void* data);

// Chinese ("zh") texts for PAPPL's own navigation, buttons and page texts
// around the settings page, as a strings resource of the system.
void addWebStrings(pappl_system_t* system);

// The query channel over a PAPPL device connection.
class DeviceChannel : public Channel {
 public:
  explicit DeviceChannel(pappl_device_t* device) : device_(device) {}
  bool write(std::string_view bytes) override;
  std::string read(bool* closed) override;
  void sleep(int ms) override;

 private:
  pappl_device_t* device_;
};

// Writes bytes as one job on an open device: true when every byte reached
// it.
bool sendJob(pappl_device_t* device, const std::string& bytes);

// The resolution check on the printer: a printer whose resolution is not
// its driver's gets the reason "other", a logged warning and a
// printer-state-changed event carrying the warning.
void applyReadings(pappl_printer_t* printer, const Readings& readings, int driverDpi);

}  // namespace printerapp
