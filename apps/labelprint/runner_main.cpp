// labelprint for one model's driver: prints the label, writes the job
// stream and the emulator's preview. `labelprint` starts this program.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "job_decoder.h"
#include "preview.h"
#include "print_job.h"

int main(int argc, char** argv) {
  using namespace labelprint;
  std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  std::string error;
  if (!parseOptions(args, &options, &error)) {
    std::fprintf(stderr, "labelprint: %s\n%s\n", error.c_str(), kUsage);
    return 2;
  }
  if (options.help) {
    std::printf("%s\n", kUsage);
    return 0;
  }
  GreyImage image;
  if (!options.input.empty() && !readPng(options.input, &image, &error)) {
    std::fprintf(stderr, "labelprint: %s\n", error.c_str());
    return 1;
  }
  PrintResult result;
  if (!printLabel(options, options.input.empty() ? nullptr : &image, &result, &error)) {
    std::fprintf(stderr, "labelprint: %s\n", error.c_str());
    return 1;
  }
  std::ofstream out(options.output, std::ios::binary);
  out.write(reinterpret_cast<const char*>(result.bytes.data()), std::streamsize(result.bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "labelprint: cannot write '%s'\n", options.output.c_str());
    return 1;
  }

  emu::JobReport report;
  emu::DecodeError decodeError;
  if (!emu::decodeJob(result.bytes.data(), result.bytes.size(), report, decodeError,
                      decodeOptionsFor(options)) || report.labels.empty()) {
    std::fprintf(stderr, "labelprint: the printer would reject the job: %s\n",
                 report.labels.empty() && decodeError.reason.empty() ? "no label" : decodeError.describe().c_str());
    return 1;
  }
  if (!options.preview.empty() && !emu::writeLabelPng(report.labels[0], options.preview, &error)) {
    std::fprintf(stderr, "labelprint: %s\n", error.c_str());
    return 1;
  }
  const emu::Label& label = report.labels[0];
  std::printf("%s label %ld: page %d x %d dots in %d band(s), printed %d x %d dots x %ld, %zu bytes -> %s\n",
              driverModel(), options.label, result.pageWidth, result.pageHeight, result.bands, label.width,
              label.height, label.quantity, result.bytes.size(), options.output.c_str());
  if (!options.preview.empty()) std::printf("preview -> %s\n", options.preview.c_str());
  return 0;
}
