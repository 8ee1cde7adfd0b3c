#include "settings_web.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "models.h"

namespace printerapp {

namespace {

// What this page last sent to each printer, by printer id: the values it
// shows (never anything read from another printer).
std::mutex g_sentLock;
std::map<int, FormFields> g_sent;

FormFields sentTo(int printerId) {
  std::lock_guard<std::mutex> lock(g_sentLock);
  auto it = g_sent.find(printerId);
  return it == g_sent.end() ? FormFields{} : it->second;
}

void rememberSent(int printerId, const FormFields& values) {
  std::lock_guard<std::mutex> lock(g_sentLock);
  FormFields& shown = g_sent[printerId];
  for (const auto& v : values) {
    bool replaced = false;
    for (auto& s : shown)
      if (s.first == v.first) {
        s.second = v.second;
        replaced = true;
      }
    if (!replaced) shown.push_back(v);
  }
}

struct PageOutcome {
  http_status_t status = HTTP_STATUS_OK;
  bool ok = true;
  std::string message;
  int confirmStep = 0;  // factory reset: the question to ask
  bool haveReadings = false;
  Readings readings;
  std::string warning;
};

class Page {
 public:
  Page(pappl_client_t* client, pappl_printer_t* printer)
      : client_(client), printer_(printer),
        language_(languageOf(httpGetField(papplClientGetHTTP(client), HTTP_FIELD_ACCEPT_LANGUAGE))) {
    papplPrinterGetPath(printer, "settings", path_, sizeof path_);
  }

  bool serve() {
    PageOutcome outcome;
    if (papplClientGetMethod(client_) == HTTP_STATE_POST) {
      const http_status_t auth = papplClientIsAuthorized(client_);
      if (auth != HTTP_STATUS_CONTINUE) {
        papplClientRespond(client_, auth, nullptr, nullptr, 0, 0);
        return true;
      }
      outcome = handlePost();
    }
    show(outcome);
    return true;
  }

 private:
  const char* s(Text id) const { return text(language_, id); }

  PageOutcome handlePost() {
    PageOutcome o;
    cups_option_t* form = nullptr;
    const int count = papplClientGetForm(client_, &form);
    if (!papplClientIsValidForm(client_, count, form)) {
      cupsFreeOptions(count, form);
      return refuse(s(Text::BadToken));
    }
    FormFields fields;
    for (int i = 0; i < count; ++i) fields.emplace_back(form[i].name, form[i].value ? form[i].value : "");
    cupsFreeOptions(count, form);
    const Request request = requestOf(fields);
    switch (request.kind) {
      case Request::Kind::Refused:
        return refuse(describeRefusal(language_, request));
      case Request::Kind::Confirm:
        o.confirmStep = request.step;
        return o;
      case Request::Kind::Send: {
        pappl_device_t* device = papplPrinterOpenDevice(printer_);
        if (!device) return failed(s(Text::Busy));
        const bool sent = sendJob(device, request.bytes);
        papplPrinterCloseDevice(printer_);
        if (!sent) return failed(s(Text::NotSent));
        rememberSent(papplPrinterGetID(printer_), request.shown);
        papplLogPrinter(printer_, PAPPL_LOGLEVEL_INFO, "Settings page sent %s",
                        visibleBytes(request.bytes).c_str());
        o.message = s(request.isPrint ? Text::PrintSent : Text::SettingSent);
        return o;
      }
      case Request::Kind::Read: {
        pappl_device_t* device = papplPrinterOpenDevice(printer_);
        if (!device) {
          // Nothing could be asked: the readings show as unanswered.
          PageOutcome f = failed(s(Text::Busy));
          f.haveReadings = true;
          f.readings.silent = true;
          return f;
        }
        DeviceChannel channel(device);
        o.readings = readPrinter(channel);
        papplPrinterCloseDevice(printer_);
        o.haveReadings = true;
        const ModelInfo* model = modelByDriver(papplPrinterGetDriverName(printer_));
        const int driverDpi = model ? int(model->profile->resolution.dpiX) : 0;
        o.warning = resolutionWarning(language_, o.readings.resolution, driverDpi);
        applyReadings(printer_, o.readings, driverDpi);
        return o;
      }
    }
    return refuse(s(Text::BadRequest));
  }

  static PageOutcome refuse(std::string why) {
    PageOutcome o;
    o.status = HTTP_STATUS_BAD_REQUEST;
    o.ok = false;
    o.message = std::move(why);
    return o;
  }
  static PageOutcome failed(std::string why) {
    PageOutcome o;
    o.ok = false;
    o.message = std::move(why);
    return o;
  }

  void startForm(const char* action) {
    papplClientHTMLStartForm(client_, path_, false);
    papplClientHTMLPrintf(client_, "<input type=\"hidden\" name=\"action\" value=\"%s\">", action);
  }
  void button(const char* id, Text label) {
    papplClientHTMLPrintf(client_, "<input type=\"submit\" id=\"%s\" value=\"%s\">", id, s(label));
  }
  void radio(const char* name, const char* value, Text label, const FormFields& shown) {
    const std::string* v = fieldOf(shown, name);
    papplClientHTMLPrintf(client_,
                          "<label><input type=\"radio\" name=\"%s\" id=\"%s-%s\" value=\"%s\"%s> %s</label> ", name,
                          name, value, value, v && *v == value ? " checked" : "", s(label));
  }
  void checkbox(const char* name, Text label, const FormFields& shown) {
    const std::string* v = fieldOf(shown, name);
    papplClientHTMLPrintf(client_, "<label><input type=\"checkbox\" name=\"%s\" id=\"%s\" value=\"1\"%s> %s</label> ",
                          name, name, v && *v == "1" ? " checked" : "", s(label));
  }
  void level(const char* name, const FormFields& shown) {
    const std::string* v = fieldOf(shown, name);
    papplClientHTMLPrintf(client_,
                          "<label>1 - 100 <input type=\"number\" name=\"%s\" id=\"%s\" min=\"1\" max=\"100\" "
                          "value=\"%s\"></label> ",
                          name, name, v ? v->c_str() : "");
  }

  void section(Text title) { papplClientHTMLPrintf(client_, "<h3>%s</h3>", s(title)); }

  void reading(const char* id, Text label, const std::string& value) {
    papplClientHTMLPrintf(client_, "<tr><th>%s</th><td id=\"%s\">%s</td></tr>", s(label), id, value.c_str());
  }
  std::string rawOrNone(const Readings& r, Query q) {
    return r.rawOf(q).empty() ? std::string("(") + s(Text::NoAnswer) + ")" : visibleBytes(r.rawOf(q));
  }

  void show(const PageOutcome& o) {
    // PAPPL's printer header answers 200 itself; a refusal keeps its own
    // status with the plain header.
    if (o.status == HTTP_STATUS_OK) {
      papplClientHTMLPrinterHeader(client_, printer_, s(Text::PageTitle), 0, nullptr, nullptr);
    } else {
      if (!papplClientRespond(client_, o.status, nullptr, "text/html", 0, 0)) return;
      papplClientHTMLHeader(client_, s(Text::PageTitle), 0);
      plainHeader_ = true;
    }
    papplClientHTMLPuts(client_, "<div class=\"row\"><div class=\"col-12\">");
    // The printer header has shown the title; the plain one has not.
    if (plainHeader_) papplClientHTMLPrintf(client_, "<h1 class=\"title\">%s</h1>", s(Text::PageTitle));
    if (!o.message.empty())
      papplClientHTMLPrintf(client_, "<div class=\"banner\"><p id=\"result\" class=\"%s\">%s</p></div>",
                            o.ok ? "ok" : "error", o.message.c_str());
    if (o.confirmStep) {
      papplClientHTMLPrintf(client_, "<p>%s</p>",
                            s(o.confirmStep == 1 ? Text::FactoryResetAsk : Text::FactoryResetAskAgain));
      startForm("factory-reset");
      papplClientHTMLPrintf(client_, "<input type=\"hidden\" name=\"confirm\" value=\"%d\">", o.confirmStep);
      button(o.confirmStep == 1 ? "factory-reset-yes1" : "factory-reset-yes2", Text::Yes);
      papplClientHTMLPuts(client_, "</form>");
      papplClientHTMLPrintf(client_, "<p><a href=\"%s\">%s</a></p>", path_, s(Text::PageTitle));
      finish();
      return;
    }
    const FormFields shown = sentTo(papplPrinterGetID(printer_));
    papplClientHTMLPrintf(client_, "<p><small>%s</small></p>", s(Text::ShownValuesNote));

    struct Choice {
      const char* value;
      Text label;
    };
    struct RadioSetting {
      const char* action;
      Text title;
      std::vector<Choice> choices;
    };
    const RadioSetting radios[] = {
        {"buzzer", Text::Buzzer, {{"0", Text::BuzzerOn}, {"1", Text::BuzzerOff}}},
        {"head-check", Text::HeadCheck, {{"1", Text::On}, {"0", Text::Off}}},
        {"label-stop", Text::LabelStop,
         {{"0", Text::LabelStopOff}, {"2", Text::LabelStopManual}, {"1", Text::LabelStopAuto}}},
    };
    for (const RadioSetting& r : radios) {
      section(r.title);
      startForm(r.action);
      for (const Choice& c : r.choices) radio(r.action, c.value, c.label, shown);
      button((std::string("set-") + r.action).c_str(), Text::Set);
      papplClientHTMLPuts(client_, "</form>");
    }

    section(Text::Feed);
    startForm("feed");
    checkbox("feed-power-on", Text::FeedAtPowerOn, shown);
    checkbox("feed-head-close", Text::FeedAtHeadClose, shown);
    button("set-feed", Text::Set);
    papplClientHTMLPuts(client_, "</form>");

    for (const auto& l : {std::pair<const char*, Text>{"gap-level", Text::GapLevel}, {"mark-level", Text::MarkLevel}}) {
      section(l.second);
      startForm(l.first);
      level(l.first, shown);
      button((std::string("set-") + l.first).c_str(), Text::Set);
      papplClientHTMLPuts(client_, "</form>");
    }

    papplClientHTMLPuts(client_, "<h3></h3>");
    for (const auto& b : {std::pair<const char*, Text>{"print-settings", Text::PrintSettings},
                          {"print-identification", Text::PrintIdentification},
                          {"print-test", Text::PrintTest},
                          {"factory-reset", Text::FactoryReset}}) {
      startForm(b.first);
      button(b.first, b.second);
      papplClientHTMLPuts(client_, "</form>");
    }

    section(Text::ReadPrinter);
    startForm("read");
    button("read-printer", Text::ReadPrinter);
    papplClientHTMLPuts(client_, "</form>");
    if (o.haveReadings) showReadings(o);
    finish();
  }

  void showReadings(const PageOutcome& o) {
    const Readings& r = o.readings;
    const std::string none = std::string("(") + s(Text::NoAnswer) + ")";
    if (!o.warning.empty()) papplClientHTMLPrintf(client_, "<p id=\"resolution-warning\" class=\"error\">%s</p>",
                                                  o.warning.c_str());
    if (r.silent || r.closed || r.garbled())
      papplClientHTMLPrintf(client_, "<p id=\"read-failure\" class=\"error\">%s</p>",
                            s(r.closed     ? Text::ConnectionClosed
                              : r.silent ? Text::StoppedAnswering
                                         : Text::AnswersNotUnderstood));
    papplClientHTMLPuts(client_, "<table class=\"form\">");
    reading("firmware-version", Text::FirmwareVersion, r.haveVersion ? r.version.system : none);
    reading("ipl-version", Text::IplVersion, r.haveVersion ? r.version.ipl : none);
    reading("print-distance", Text::PrintDistance, r.haveDistance ? r.distanceMetres : none);
    const int dpi = dpiOf(r.resolution);
    reading("resolution", Text::Resolution,
            dpi ? std::string(s(dpi == 300 ? Text::Printer300 : Text::Printer203)) : rawOrNone(r, Query::Resolution));
    papplClientHTMLPuts(client_, "</table>");
    papplClientHTMLPrintf(client_, "<p>%s</p><table class=\"form\">", s(Text::RawNote));
    reading("maint-reply", Text::MaintReply, rawOrNone(r, Query::Maintenance));
    reading("status-reply", Text::StatusReply, rawOrNone(r, Query::Status));
    reading("getpg-reply", Text::PageCounterReply, rawOrNone(r, Query::PageCounter));
    papplClientHTMLPuts(client_, "</table>");
  }

  void finish() {
    papplClientHTMLPuts(client_, "</div></div>");
    if (plainHeader_)
      papplClientHTMLFooter(client_);
    else
      papplClientHTMLPrinterFooter(client_);
  }

  pappl_client_t* client_;
  pappl_printer_t* printer_;
  Language language_;
  char path_[256] = {};
  bool plainHeader_ = false;
};

// The page's data: the printer's id, looked up again for every request so
// a deleted printer's page answers 404.
bool settingsResource(pappl_client_t* client, void* data) {
  const int id = int(reinterpret_cast<intptr_t>(data));
  pappl_printer_t* printer = papplSystemFindPrinter(papplClientGetSystem(client), nullptr, id, nullptr);
  if (!printer || papplPrinterIsDeleted(printer)) {
    papplClientRespond(client, HTTP_STATUS_NOT_FOUND, nullptr, nullptr, 0, 0);
    return true;
  }
  Page page(client, printer);
  return page.serve();
}

}  // namespace

void addSettingsPage(pappl_printer_t* printer, void*) {
  char path[256];
  papplPrinterGetPath(printer, "settings", path, sizeof path);
  papplSystemAddResourceCallback(papplPrinterGetSystem(printer), path, "text/html", settingsResource,
                                 reinterpret_cast<void*>(intptr_t(papplPrinterGetID(printer))));
  papplPrinterAddLink(printer, "Printer settings", path, pappl_loptions_t(PAPPL_LOPTIONS_NAVIGATION | PAPPL_LOPTIONS_STATUS));
}

// PAPPL 1.3.1 keeps no Chinese texts of its own; a strings resource added
// for a language is used for every page of a client that prefers it. Keys
// are PAPPL's English texts (values "printer-state.N" for the state).
const char kChineseWebStrings[] = R"("Media" = "标签纸";
"Printing Defaults" = "打印默认设置";
"Printer settings" = "打印机设置";
"Varodyn label printers" = "Varodyn 标签打印机";
"Status" = "状态";
"Jobs" = "作业";
"Configuration" = "配置";
"Change" = "更改";
"Name" = "名称";
"Location" = "位置";
"Organization" = "组织";
"Contact" = "联系人";
"%d jobs" = "%d 个作业";
"Version %s" = "版本 %s";
"Printers" = "打印机";
"Add Printer" = "添加打印机";
"Delete" = "删除";
"default printer" = "默认打印机";
"Not set" = "未设置";
"No jobs in history." = "无历史作业。";
"Delete Printer" = "删除打印机";
"Hold New Jobs" = "暂缓新作业";
"Release Held New Jobs" = "释放暂缓的新作业";
"Identify Printer" = "识别打印机";
"Print Test Page" = "打印测试页";
"Pause Printing" = "暂停打印";
"Set as Default" = "设为默认打印机";
"Resume Printing" = "恢复打印";
"printer-state.3" = "空闲";
"printer-state.4" = "打印中";
"printer-state.5" = "已停止";
)";

void addWebStrings(pappl_system_t* system) {
  papplSystemAddStringsData(system, "/zh.strings", "zh", kChineseWebStrings);
}

bool DeviceChannel::write(std::string_view bytes) {
  const ssize_t n = papplDeviceWrite(device_, bytes.data(), bytes.size());
  papplDeviceFlush(device_);
  return n >= 0 && size_t(n) == bytes.size();
}

std::string DeviceChannel::read(bool* closed) {
  // One read, as the language monitor reads once after its wait: PAPPL's
  // socket read waits up to 10 s for the first byte and returns what has
  // arrived, so a further read for "anything more" would cost those 10 s
  // whenever the reply was whole.
  char buffer[4096];
  const ssize_t n = papplDeviceRead(device_, buffer, sizeof buffer);
  if (n == 0) *closed = true;
  return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

void DeviceChannel::sleep(int ms) { usleep(useconds_t(ms) * 1000); }

bool sendJob(pappl_device_t* device, const std::string& bytes) {
  pappl_devmetrics_t before{};
  papplDeviceGetMetrics(device, &before);
  const ssize_t n = papplDeviceWrite(device, bytes.data(), bytes.size());
  papplDeviceFlush(device);
  pappl_devmetrics_t after{};
  papplDeviceGetMetrics(device, &after);
  return n >= 0 && size_t(n) == bytes.size() && after.write_bytes - before.write_bytes == bytes.size();
}

void applyReadings(pappl_printer_t* printer, const Readings& readings, int driverDpi) {
  const std::string warning = resolutionWarning(Language::English, readings.resolution, driverDpi);
  if (!warning.empty()) {
    papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN, "%s", warning.c_str());
    papplPrinterSetReasons(printer, PAPPL_PREASON_OTHER, PAPPL_PREASON_NONE);
    papplSystemAddEvent(papplPrinterGetSystem(printer), printer, nullptr, PAPPL_EVENT_PRINTER_STATE_CHANGED, "%s",
                        warning.c_str());
  } else if (readings.resolution != printercmd::Resolution::Unknown) {
    papplPrinterSetReasons(printer, PAPPL_PREASON_NONE, PAPPL_PREASON_OTHER);
  }
}

}  // namespace printerapp
