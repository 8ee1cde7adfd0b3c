// The printer's query and setting commands (see printer_commands.h).
#include "printer_commands.h"

#include <climits>

namespace printercmd {
namespace {

// Formats a template whose "%d" fields take the given values, then appends
// CR LF. Empty when any value is negative.
std::string build(std::string_view tmpl, std::initializer_list<int> values) {
  std::string out;
  auto v = values.begin();
  for (size_t i = 0; i < tmpl.size(); ++i) {
    if (tmpl[i] == '%' && i + 1 < tmpl.size() && tmpl[i + 1] == 'd') {
      if (v == values.end() || *v < 0) return std::string();
      out += std::to_string(*v++);
      ++i;
    } else {
      out += tmpl[i];
    }
  }
  return out + "\r\n";
}

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One "%d" or "%x" conversion at text[*pos]; false when no number is there
// or it does not fit in an int (unsigned for hex).
bool scanOne(std::string_view text, size_t* pos, bool hex, int* value) {
  size_t p = *pos;
  while (p < text.size() && isSpace(text[p])) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
  int base = hex ? 16 : 10;
  if (hex && p + 2 < text.size() && text[p] == '0' && (text[p + 1] | 0x20) == 'x' && hexValue(text[p + 2]) >= 0)
    p += 2;
  long long acc = 0;
  size_t start = p;
  const long long limit = hex ? 0xFFFFFFFFLL : (negative ? -(long long)INT_MIN : INT_MAX);
  while (p < text.size()) {
    int d = hexValue(text[p]);
    if (d < 0 || d >= base) break;
    acc = acc * base + d;
    if (acc > limit) return false;
    ++p;
  }
  if (p == start) return false;
  if (negative) acc = -acc;
  *value = hex ? int(uint32_t(acc)) : int(acc);
  *pos = p;
  return true;
}

template <class Fill>
int acceptExactly(std::string_view reply, int want, int firstHex, Fill fill) {
  int values[32];
  int n = scanIntegers(trim(reply), values, 32, firstHex);
  if (n == want) fill(values);
  return n;
}

}  // namespace

std::string usbClass(int cls) { return build("USBS CLS=%d", {cls}); }

std::string leaveHidMode(std::string_view portName) {
  return usbClass(portName.find("LPT") != std::string_view::npos ? 2 : 0);
}

std::string buzzer(int value) { return build("DEF BZ=%d", {value}); }
std::string autoHeadCheck(int value) { return build("DEF HC=%d", {value}); }

std::string labelStop(int value) {
  std::string s = build("DEF AP=%d", {value});
  if (!s.empty() && value != 0) s += kLabelStopFollowUp;
  return s;
}

std::string feed(int atPowerOn, int onHeadClose) { return build("DEF AF=%d,CH=%d", {atPowerOn, onHeadClose}); }
std::string gapSensorLevel(int level) { return build("FSET SG=%d", {level}); }
std::string markSensorLevel(int level) { return build("FSET SM=%d", {level}); }

std::string readSettingsMemory(int address, int length) {
  return build("FSET CSET=4,ADD=%d,LEN=%d", {address, length});
}

std::string calibrateSensor(Sensor sensor) { return build("FSET CSET=9,ADD=%d,CHK=30", {int(sensor)}); }

std::string_view trim(std::string_view reply) {
  size_t b = 0, e = reply.size();
  while (b < e && static_cast<unsigned char>(reply[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(reply[e - 1]) <= 0x20) --e;
  return reply.substr(b, e - b);
}

Resolution classifyResolution(std::string_view reply) {
  if (reply == "8\r\n") return Resolution::Dots8PerMm;
  if (reply == "12\r\n") return Resolution::Dots12PerMm;
  return Resolution::Unknown;
}

int scanIntegers(std::string_view text, int* values, int capacity, int firstHexField) {
  size_t pos = 0;
  int count = 0;
  for (;;) {
    if (count > 0) {
      if (pos >= text.size() || text[pos] != ',') break;
      ++pos;
    }
    int v = 0;
    if (!scanOne(text, &pos, firstHexField >= 0 && count >= firstHexField, &v)) break;
    if (values && count < capacity) values[count] = v;
    ++count;
  }
  return count;
}

int parseDefInfo(std::string_view reply, DefInfo* out) {
  return acceptExactly(reply, kDefInfoFields, -1, [&](const int* v) {
    if (out) std::copy(v, v + kDefInfoFields, out->fields);
  });
}

int parseMaintenance(std::string_view reply, Maintenance* out) {
  return acceptExactly(reply, kMaintenanceFields, 7, [&](const int* v) {
    if (!out) return;
    std::copy(v, v + 7, out->decimal);
    for (int i = 0; i < 4; ++i) out->hex[i] = unsigned(v[7 + i]);
  });
}

int parseHeadCheck(std::string_view reply, HeadCheck* out) {
  return acceptExactly(reply, kHeadCheckFields, -1, [&](const int* v) {
    if (out) std::copy(v, v + kHeadCheckFields, out->fields);
  });
}

int parseSensorLevels(std::string_view reply, SensorLevels* out) {
  return acceptExactly(reply, kSensorLevelFields, -1, [&](const int* v) {
    if (out) *out = SensorLevels{v[0], v[1], v[2]};
  });
}

int parseCalibration(std::string_view reply, int* level) {
  return acceptExactly(reply, 1, -1, [&](const int* v) {
    if (level) *level = v[0];
  });
}

int parseVersion(std::string_view reply, VersionInfo* out) {
  int lines = 0;
  VersionInfo info;
  size_t pos = 0;
  while (pos < reply.size()) {
    size_t end = reply.find("\r\n", pos);
    std::string_view line = reply.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    ++lines;
    if (lines == 2) info.system = std::string(line);
    if (lines == 3) info.ipl = std::string(line);
    if (end == std::string_view::npos) break;
    pos = end + 2;
  }
  if (out) *out = std::move(info);
  return lines;
}

int decodeSettingsMemory(std::string_view reply, uint8_t* image, size_t imageSize) {
  size_t digits = reply.size();
  if (digits % 2 != 0 || digits > kMaxSettingsDigits || !image || digits / 2 > imageSize) return -1;
  for (size_t i = 0; i < digits / 2; ++i) {
    int high = hexValue(reply[2 * i]);
    int low = hexValue(reply[2 * i + 1]);
    image[i] = uint8_t((16 * high + low) & 0xFF);
  }
  return int(digits / 2);
}

int headDotsToMm(int dots) {
  // The factor lies just below 10/118, so the product truncates to
  // floor(10 * dots / 118), one less when 10 * dots is an exact multiple.
  long long tenfold = 10LL * (dots < 0 ? -(long long)dots : dots);
  long long mm = tenfold / 118;
  if (tenfold > 0 && tenfold % 118 == 0) --mm;
  return int(dots < 0 ? -mm : mm);
}

std::string formatPrintDistance(int millimetres) {
  long long v = millimetres;
  std::string sign = v < 0 ? "-" : "";
  if (v < 0) v = -v;
  std::string s = sign + std::to_string(v / 1000);
  long long frac = v % 1000;
  if (frac) {
    std::string f = std::to_string(1000 + frac).substr(1);
    while (f.back() == '0') f.pop_back();
    s += "." + f;
  }
  return s;
}

}  // namespace printercmd
