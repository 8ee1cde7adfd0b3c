// The "settings" sub-command: the settings page's functions for scripts
// and administrators without a browser. It talks to the printer's device
// directly, one connection per setting, as the page sends one job each.
#include <cstdio>
#include <cstring>
#include <string>

#include "models.h"
#include "settings_cli.h"
#include "settings_web.h"

namespace printerapp {

namespace {

void deviceError(const char* message, void*) { std::fprintf(stderr, "%s\n", message); }

const char* optionOf(int count, cups_option_t* options, const char* a, const char* b) {
  const char* v = cupsGetOption(a, count, options);
  return v ? v : cupsGetOption(b, count, options);
}

bool sendOne(const char* base, const char* uri, const std::string& bytes) {
  pappl_device_t* device = papplDeviceOpen(uri, "settings", deviceError, nullptr);
  if (!device) {
    std::fprintf(stderr, "%s: cannot open %s\n", base, uri);
    return false;
  }
  const bool sent = sendJob(device, bytes);
  papplDeviceClose(device);
  std::printf("%s: %s\n", sent ? "sent" : "not sent", visibleBytes(bytes).c_str());
  return sent;
}

void printReadings(const Readings& r, int driverDpi) {
  const char* none = "(no answer)";
  std::printf("firmware-version: %s\n", r.haveVersion ? r.version.system.c_str() : none);
  std::printf("ipl-version: %s\n", r.haveVersion ? r.version.ipl.c_str() : none);
  std::printf("print-distance: %s\n", r.haveDistance ? (r.distanceMetres + " m").c_str() : none);
  const int dpi = dpiOf(r.resolution);
  if (dpi)
    std::printf("resolution: %d dpi\n", dpi);
  else
    std::printf("resolution: %s\n", none);
  const std::string warning = resolutionWarning(Language::English, r.resolution, driverDpi);
  if (!warning.empty()) std::printf("warning: %s\n", warning.c_str());
  // Shown as received: their format is the printer's own.
  std::printf("maint-reply: %s\n", visibleBytes(r.rawOf(Query::Maintenance)).c_str());
  std::printf("status-reply: %s\n", visibleBytes(r.rawOf(Query::Status)).c_str());
  std::printf("getpg-reply: %s\n", visibleBytes(r.rawOf(Query::PageCounter)).c_str());
  if (r.closed || r.silent || r.garbled())
    std::printf("%s\n", text(Language::English, r.closed   ? Text::ConnectionClosed
                                               : r.silent ? Text::StoppedAnswering
                                                          : Text::AnswersNotUnderstood));
}

}  // namespace

const char kSettingsUsage[] =
    "settings -v DEVICE-URI [-m DRIVER] [-o buzzer=0|1] [-o head-check=0|1] [-o label-stop=0|1|2]\n"
    "         [-o feed-power-on=0|1 -o feed-head-close=0|1] [-o gap-level=1..100] [-o mark-level=1..100]\n"
    "         [-o print=settings|identification|test] [-o factory-reset=confirm] [-o read=all]";

int settingsCommand(const char* base, int count, cups_option_t* options, int, char**, void*) {
  const char* uri = optionOf(count, options, "smi55357-device-uri", "device-uri");
  if (!uri) {
    std::fprintf(stderr, "%s: usage: %s %s\n", base, base, kSettingsUsage);
    return 1;
  }
  const char* driver = optionOf(count, options, "smi55357-driver", "driver");
  const ModelInfo* model = driver ? modelByDriver(driver) : nullptr;
  FormFields given;
  for (int i = 0; i < count; ++i) given.emplace_back(options[i].name, options[i].value ? options[i].value : "");
  const std::vector<FormFields> requests = settingsRequestsOf(given);
  if (requests.empty()) {
    std::fprintf(stderr, "%s: nothing to do: %s %s\n", base, base, kSettingsUsage);
    return 1;
  }
  // Every request is checked before anything is sent.
  std::vector<Request> checked;
  for (const FormFields& form : requests) {
    Request r = requestOf(form);
    if (r.kind == Request::Kind::Refused || r.kind == Request::Kind::Confirm) {
      std::fprintf(stderr, "%s: refused, nothing sent: %s\n", base,
                   r.kind == Request::Kind::Confirm ? "factory-reset needs the value 'confirm'"
                                                    : describeRefusal(Language::English, r).c_str());
      return 1;
    }
    checked.push_back(std::move(r));
  }
  int status = 0;
  for (const Request& r : checked) {
    if (r.kind == Request::Kind::Send) {
      if (!sendOne(base, uri, r.bytes)) status = 1;
      continue;
    }
    pappl_device_t* device = papplDeviceOpen(uri, "settings", deviceError, nullptr);
    if (!device) {
      std::fprintf(stderr, "%s: cannot open %s\n", base, uri);
      status = 1;
      continue;
    }
    DeviceChannel channel(device);
    const Readings readings = readPrinter(channel);
    papplDeviceClose(device);
    printReadings(readings, model ? int(model->profile->resolution.dpiX) : 0);
  }
  return status;
}

}  // namespace printerapp
