// labelprint's command-line parsing and range checks.
#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace labelprint {

const char kUsage[] =
    "usage: labelprint [--model TR7208|KV830] [--label N] [--width MM10 --height MM10] [--copies N] [--landscape]\n"
    "                  [--rotate] [--grey] [--hex] [--label-file FILE] [--preview OUT.png]\n"
    "                  [--text X,Y,SIZE,TEXT]... [--barcode X,Y,code128|qr,DATA]... [--box X,Y,W,H[,T]]...\n"
    "                  [--line X1,Y1,X2,Y2[,T]]... [--font FILE] [--image-box X,Y,W,H] [INPUT.png] -o JOB.prn\n"
    "Positions and sizes are millimetres (decimals allowed) from the printable area's top-left corner;\n"
    "SIZE is the text height, T the pen width (0.3 mm by default). The image, when given, is scaled to\n"
    "fit the image box (the printable area by default) and halftoned by GDI; items are drawn over it\n"
    "in command-line order.";

namespace {

bool number(const std::string& text, long lo, long hi, long* out) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  errno = 0;
  long v = std::strtol(text.c_str(), nullptr, 10);
  if (errno || v < lo || v > hi) return false;
  *out = v;
  return true;
}

// A millimetre value: a plain decimal number in [lo, hi].
bool millimetres(const std::string& text, double lo, double hi, double* out) {
  if (text.empty() || text.size() > 12) return false;
  int dots = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.') ++dots;
    else if (!(c >= '0' && c <= '9') && !(c == '-' && i == 0)) return false;
  }
  if (dots > 1 || text == "-" || text == ".") return false;
  const double v = std::strtod(text.c_str(), nullptr);
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

// Splits `arg` at its first `count` commas (the rest, commas included, is
// the last field) and removes one pair of double quotes around that field.
std::vector<std::string> fields(const std::string& arg, size_t count) {
  std::vector<std::string> out;
  size_t start = 0;
  while (out.size() < count) {
    size_t comma = arg.find(',', start);
    if (comma == std::string::npos) break;
    out.push_back(arg.substr(start, comma - start));
    start = comma + 1;
  }
  std::string last = arg.substr(start);
  if (last.size() >= 2 && last.front() == '"' && last.back() == '"') last = last.substr(1, last.size() - 2);
  out.push_back(last);
  return out;
}

constexpr double kMaxMillimetres = 1000;

// Parses one item option's value into *item; a one-line reason otherwise.
bool parseItem(const std::string& option, const std::string& arg, Item* item, std::string* error) {
  auto bad = [&](const std::string& why) {
    *error = option + " " + why;
    return false;
  };
  auto coordinates = [&](const std::vector<std::string>& f, size_t n, double* const* out, double lo) {
    for (size_t i = 0; i < n; ++i)
      if (!millimetres(f[i], lo, kMaxMillimetres, out[i])) return false;
    return true;
  };
  if (option == "--text" || option == "--barcode") {
    std::vector<std::string> f = fields(arg, 3);
    if (f.size() != 4) return bad(option == "--text" ? "needs X,Y,SIZE,TEXT" : "needs X,Y,TYPE,DATA");
    double* xy[] = {&item->x, &item->y};
    if (!coordinates(f, 2, xy, 0)) return bad("position '" + f[0] + "," + f[1] + "' is not two millimetre values");
    if (f[3].empty()) return bad(option == "--text" ? "has no text" : "has no data");
    item->text = f[3];
    if (option == "--text") {
      item->kind = Item::Kind::Text;
      if (!millimetres(f[2], 0.5, 200, &item->size) || item->size <= 0)
        return bad("size '" + f[2] + "' is out of range 0.5..200 mm");
    } else {
      item->kind = Item::Kind::Barcode;
      item->type = f[2];
      if (item->type != "code128" && item->type != "qr") return bad("type '" + f[2] + "' is not code128 or qr");
    }
    return true;
  }
  // --box X,Y,W,H[,T] and --line X1,Y1,X2,Y2[,T]
  std::vector<std::string> f = fields(arg, 4);
  if (f.size() == 5 && f[4].find(',') != std::string::npos) f.clear();
  if (f.size() != 4 && f.size() != 5) return bad(option == "--box" ? "needs X,Y,W,H[,T]" : "needs X1,Y1,X2,Y2[,T]");
  item->kind = option == "--box" ? Item::Kind::Box : Item::Kind::Line;
  double* values[] = {&item->x, &item->y, &item->a, &item->b};
  if (!coordinates(f, 4, values, 0)) return bad("value '" + arg + "' is not four millimetre values");
  if (item->kind == Item::Kind::Box && (item->a <= 0 || item->b <= 0)) return bad("needs a width and height above 0");
  if (f.size() == 5 && !millimetres(f[4], 0.05, 50, &item->thickness))
    return bad("pen width '" + f[4] + "' is out of range 0.05..50 mm");
  return true;
}

}  // namespace

bool parseOptions(const std::vector<std::string>& args, Options* o, std::string* error) {
  *o = Options{};
  auto fail = [&](const std::string& why) {
    *error = why;
    return false;
  };
  bool widthGiven = false, heightGiven = false, labelGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) return false;
      *out = args[++i];
      return true;
    };
    std::string v;
    struct Range {
      const char* name;
      long lo, hi;
      long* field;
      bool* given;
    };
    const Range ranges[] = {
        {"--label", 1, 999, &o->label, &labelGiven},
        {"--width", 100, 2000, &o->width, &widthGiven},
        {"--height", 50, 4000, &o->height, &heightGiven},
        {"--copies", 1, 9999, &o->copies, nullptr},
    };
    const Range* range = nullptr;
    for (const Range& r : ranges)
      if (a == r.name) range = &r;
    if (range) {
      if (!value(&v)) return fail(a + " needs a value");
      if (!number(v, range->lo, range->hi, range->field))
        return fail("value '" + v + "' of " + a + " is out of range " + std::to_string(range->lo) + ".." +
                    std::to_string(range->hi));
      if (range->given) *range->given = true;
    } else if (a == "--help" || a == "-h") {
      *o = Options{};
      o->help = true;
      return true;
    } else if (a == "--text" || a == "--barcode" || a == "--box" || a == "--line") {
      if (!value(&v)) return fail(a + " needs a value");
      Item item;
      if (!parseItem(a, v, &item, error)) return false;
      o->items.push_back(item);
    } else if (a == "--image-box") {
      if (!value(&v)) return fail(a + " needs a value");
      std::vector<std::string> f = fields(v, 3);
      bool ok = f.size() == 4;
      for (int k = 0; ok && k < 4; ++k) ok = millimetres(f[size_t(k)], 0, kMaxMillimetres, &o->imageBox[k]);
      if (!ok || o->imageBox[2] <= 0 || o->imageBox[3] <= 0) return fail("--image-box needs X,Y,W,H in millimetres");
      o->imageBoxGiven = true;
    } else if (a == "--font") {
      if (!value(&o->font)) return fail("--font needs a file");
    } else if (a == "--model") {
      if (!value(&o->model)) return fail("--model needs a value");
      if (o->model != "TR7208" && o->model != "KV830")
        return fail("unknown model '" + o->model + "' (TR7208 or KV830)");
    } else if (a == "--landscape") {
      o->landscape = true;
    } else if (a == "--rotate") {
      o->rotate = true;
    } else if (a == "--grey") {
      o->grey = true;
    } else if (a == "--hex") {
      o->hex = true;
    } else if (a == "--label-file") {
      if (!value(&o->labelFile)) return fail("--label-file needs a file");
    } else if (a == "--preview") {
      if (!value(&o->preview)) return fail("--preview needs a file");
    } else if (a == "-o") {
      if (!value(&o->output)) return fail("-o needs a file");
    } else if (a.size() > 1 && a[0] == '-') {
      return fail("unknown option '" + a + "'");
    } else if (o->input.empty()) {
      o->input = a;
    } else {
      return fail("more than one input image ('" + o->input + "', '" + a + "')");
    }
  }
  if (widthGiven != heightGiven) return fail("--width and --height go together");
  if (widthGiven && labelGiven && o->label != 256) return fail("--width/--height select label 256, not --label " +
                                                                std::to_string(o->label));
  if (widthGiven) o->label = 256;
  if (o->imageBoxGiven && o->input.empty()) return fail("--image-box needs an input image");
  if (o->output.empty()) return fail("no output file (-o JOB.prn)");
  return true;
}

}  // namespace labelprint
