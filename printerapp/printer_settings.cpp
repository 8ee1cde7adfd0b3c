#include "printer_settings.h"

#include <cstdio>
#include <cstring>

namespace printerapp {

namespace {

// The Chinese texts are the configuration tool's own wherever it has one.
struct TextRow {
  Text id;
  const char* english;
  const char* chinese;
};
const TextRow kTexts[] = {
    {Text::PageTitle, "Printer settings", "打印机设置"},
    {Text::Buzzer, "Buzzer", "打印机响铃设置"},
    {Text::BuzzerOn, "Sounds", "响铃"},
    {Text::BuzzerOff, "Silent", "不响铃"},
    {Text::HeadCheck, "Automatic print-head check", "打印头自动检测"},
    {Text::On, "On", "打开"},
    {Text::Off, "Off", "关闭"},
    {Text::LabelStop, "Label stop-position detection (die-cut labels only)", "测纸功能(仅对模切纸有效)"},
    {Text::LabelStopOff, "Off", "关闭"},
    {Text::LabelStopManual, "Manual (hold the feed key)", "手动(长按送纸键)"},
    {Text::LabelStopAuto, "Automatic", "自动"},
    {Text::Feed, "Automatic feed", "自动送纸"},
    {Text::FeedAtPowerOn, "Feed at power-on", "开机送纸"},
    {Text::FeedAtHeadClose, "Feed when the head is closed", "关闭打印头送纸"},
    {Text::GapLevel, "Gap (transmissive) sensor level, 1 - 100", "透光传感器 1 - 100"},
    {Text::MarkLevel, "Black mark sensor level, 1 - 100", "黑标传感器 1 - 100"},
    {Text::Set, "Set", "设置"},
    {Text::PrintSettings, "Print all settings", "打印所有设置"},
    {Text::PrintIdentification, "Print identification label", "打印识别标签"},
    {Text::PrintTest, "Print test label", "打印测试标签"},
    {Text::FactoryReset, "Restore factory settings", "恢复出厂设置"},
    {Text::FactoryResetAsk, "Restore the factory values? This changes the printer's current settings.",
     "是否恢复出厂值?恢复出厂设置将修改当前打印机设定!"},
    {Text::FactoryResetAskAgain, "Please confirm once more: restore the factory settings?",
     "请再次确认是否恢复出厂设置!"},
    {Text::Yes, "Yes", "是"},
    {Text::ReadPrinter, "Read from the printer", "获取打印机信息"},
    {Text::FirmwareVersion, "Firmware (System)", "System"},
    {Text::IplVersion, "IPL", "IPL"},
    {Text::PrintDistance, "Printed media distance (m)", "打印距离 (M)"},
    {Text::Resolution, "Resolution", "分辨率"},
    {Text::MaintReply, "MAINT reply", "MAINT 回复"},
    {Text::StatusReply, "ESC STATUS reply", "ESC STATUS 回复"},
    {Text::PageCounterReply, "ESC GETPG reply", "ESC GETPG 回复"},
    {Text::RawNote, "These replies are shown as the printer sent them; their format is the printer's own and is not "
                    "interpreted here.",
     "以下回复按打印机发送的原样显示，其格式为打印机自有格式，此处不作解释。"},
    {Text::SettingSent, "Setting sent.", "设置发送成功!"},
    {Text::PrintSent, "Sent.", "发送成功!"},
    {Text::NotSent, "Not sent: the printer could not be reached.", "设置发送失败!"},
    {Text::NoAnswer, "no answer", "无回复"},
    {Text::Printer203, "the printer is 200 dpi (8 dots/mm)", "打印机为 200dpi"},
    {Text::Printer300, "the printer is 300 dpi (12 dots/mm)", "打印机为 300dpi"},
    {Text::ResolutionMismatch, "The printer's resolution does not match its driver: ",
     "打印机分辨率与驱动程序不符: "},
    {Text::StoppedAnswering, "The printer did not answer; the queries after it were not sent.",
     "打印机无回复; 其后的查询未发送。"},
    {Text::ConnectionClosed, "The printer closed the connection; the queries after it were not sent.",
     "打印机关闭了连接; 其后的查询未发送。"},
    {Text::AnswersNotUnderstood, "The printer answered, but none of its answers could be read.",
     "打印机有回复, 但无法读取其内容。"},
    {Text::OutOfRange, "out of range", "超出范围"},
    {Text::NotANumber, "not a whole number", "不是整数"},
    {Text::BadRequest, "Unknown request: nothing was sent.", "未知请求: 未发送。"},
    {Text::BadToken, "The form is not valid (missing or stale form token): nothing was sent.",
     "表单无效(缺少或过期的表单令牌): 未发送。"},
    {Text::Busy, "The printer is busy or cannot be opened: nothing was sent.", "打印机忙或无法打开: 未发送。"},
    {Text::ShownValuesNote, "Values shown are the ones last sent from this page, not read back from the printer.",
     "显示的值为本页最后发送的值，并非从打印机读回。"},
};
static_assert(sizeof kTexts / sizeof kTexts[0] == size_t(Text::Count_), "one row per text");

// A whole decimal number within int: digits only, an optional minus.
bool parseWhole(const std::string& s, int* out) {
  if (s.empty() || s.size() > 10) return false;
  size_t i = s[0] == '-' ? 1 : 0;
  if (i == s.size()) return false;
  long long v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  *out = int(s[0] == '-' ? -v : v);
  return true;
}

Request refused(Text why, std::string field = {}, int low = 0, int high = 0) {
  Request r;
  r.kind = Request::Kind::Refused;
  r.why = why;
  r.field = std::move(field);
  r.low = low;
  r.high = high;
  return r;
}

Request send(std::string bytes, bool isPrint = false) {
  Request r;
  r.kind = Request::Kind::Send;
  r.bytes = std::move(bytes);
  r.isPrint = isPrint;
  return r;
}

// A field that must be a whole number within low..high.
bool numberField(const FormFields& form, const char* name, int low, int high, int* value, Request* refusal) {
  const std::string* text = fieldOf(form, name);
  if (!text || !parseWhole(*text, value)) {
    *refusal = refused(Text::NotANumber, name, low, high);
    return false;
  }
  if (*value < low || *value > high) {
    *refusal = refused(Text::OutOfRange, name, low, high);
    return false;
  }
  return true;
}

// A checkbox: absent is 0, "1" (or the browser's "on") is 1.
bool checkboxField(const FormFields& form, const char* name, int* value, Request* refusal) {
  const std::string* text = fieldOf(form, name);
  if (!text) {
    *value = 0;
    return true;
  }
  if (*text == "1" || *text == "on") {
    *value = 1;
    return true;
  }
  if (*text == "0") {
    *value = 0;
    return true;
  }
  *refusal = refused(Text::OutOfRange, name, 0, 1);
  return false;
}

// A setting of one number: its field, range and the command builder.
struct NumberSetting {
  const char* action;
  int low, high;
  std::string (*build)(int);
};
const NumberSetting kNumberSettings[] = {
    {"buzzer", 0, 1, printercmd::buzzer},
    {"head-check", 0, 1, printercmd::autoHeadCheck},
    {"label-stop", 0, 2, printercmd::labelStop},
    {"gap-level", 1, 100, printercmd::gapSensorLevel},
    {"mark-level", 1, 100, printercmd::markSensorLevel},
};

struct PrintButton {
  const char* action;
  std::string_view command;
};
const PrintButton kPrintButtons[] = {
    {"print-settings", printercmd::kPrintSettings},
    {"print-identification", printercmd::kPrintIdentification},
    {"print-test", printercmd::kPrintTestLabel},
};

}  // namespace

Language languageOf(const char* acceptLanguage) {
  if (!acceptLanguage) return Language::English;
  while (*acceptLanguage == ' ') ++acceptLanguage;
  return (acceptLanguage[0] == 'z' || acceptLanguage[0] == 'Z') &&
                 (acceptLanguage[1] == 'h' || acceptLanguage[1] == 'H')
             ? Language::Chinese
             : Language::English;
}

const char* text(Language language, Text id) {
  for (const TextRow& row : kTexts)
    if (row.id == id) return language == Language::Chinese ? row.chinese : row.english;
  return "";
}

const std::string* fieldOf(const FormFields& form, std::string_view name) {
  for (const auto& f : form)
    if (f.first == name) return &f.second;
  return nullptr;
}

Request requestOf(const FormFields& form) {
  const std::string* action = fieldOf(form, "action");
  if (!action) return refused(Text::BadRequest);
  for (const NumberSetting& s : kNumberSettings) {
    if (*action != s.action) continue;
    int value = 0;
    Request refusal;
    if (!numberField(form, s.action, s.low, s.high, &value, &refusal)) return refusal;
    Request r = send(s.build(value));
    r.shown = {{s.action, std::to_string(value)}};
    return r;
  }
  if (*action == "feed") {
    int atPowerOn = 0, onHeadClose = 0;
    Request refusal;
    if (!checkboxField(form, "feed-power-on", &atPowerOn, &refusal) ||
        !checkboxField(form, "feed-head-close", &onHeadClose, &refusal))
      return refusal;
    Request r = send(printercmd::feed(atPowerOn, onHeadClose));
    r.shown = {{"feed-power-on", std::to_string(atPowerOn)}, {"feed-head-close", std::to_string(onHeadClose)}};
    return r;
  }
  for (const PrintButton& b : kPrintButtons)
    if (*action == b.action) return send(std::string(b.command), true);
  if (*action == "factory-reset") {
    // Asked twice, as the configuration tool asks: only the second "yes"
    // sends.
    const std::string* confirm = fieldOf(form, "confirm");
    int step = 0;
    if (confirm && (!parseWhole(*confirm, &step) || step < 1 || step > 2)) return refused(Text::BadRequest);
    if (step == 2) return send(std::string(printercmd::kFactoryReset));
    Request r;
    r.kind = Request::Kind::Confirm;
    r.step = step + 1;
    return r;
  }
  if (*action == "read") {
    Request r;
    r.kind = Request::Kind::Read;
    return r;
  }
  return refused(Text::BadRequest);
}

std::vector<FormFields> settingsRequestsOf(const FormFields& options) {
  std::vector<FormFields> requests;
  for (const NumberSetting& s : kNumberSettings)
    if (const std::string* v = fieldOf(options, s.action)) requests.push_back({{"action", s.action}, {s.action, *v}});
  const std::string* atPowerOn = fieldOf(options, "feed-power-on");
  const std::string* onHeadClose = fieldOf(options, "feed-head-close");
  if (atPowerOn || onHeadClose) {
    FormFields feed = {{"action", "feed"}};
    if (atPowerOn) feed.emplace_back("feed-power-on", *atPowerOn);
    if (onHeadClose) feed.emplace_back("feed-head-close", *onHeadClose);
    requests.push_back(feed);
  }
  if (const std::string* print = fieldOf(options, "print"))
    requests.push_back({{"action", "print-" + *print}});
  if (const std::string* reset = fieldOf(options, "factory-reset")) {
    FormFields form = {{"action", "factory-reset"}};
    if (*reset == "confirm") form.emplace_back("confirm", "2");
    requests.push_back(form);
  }
  if (fieldOf(options, "read")) requests.push_back({{"action", "read"}});
  return requests;
}

std::string describeRefusal(Language language, const Request& request) {
  if (request.field.empty()) return text(language, request.why);
  char range[64];
  std::snprintf(range, sizeof range, " (%d..%d)", request.low, request.high);
  return request.field + ": " + text(language, request.why) + range;
}

const std::vector<QueryStep>& querySteps() {
  static const std::vector<QueryStep> steps = {
      {Query::Version, printercmd::kVersion, 120},       {Query::DefInfo, printercmd::kDefInfo, 480},
      {Query::Resolution, printercmd::kResolution, 120}, {Query::Maintenance, printercmd::kMaintenance, 600},
      {Query::Status, printercmd::kStatus, 120},         {Query::PageCounter, printercmd::kPageCounter, 120},
  };
  return steps;
}

Readings readPrinter(Channel& channel) {
  Readings r;
  for (const QueryStep& step : querySteps()) {
    if (!channel.write(step.command)) break;
    r.written[size_t(step.query)] = true;
    channel.sleep(step.waitMs);
    r.raw[size_t(step.query)] = channel.read(&r.closed);
    if (r.closed) break;
    if (r.raw[size_t(step.query)].empty()) {
      r.silent = true;
      break;
    }
  }
  if (printercmd::parseVersion(r.rawOf(Query::Version), &r.version) >= 3) r.haveVersion = true;
  printercmd::DefInfo def{};
  if (printercmd::parseDefInfo(r.rawOf(Query::DefInfo), &def) == printercmd::kDefInfoFields) {
    r.haveDistance = true;
    r.distanceMetres = printercmd::formatPrintDistance(def.printDistanceMm());
  }
  r.resolution = printercmd::classifyResolution(r.rawOf(Query::Resolution));
  return r;
}

int dpiOf(printercmd::Resolution resolution) {
  switch (resolution) {
    case printercmd::Resolution::Dots8PerMm:
      return 203;
    case printercmd::Resolution::Dots12PerMm:
      return 300;
    default:
      return 0;
  }
}

std::string resolutionWarning(Language language, printercmd::Resolution printer, int driverDpi) {
  if (printer == printercmd::Resolution::Unknown) return {};
  // The 300 dpi model's profile says 299 x 304: the nearer of the two.
  const bool driverIs300 = driverDpi >= 250;
  const bool printerIs300 = printer == printercmd::Resolution::Dots12PerMm;
  if (driverIs300 == printerIs300) return {};
  char driver[96];
  std::snprintf(driver, sizeof driver, language == Language::Chinese ? ", 驱动程序为 %d dpi" : ", its driver is %d dpi",
                driverDpi);
  return std::string(text(language, Text::ResolutionMismatch)) +
         text(language, printerIs300 ? Text::Printer300 : Text::Printer203) + driver;
}

std::string visibleBytes(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\\')
      out += "\\\\";
    else if (c >= 0x20 && c < 0x7f)
      out += char(c);
    else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

}  // namespace printerapp
