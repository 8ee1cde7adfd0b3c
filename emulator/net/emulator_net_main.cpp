// emulator-net: the emulated printer as a network printer. Listens on
// 127.0.0.1:PORT for AppSocket jobs, writes each job's labels as PNGs and
// a summary into the output folder, and stops by itself after its lifetime
// (or on SIGTERM/SIGINT).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "appsocket_listener.h"

namespace {

const char kUsage[] =
    "usage: emulator-net --model TR7208|KV830 --port N --out DIR [--fail FAULT] [--control FILE]\n"
    "                    [--reply COMMAND=REPLY]... [--lifetime SECONDS] [--idle SECONDS] [--stall SECONDS]\n"
    "                    [--receive-buffer BYTES]\n"
    "  --port 0      the system picks a free port (printed on the first line)\n"
    "  --fail FAULT  none, drop:BYTES, stall:BYTES, silent or garbage, optionally xCOUNT (connections struck)\n"
    "  --reply C=R   answer the query line C with R instead (escapes \\r \\n \\e \\\\ \\xHH; R empty: no answer)\n"
    "  --control F   a file of lines, each a FAULT, 'reply C=R' or 'replies none', read and removed\n"
    "                before each connection (write it elsewhere and rename it into place)\n"
    "Every connection is logged in DIR/connections.jsonl with the bytes it brought.";

struct ModelName {
  const char* name;
  emu::PrinterModel model;
};
constexpr ModelName kModels[] = {{"TR7208", emu::PrinterModel::TR7208}, {"KV830", emu::PrinterModel::KV830}};

emu::net::AppSocketListener* running = nullptr;

void onSignal(int) {
  if (running) running->stop();
}

bool parseSeconds(const std::string& s, long max, long* value) {
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (s.empty() || *end || v < 0 || v > max) return false;
  *value = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  emu::net::ListenerOptions options;
  long lifetime = 600, port = -1;
  bool haveModel = false;
  std::string why;
  auto fail = [&](const std::string& reason) {
    std::fprintf(stderr, "emulator-net: %s\n%s\n", reason.c_str(), kUsage);
    return 2;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (i + 1 >= args.size()) return fail(arg + " needs a value");
    const std::string& value = args[++i];
    long n = 0;
    if (arg == "--model") {
      haveModel = false;
      for (const ModelName& m : kModels)
        if (value == m.name) {
          options.model = m.model;
          haveModel = true;
        }
      if (!haveModel) return fail("unknown model '" + value + "'");
    } else if (arg == "--port") {
      if (!parseSeconds(value, 65535, &port)) return fail("bad port '" + value + "'");
      options.port = uint16_t(port);
    } else if (arg == "--out") {
      options.outDir = value;
    } else if (arg == "--fail") {
      if (!emu::net::parseFaultPlan(value, &options.fault, &why)) return fail(why);
    } else if (arg == "--reply") {
      if (!emu::net::parseReply(value, &options.replies, &why)) return fail(why);
    } else if (arg == "--control") {
      options.controlFile = value;
    } else if (arg == "--lifetime") {
      if (!parseSeconds(value, 86400, &lifetime) || lifetime == 0) return fail("bad lifetime '" + value + "'");
    } else if (arg == "--idle" && parseSeconds(value, 86400, &n) && n > 0) {
      options.idleTimeout = std::chrono::seconds(n);
    } else if (arg == "--stall" && parseSeconds(value, 86400, &n)) {
      options.stallTime = std::chrono::seconds(n);
    } else if (arg == "--receive-buffer" && parseSeconds(value, 1 << 26, &n)) {
      options.receiveBuffer = int(n);
    } else {
      return fail("bad option '" + arg + " " + value + "'");
    }
  }
  if (!haveModel || port < 0 || options.outDir.empty()) return fail("--model, --port and --out are needed");

  emu::net::AppSocketListener listener(options);
  if (!listener.open(&why)) {
    std::fprintf(stderr, "emulator-net: %s\n", why.c_str());
    return 1;
  }
  running = &listener;
  std::signal(SIGTERM, onSignal);
  std::signal(SIGINT, onSignal);
  std::printf("listening on %s\n", listener.localAddress().c_str());
  std::fflush(stdout);
  listener.serve(std::chrono::seconds(lifetime), 1 << 30);
  running = nullptr;
  std::printf("stopped after %d connections, %zu jobs\n", listener.connections(), listener.jobs().size());
  return 0;
}
