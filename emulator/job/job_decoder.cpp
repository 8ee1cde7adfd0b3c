// Job stream decoding into labels, and their PNG pictures.
#include "job_decoder.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace emu {

size_t Label::dotCount() const { return static_cast<size_t>(std::count(dots.begin(), dots.end(), uint8_t(1))); }

long Label::field(const std::string& key, long fallback) const {
  for (const JobField& f : def)
    if (f.key == key) return f.value;
  return fallback;
}

std::string DecodeError::describe() const { return "offset " + std::to_string(offset) + ": " + reason; }

namespace {

const char* const kDefKeys[] = {"MK", "PW", "PH", "PG", "DR", "DK", "SP", "PS", "TO", "PO", "CO",
                                "CP", "XO", "YO", "GM", "TR", "MD", "LM", "RM", "TM", "BM"};

struct Fault {
  size_t offset;
  std::string reason;
};

// A parsed "KEY=value,KEY=value" list with the offset of each value.
struct Field {
  std::string key;
  std::string value;
  size_t offset;
};

bool parseNumber(const std::string& text, long* out) {
  if (text.empty() || text.size() > 11) return false;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  for (size_t k = i; k < text.size(); ++k)
    if (text[k] < '0' || text[k] > '9') return false;
  errno = 0;
  long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (errno || v < INT_MIN || v > INT_MAX) return false;
  *out = static_cast<long>(v);
  return true;
}

class Decoder {
 public:
  Decoder(const uint8_t* data, size_t size, JobReport& report, const DecodeOptions& options)
      : p_(data), size_(size), report_(report), options_(options) {}

  void run() {
    while (pos_ < size_) {
      const size_t start = pos_;
      std::string line = readLine();
      std::string word = line.substr(0, line.find(' '));
      std::string rest = word.size() < line.size() ? line.substr(word.size() + 1) : std::string();
      const size_t restOffset = start + word.size() + 1;
      if (word == "DEF") {
        outsideLabel(start, "DEF");
        def(parseFields(rest, restOffset), start);
      } else if (word == "JOB") {
        outsideLabel(start, "JOB");
        job(parseFields(rest, restOffset));
      } else if (word == "START") {
        noFields(rest, start, "START");
        outsideLabel(start, "START");
        open_ = true;
        label_ = Label{};
        label_.offset = start;
        label_.def = def_;
        resize(std::max(0L, std::min<long>(fieldOf(def_, "PW"), kMaxImageWidth)),
               std::max(0L, std::min<long>(fieldOf(def_, "PH"), kMaxImageHeight)));
      } else if (word == "QTY") {
        insideLabel(start, "QTY");
        qty(parseFields(rest, restOffset), start);
      } else if (word == "GRAPH") {
        insideLabel(start, "GRAPH");
        graph(parseFields(rest, restOffset), start);
      } else if (word == "END") {
        noFields(rest, start, "END");
        insideLabel(start, "END");
        open_ = false;
        report_.labels.push_back(std::move(label_));
      } else if (word == "JOBE") {
        noFields(rest, start, "JOBE");
        if (open_) throw Fault{start, "JOBE inside a label: END is missing"};
        ++report_.jobEnds;
      } else {
        throw Fault{start, "unknown command '" + printable(word) + "'"};
      }
    }
    if (open_) throw Fault{size_, "data ends inside the label started at offset " + std::to_string(label_.offset) +
                                      ": END is missing"};
  }

 private:
  static long fieldOf(const std::vector<JobField>& fields, const char* key) {
    for (const JobField& f : fields)
      if (f.key == key) return f.value;
    return 0;
  }

  static std::string printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s.substr(0, 16)) out += (c >= 0x20 && c < 0x7F) ? char(c) : '?';
    return out;
  }

  // One text line without its CR LF; only printable ASCII is accepted.
  std::string readLine() {
    const size_t start = pos_;
    for (size_t i = pos_; i < size_; ++i) {
      uint8_t c = p_[i];
      if (c == '\r') {
        if (i + 1 >= size_) throw Fault{i, "truncated data: CR without LF"};
        if (p_[i + 1] != '\n') throw Fault{i, "CR not followed by LF"};
        if (i == start) throw Fault{start, "empty line"};
        pos_ = i + 2;
        return std::string(reinterpret_cast<const char*>(p_ + start), i - start);
      }
      if (c < 0x20 || c >= 0x7F) throw Fault{i, "byte 0x" + hex(c) + " in a command line"};
    }
    throw Fault{size_, "truncated data: the line at offset " + std::to_string(start) + " has no CR LF"};
  }

  static std::string hex(uint8_t c) {
    static const char d[] = "0123456789ABCDEF";
    return std::string{d[c >> 4], d[c & 15]};
  }

  static std::vector<Field> parseFields(const std::string& text, size_t offset) {
    std::vector<Field> fields;
    if (text.empty()) return fields;
    size_t i = 0;
    while (true) {
      size_t comma = text.find(',', i);
      std::string item = text.substr(i, comma == std::string::npos ? std::string::npos : comma - i);
      size_t eq = item.find('=');
      if (eq == std::string::npos || eq == 0) throw Fault{offset + i, "bad field '" + printable(item) + "'"};
      fields.push_back({item.substr(0, eq), item.substr(eq + 1), offset + i + eq + 1});
      if (comma == std::string::npos) break;
      i = comma + 1;
    }
    return fields;
  }

  static void noFields(const std::string& rest, size_t offset, const char* command) {
    if (!rest.empty()) throw Fault{offset, std::string(command) + " takes no fields"};
  }
  void outsideLabel(size_t offset, const char* command) const {
    if (open_) throw Fault{offset, std::string(command) + " inside a label: END is missing"};
  }
  void insideLabel(size_t offset, const char* command) const {
    if (!open_) throw Fault{offset, std::string(command) + " outside a label: START is missing"};
  }

  static long number(const Field& f) {
    long v;
    if (!parseNumber(f.value, &v)) throw Fault{f.offset, "bad value '" + printable(f.value) + "' for " + f.key};
    return v;
  }

  void def(const std::vector<Field>& fields, size_t offset) {
    if (fields.empty()) throw Fault{offset, "DEF without fields"};
    std::vector<JobField> parsed;
    for (const Field& f : fields) {
      if (std::find(std::begin(kDefKeys), std::end(kDefKeys), f.key) == std::end(kDefKeys))
        throw Fault{f.offset - f.key.size() - 1, "unknown DEF field '" + printable(f.key) + "'"};
      for (const JobField& seen : parsed)
        if (seen.key == f.key) throw Fault{f.offset, "DEF field " + f.key + " given twice"};
      parsed.push_back({f.key, number(f)});
    }
    def_ = std::move(parsed);
  }

  void job(const std::vector<Field>& fields) {
    for (const Field& f : fields) {
      if (f.key == "NM")
        report_.jobName = f.value;
      else if (f.key == "ID")
        report_.jobId = number(f);
      else
        throw Fault{f.offset, "unknown JOB field '" + printable(f.key) + "'"};
    }
  }

  void qty(const std::vector<Field>& fields, size_t offset) {
    if (fields.size() != 1 || fields[0].key != "P") throw Fault{offset, "QTY needs exactly the field P"};
    long n = number(fields[0]);
    if (n < 1) throw Fault{fields[0].offset, "QTY P must be at least 1"};
    label_.quantity = n;
  }

  void resize(long width, long height) {
    if (width <= label_.width && height <= label_.height) return;
    int w = static_cast<int>(std::max<long>(width, label_.width));
    int h = static_cast<int>(std::max<long>(height, label_.height));
    std::vector<uint8_t> dots(size_t(w) * h);
    for (int y = 0; y < label_.height; ++y)
      std::copy_n(label_.dots.begin() + size_t(y) * label_.width, label_.width, dots.begin() + size_t(y) * w);
    label_.dots = std::move(dots);
    label_.width = w;
    label_.height = h;
  }

  // Next coded byte of the rows: raw, or two hexadecimal digits.
  uint8_t codedByte(bool hexRows, int row) {
    if (!hexRows) {
      if (pos_ >= size_) throw Fault{size_, "truncated data in GRAPH row " + std::to_string(row)};
      return p_[pos_++];
    }
    if (pos_ + 1 >= size_) throw Fault{size_, "truncated data in GRAPH row " + std::to_string(row)};
    int v = 0;
    for (int k = 0; k < 2; ++k) {
      char c = static_cast<char>(p_[pos_ + k]);
      int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (d < 0) throw Fault{pos_ + k, "bad hexadecimal digit in GRAPH row " + std::to_string(row)};
      v = v * 16 + d;
    }
    pos_ += 2;
    return static_cast<uint8_t>(v);
  }

  void graph(const std::vector<Field>& fields, size_t offset) {
    const char* const keys[] = {"X", "Y", "WD", "HT", "MD"};
    long v[5];
    bool have[5] = {};
    for (const Field& f : fields) {
      auto k = std::find_if(std::begin(keys), std::end(keys), [&](const char* key) { return f.key == key; });
      if (k == std::end(keys)) throw Fault{f.offset, "unknown GRAPH field '" + printable(f.key) + "'"};
      size_t i = size_t(k - std::begin(keys));
      if (have[i]) throw Fault{f.offset, "GRAPH field " + f.key + " given twice"};
      have[i] = true;
      v[i] = number(f);
    }
    for (int i = 0; i < 5; ++i)
      if (!have[i]) throw Fault{offset, std::string("GRAPH without ") + keys[i]};
    const long x = v[0], y = v[1], wd = v[2], ht = v[3];
    if (v[4] != 2) throw Fault{offset, "GRAPH MD=" + std::to_string(v[4]) + " is not run-length coding (MD=2)"};
    if (x < 0 || y < 0 || wd < 1 || ht < 1) throw Fault{offset, "GRAPH X/Y/WD/HT outside the printable range"};
    // Dots per row and rows: the header's size for scanlines; for a turned
    // band, a row runs along its height and there is one per column sent.
    const bool turned = options_.landscapeRotation;
    const bool grey = options_.greySurface;
    const long long rowDots = !turned ? wd : grey ? ht : (ht + 7LL) / 8 * 8;
    const long long rows = !turned ? ht : grey ? wd : (wd + 7LL) / 8 * 8;
    if (x > kMaxImageWidth - rowDots || y > kMaxImageHeight - rows)
      throw Fault{offset, "GRAPH X/Y/WD/HT outside the printable range"};
    resize(x + long(rowDots), y + long(rows));
    ++label_.graphs;

    const bool hexRows = fieldOf(def_, "GM") == 0 && hasField(def_, "GM");
    const size_t rowBytes = size_t(rowDots + 7) / 8;
    const std::string rowSize = turned ? "HT=" + std::to_string(ht) : "WD=" + std::to_string(wd);
    std::vector<uint8_t> row(rowBytes);
    for (long r = 0; r < rows; ++r) {
      size_t filled = 0;
      while (filled < rowBytes) {
        const size_t at = pos_;
        if (pos_ >= size_) throw Fault{size_, "run header past the end of the data in GRAPH row " + std::to_string(r)};
        const int8_t header = static_cast<int8_t>(codedByte(hexRows, int(r)));
        if (header == -128) throw Fault{at, "run header 0x80 in GRAPH row " + std::to_string(r)};
        const size_t count = header >= 0 ? size_t(header) + 1 : size_t(1 - header);
        if (filled + count > rowBytes)
          throw Fault{at, "row " + std::to_string(r) + " overruns its GRAPH (" + rowSize + ")"};
        if (header >= 0) {
          for (size_t k = 0; k < count; ++k) row[filled++] = codedByte(hexRows, int(r));
        } else {
          uint8_t b = codedByte(hexRows, int(r));
          std::fill_n(row.begin() + filled, count, b);
          filled += count;
        }
      }
      for (long j = 0; j < rowDots; ++j)
        if (row[size_t(j) / 8] & (0x80 >> (j % 8))) label_.dots[size_t(y + r) * label_.width + size_t(x + j)] = 1;
    }
    if (pos_ + 2 > size_) throw Fault{pos_, "truncated data: GRAPH rows not closed by CR LF"};
    if (p_[pos_] != '\r' || p_[pos_ + 1] != '\n') throw Fault{pos_, "GRAPH rows not closed by CR LF"};
    pos_ += 2;
  }

  static bool hasField(const std::vector<JobField>& fields, const char* key) {
    return std::any_of(fields.begin(), fields.end(), [&](const JobField& f) { return f.key == key; });
  }

  const uint8_t* p_;
  size_t size_;
  size_t pos_ = 0;
  JobReport& report_;
  const DecodeOptions options_;
  std::vector<JobField> def_;
  bool open_ = false;
  Label label_;
};

}  // namespace

bool decodeJob(const uint8_t* data, size_t size, JobReport& report, DecodeError& error, const DecodeOptions& options) {
  report = JobReport{};
  if (!data && size) {
    error = {0, "no data"};
    return false;
  }
  try {
    Decoder(data, size, report, options).run();
    return true;
  } catch (const Fault& f) {
    error = {f.offset, f.reason};
  } catch (const std::bad_alloc&) {
    error = {0, "out of memory"};
  }
  return false;
}

bool writeLabelPng(const Label& label, const std::string& path, std::string* error) {
  if (label.width <= 0 || label.height <= 0) {
    if (error) *error = "the label has no image";
    return false;
  }
  std::vector<uint8_t> grey(label.dots.size());
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = label.dots[i] ? 0 : 255;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(label.width);
  image.height = static_cast<png_uint_32>(label.height);
  image.format = PNG_FORMAT_GRAY;
  if (!png_image_write_to_file(&image, path.c_str(), 0, grey.data(), label.width, nullptr)) {
    if (error) *error = "cannot write " + path + ": " + image.message;
    png_image_free(&image);
    return false;
  }
  return true;
}

}  // namespace emu
