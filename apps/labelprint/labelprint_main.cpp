// labelprint: picks the model named by --model (TR7208 by default) and
// runs that model's printing program, which sits beside this one. One
// process can hold only one model's driver, as on Windows.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "options.h"

int main(int argc, char** argv) {
  std::string model = "TR7208";
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf("%s\n", labelprint::kUsage);
      return 0;
    }
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--model") == 0) model = argv[i + 1];
  if (model != "TR7208" && model != "KV830") {
    std::fprintf(stderr, "labelprint: unknown model '%s' (TR7208 or KV830)\n%s\n", model.c_str(), labelprint::kUsage);
    return 2;
  }
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) {
    std::fprintf(stderr, "labelprint: cannot find its own location\n");
    return 1;
  }
  self[n] = 0;
  std::string dir(self);
  dir = dir.substr(0, dir.rfind('/') + 1);
  std::string runner = dir + "labelprint-" + model;
  std::vector<char*> args(argv, argv + argc);
  args[0] = runner.data();
  args.push_back(nullptr);
  execv(runner.c_str(), args.data());
  std::fprintf(stderr, "labelprint: cannot start %s: %s\n", runner.c_str(), std::strerror(errno));
  return 1;
}
