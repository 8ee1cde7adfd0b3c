// labelprint's command-line parsing and range checks.
#include "options.h"

#include <cerrno>
#include <cstdlib>

namespace labelprint {

const char kUsage[] =
    "usage: labelprint [--model TR7208|KV830] [--label N] [--width MM10 --height MM10] [--copies N] [--landscape] "
    "[--rotate] [--grey] [--hex] [--label-file FILE] [--preview OUT.png] INPUT.png -o JOB.prn";

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
  if (o->input.empty()) return fail("no input image");
  if (o->output.empty()) return fail("no output file (-o JOB.prn)");
  return true;
}

}  // namespace labelprint
