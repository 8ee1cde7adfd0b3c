// The emulated printer's command side (see emulated_printer.h).
#include "emulated_printer.h"

#include <cstdio>

namespace emu {
namespace {

constexpr char kEsc = '\x1b';

// Plain decimal without sign or leading zeros, as the commands carry it.
bool parseNumber(const std::string& s, int* value) {
  if (s.empty() || s.size() > 9 || (s.size() > 1 && s[0] == '0')) return false;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

// "K1=v1,K2=v2" into ordered (key, value) pairs; false on any malformed field.
bool parseFields(const std::string& s, std::vector<std::pair<std::string, int>>* out) {
  size_t pos = 0;
  while (pos <= s.size()) {
    size_t comma = s.find(',', pos);
    std::string field = s.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
    size_t eq = field.find('=');
    int v = 0;
    if (eq == std::string::npos || eq == 0 || !parseNumber(field.substr(eq + 1), &v)) return false;
    out->emplace_back(field.substr(0, eq), v);
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  return !out->empty();
}

bool hasKeys(const std::vector<std::pair<std::string, int>>& f, std::initializer_list<const char*> keys) {
  if (f.size() != keys.size()) return false;
  size_t i = 0;
  for (const char* k : keys)
    if (f[i++].first != k) return false;
  return true;
}

}  // namespace

EmulatedPrinter::EmulatedPrinter(PrinterModel model) : model_(model) {
  systemVersion_ = model == PrinterModel::TR7208 ? "TR7208 V1.05" : "KV830 V2.11";
  factoryReset();
}

int EmulatedPrinter::dotsPerMm() const { return model_ == PrinterModel::TR7208 ? 8 : 12; }

void EmulatedPrinter::factoryReset() {
  settings_.fill(0);
  settings_[addr::kAutoHeadCheck] = 1;
  settings_[addr::kLabelStop] = 1;
  settings_[addr::kGapSensorLevel] = 30;
  settings_[addr::kMarkSensorLevel] = 45;
}

void EmulatedPrinter::setSetting(size_t address, uint8_t value) {
  if (address < settings_.size()) settings_[address] = value;
}

void EmulatedPrinter::setReply(const std::string& commandLine, std::string reply) {
  replyOverride_[commandLine] = std::move(reply);
}

void EmulatedPrinter::setVersion(std::string system, std::string ipl) {
  systemVersion_ = std::move(system);
  iplVersion_ = std::move(ipl);
}

void EmulatedPrinter::hostWrite(const uint8_t* data, size_t size) {
  if (!data || !size) return;
  received_.insert(received_.end(), data, data + size);
  for (size_t i = 0; i < size; ++i) {
    partial_.push_back(data[i]);
    size_t n = partial_.size();
    if (n < 2 || partial_[n - 2] != '\r' || partial_[n - 1] != '\n') continue;
    std::string line(partial_.begin(), partial_.end() - 2);
    if (!handleLine(line)) {
      job_.insert(job_.end(), partial_.begin(), partial_.end());
      if (line == "END") ++pageCounter_;
    }
    partial_.clear();
  }
}

size_t EmulatedPrinter::hostRead(uint8_t* out, size_t capacity) {
  size_t n = std::min(capacity, out_.size());
  if (n == 0 || !out) return 0;
  std::copy(out_.begin(), out_.begin() + n, out);
  out_.erase(out_.begin(), out_.begin() + n);
  return n;
}

size_t EmulatedPrinter::pending() const { return out_.size(); }

std::vector<uint8_t> EmulatedPrinter::jobBytes() const {
  std::vector<uint8_t> all = job_;
  all.insert(all.end(), partial_.begin(), partial_.end());
  return all;
}

void EmulatedPrinter::reply(std::string text) {
  if (silent_) return;
  out_.insert(out_.end(), text.begin(), text.end());
}

bool EmulatedPrinter::handleLine(const std::string& line) {
  std::string text;
  char buf[256];
  if (line == "VER") {
    text = std::string(model_ == PrinterModel::TR7208 ? "TR7208" : "KV830") + "\r\n" + systemVersion_ + "\r\n" +
           iplVersion_ + "\r\n";
  } else if (line == "GETDEF") {
    // 27 fields; the 20th is the printed media distance in millimetres.
    text = std::to_string(dotsPerMm());
    for (int i = 2; i <= 27; ++i) {
      int v = 0;
      if (i == 2) v = settings_[addr::kBuzzer];
      if (i == 3) v = settings_[addr::kAutoHeadCheck];
      if (i == 4) v = settings_[addr::kLabelStop];
      if (i == 20) v = printDistanceMm_;
      text += "," + std::to_string(v);
    }
    text += "\r\n";
  } else if (line == "MAINT") {
    std::snprintf(buf, sizeof buf, "%d,%d,%d,%d,%d,%d,%d,%x,%x,%x,%x\r\n", 1, 0, 0, head_.status, 0, 0, pageCounter_,
                  0x1a2b, 0, settings_[addr::kGapSensorLevel], settings_[addr::kMarkSensorLevel]);
    text = buf;
  } else if (line == "RESOL") {
    text = std::to_string(dotsPerMm()) + "\r\n";
  } else if (line == "GETTM") {
    text = "2026/12/09 12:00:00\r\n";
  } else if (line == std::string(1, kEsc) + "STATUS") {
    text = "00\r\n";
  } else if (line == "CHECK") {
    text = std::string("SELF CHECK\r\nHEAD ") + (head_.status == 0 ? "OK" : "NG") + "\r\nSENSOR OK\r\n";
  } else if (line == std::string(1, kEsc) + "GETPG") {
    text = std::to_string(pageCounter_) + "\r\n";
  } else if (line.rfind("DEF ", 0) == 0) {
    if (!handleDef(line.substr(4))) return false;
  } else if (line.rfind("FSET ", 0) == 0) {
    // handleFset queues its own reply.
    size_t before = out_.size();
    if (!handleFset(line.substr(5))) return false;
    commands_.push_back(line);
    auto it = replyOverride_.find(line);
    if (it != replyOverride_.end()) {
      out_.resize(before);
      reply(it->second);
    }
    return true;
  } else if (line.rfind("USBS ", 0) == 0) {
    std::vector<std::pair<std::string, int>> f;
    if (!parseFields(line.substr(5), &f) || !hasKeys(f, {"CLS"}) || f[0].second > 2) return false;
    usbClass_ = f[0].second;
  } else {
    return false;
  }
  commands_.push_back(line);
  auto it = replyOverride_.find(line);
  reply(it != replyOverride_.end() ? it->second : text);
  return true;
}

bool EmulatedPrinter::handleDef(const std::string& args) {
  std::vector<std::pair<std::string, int>> f;
  if (!parseFields(args, &f)) return false;
  if (hasKeys(f, {"BZ"})) {
    settings_[addr::kBuzzer] = uint8_t(f[0].second);
  } else if (hasKeys(f, {"HC"})) {
    settings_[addr::kAutoHeadCheck] = uint8_t(f[0].second);
  } else if (hasKeys(f, {"AP"})) {
    settings_[addr::kLabelStop] = uint8_t(f[0].second);
  } else if (hasKeys(f, {"AF", "CH"})) {
    settings_[addr::kFeedAtPowerOn] = uint8_t(f[0].second);
    settings_[addr::kFeedOnHeadClose] = uint8_t(f[1].second);
  } else {
    return false;  // a job-language DEF line (label format), kept as job data
  }
  return true;
}

bool EmulatedPrinter::handleFset(const std::string& args) {
  std::vector<std::pair<std::string, int>> f;
  if (!parseFields(args, &f)) return false;
  if (hasKeys(f, {"SG"})) {
    settings_[addr::kGapSensorLevel] = uint8_t(f[0].second);
    return true;
  }
  if (hasKeys(f, {"SM"})) {
    settings_[addr::kMarkSensorLevel] = uint8_t(f[0].second);
    return true;
  }
  if (f[0].first != "CSET") return false;
  int cset = f[0].second;
  char buf[64];
  if (cset == 4 && hasKeys(f, {"CSET", "ADD", "LEN"})) {
    size_t from = std::min<size_t>(size_t(f[1].second), settings_.size());
    size_t to = std::min<size_t>(from + size_t(f[2].second), settings_.size());
    std::string hex;
    for (size_t a = from; a < to; ++a) {
      std::snprintf(buf, sizeof buf, "%02X", settings_[a]);
      hex += buf;
    }
    reply(hex + "\r\n");
  } else if (f.size() == 1 && (cset == 6 || cset == 8 || cset == 11)) {
    selfPrints_.push_back(cset);
  } else if (f.size() == 1 && cset == 12) {
    factoryReset();
  } else if (cset == 9 && hasKeys(f, {"CSET", "ADD", "CHK"}) && (f[1].second == 0 || f[1].second == 2) &&
             f[2].second == 30) {
    bool gap = f[1].second == 2;
    int level = gap ? calibrateGap_ : calibrateMark_;
    if (level >= 1) settings_[gap ? addr::kGapSensorLevel : addr::kMarkSensorLevel] = uint8_t(level);
    reply(std::to_string(level) + "\r\n");
  } else if (f.size() == 1 && cset == 13) {
    std::snprintf(buf, sizeof buf, "%d,%d,0,0,0,0\r\n", head_.status, head_.brokenDot);
    reply(buf);
  } else if (f.size() == 1 && cset == 14) {
    reply(std::to_string(settings_[addr::kGapSensorLevel]) + "," + std::to_string(settings_[addr::kMarkSensorLevel]) +
          ",0\r\n");
  } else if (cset == 16 && hasKeys(f, {"CSET", "ADD"}) && f[1].second == 1) {
    // Starts the label-stop detection run that DEF AP asked for; no reply.
  } else {
    return false;
  }
  return true;
}

}  // namespace emu
