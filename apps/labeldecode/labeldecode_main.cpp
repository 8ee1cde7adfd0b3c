// labeldecode: what the printer makes of a job file. Lists each label (its
// DEF fields, quantity, size and dots) and writes each as a PNG.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "arguments.h"
#include "job_decoder.h"

int main(int argc, char** argv) {
  labeldecode::Arguments args;
  std::string why;
  if (!labeldecode::parseArguments(std::vector<std::string>(argv + 1, argv + argc), &args, &why)) {
    std::fprintf(stderr, "labeldecode: %s\n%s\n", why.c_str(), labeldecode::kUsage);
    return 2;
  }
  const std::string& input = args.input;
  const std::string& prefix = args.pngPrefix;
  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "labeldecode: cannot read '%s'\n", input.c_str());
    return 1;
  }
  std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  emu::JobReport report;
  emu::DecodeError error;
  bool ok = emu::decodeJob(data.data(), data.size(), report, error, args.decode);
  if (!report.jobName.empty()) std::printf("job %s, id %ld\n", report.jobName.c_str(), report.jobId);
  for (size_t i = 0; i < report.labels.size(); ++i) {
    const emu::Label& label = report.labels[i];
    std::printf("label %zu: %d x %d dots, %zu printed, QTY %ld, %d GRAPH;", i + 1, label.width, label.height,
                label.dotCount(), label.quantity, label.graphs);
    for (const emu::JobField& f : label.def) std::printf(" %s=%ld", f.key.c_str(), f.value);
    std::printf("\n");
    if (!prefix.empty()) {
      std::string path = prefix + "-" + std::to_string(i + 1) + ".png";
      if (!emu::writeLabelPng(label, path, &why)) {
        std::fprintf(stderr, "labeldecode: %s\n", why.c_str());
        return 1;
      }
      std::printf("  -> %s\n", path.c_str());
    }
  }
  if (!ok) {
    std::fprintf(stderr, "labeldecode: %s: %s\n", input.c_str(), error.describe().c_str());
    return 1;
  }
  return 0;
}
