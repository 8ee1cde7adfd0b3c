// labeldecode's command-line parsing.
#include "arguments.h"

namespace labeldecode {

const char kUsage[] =
    "usage: labeldecode JOB.prn [--png-prefix OUT] [--rotated [--grey]]\n"
    "  --rotated  the job was printed landscape with rotation on (its GRAPH rows are page columns)\n"
    "  --grey     with --rotated: the job was printed from an 8-bit grey surface";

bool parseArguments(const std::vector<std::string>& args, Arguments* a, std::string* error) {
  *a = Arguments{};
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--png-prefix") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        *error = "--png-prefix needs a value";
        return false;
      }
      a->pngPrefix = args[++i];
    } else if (arg == "--rotated") {
      a->decode.landscapeRotation = true;
    } else if (arg == "--grey") {
      a->decode.greySurface = true;
    } else if (!arg.empty() && arg[0] == '-') {
      *error = "unknown option '" + arg + "'";
      return false;
    } else if (a->input.empty()) {
      a->input = arg;
    } else {
      *error = "more than one job file";
      return false;
    }
  }
  if (a->input.empty()) {
    *error = "no job file";
    return false;
  }
  return true;
}

}  // namespace labeldecode
