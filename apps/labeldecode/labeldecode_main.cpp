// labeldecode: what the printer makes of a job file. Lists each label (its
// DEF fields, quantity, size and dots) and writes each as a PNG.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "job_decoder.h"

int main(int argc, char** argv) {
  std::string input, prefix;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--png-prefix" && i + 1 < argc) {
      prefix = argv[++i];
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "labeldecode: unknown option '%s'\nusage: labeldecode JOB.prn [--png-prefix OUT]\n",
                   a.c_str());
      return 2;
    } else if (input.empty()) {
      input = a;
    } else {
      std::fprintf(stderr, "labeldecode: more than one job file\n");
      return 2;
    }
  }
  if (input.empty()) {
    std::fprintf(stderr, "usage: labeldecode JOB.prn [--png-prefix OUT]\n");
    return 2;
  }
  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "labeldecode: cannot read '%s'\n", input.c_str());
    return 1;
  }
  std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  emu::JobReport report;
  emu::DecodeError error;
  bool ok = emu::decodeJob(data.data(), data.size(), report, error);
  if (!report.jobName.empty()) std::printf("job %s, id %ld\n", report.jobName.c_str(), report.jobId);
  for (size_t i = 0; i < report.labels.size(); ++i) {
    const emu::Label& label = report.labels[i];
    std::printf("label %zu: %d x %d dots, %zu printed, QTY %ld, %d GRAPH;", i + 1, label.width, label.height,
                label.dotCount(), label.quantity, label.graphs);
    for (const emu::JobField& f : label.def) std::printf(" %s=%ld", f.key.c_str(), f.value);
    std::printf("\n");
    if (!prefix.empty()) {
      std::string path = prefix + "-" + std::to_string(i + 1) + ".png", why;
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
