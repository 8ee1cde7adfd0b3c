// The printer application: both models as IPP Everywhere printers on PAPPL,
// raster turned into the printer's job language by the driver's core.
#include <pappl/pappl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <png.h>

#include "image_page.h"
#include "label_job.h"
#include "models.h"
#include "raw_check.h"

namespace printerapp {

namespace {

constexpr char kRawFormat[] = "application/vnd.varodyn-label";
// The printer's own speed codes (DEF SP): their IPP print-speed unit is not
// known, so they are offered as they are.
constexpr char kSpeedCode[] = "print-speed-code";

int speedCodeCount(const driver::ModelProfile& p) {
  int n = 0;
  for (const WCHAR* name : p.speedNames)
    if (name) ++n;
  return n;
}

// The job's speed code, when it names one the model has.
int speedCodeOf(const driver::ModelProfile& p, const pappl_pr_options_t* options) {
  const char* value = cupsGetOption(kSpeedCode, options->num_vendor, options->vendor);
  const int code = value ? std::atoi(value) : 0;
  return code >= 1 && code <= speedCodeCount(p) ? code : 0;
}

// Thresholds only, no pattern: barcodes and text keep their edges at
// 203 dpi, where an ordered dither frays every edge of a bar.
pappl_dither_t g_threshold;

struct DriverTable {
  std::vector<pappl_pr_driver_t> drivers;
  DriverTable() {
    for (const ModelInfo& m : models()) drivers.push_back({m.driverName, m.description, nullptr, nullptr});
  }
};
DriverTable& driverTable() {
  static DriverTable t;
  return t;
}

const ModelInfo* modelOf(pappl_printer_t* printer) {
  const char* name = papplPrinterGetDriverName(printer);
  return name ? modelByDriver(name) : nullptr;
}

// Every byte of the job goes through PAPPL's device connection.
BOOL deviceWriter(void* context, const BYTE* data, DWORD size, DWORD* written) {
  auto* device = static_cast<pappl_device_t*>(context);
  const ssize_t n = papplDeviceWrite(device, data, size);
  if (n < 0 || static_cast<size_t>(n) != size) {
    *written = 0;
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  *written = size;
  return TRUE;
}

pappl_label_mode_t labelModeOf(int printMode) {
  switch (printMode) {
    case 3:
      return PAPPL_LABEL_MODE_PEEL_OFF;
    case 4:
      return PAPPL_LABEL_MODE_CUTTER;
    case 2:
      return PAPPL_LABEL_MODE_APPLICATOR;  // continuous feed
    default:
      return PAPPL_LABEL_MODE_TEAR_OFF;
  }
}

int printModeOf(pappl_label_mode_t mode) {
  switch (mode) {
    case PAPPL_LABEL_MODE_PEEL_OFF:
      return 3;
    case PAPPL_LABEL_MODE_CUTTER:
      return 4;
    case PAPPL_LABEL_MODE_APPLICATOR:
      return 2;
    default:
      return 1;
  }
}

struct JobState {
  const ModelInfo* model;
  LabelSpec label;
  int copies;
  std::unique_ptr<LabelJobWriter> writer;
};

LabelSpec labelOfJob(const ModelInfo& model, pappl_printer_t* printer, const pappl_pr_options_t* options) {
  LabelSpec label = labelForSize(model, options->media.size_width, options->media.size_length);
  const int type = labelTypeOf(options->media.type);
  if (type) label.labelType = type;
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  label.printMode = printModeOf(data.mode_configured);
  label.offsetTearOff = data.tear_offset_configured / 10;  // hundredths -> tenths of a millimetre
  label.density = densityOf(options->darkness_configured, options->print_darkness);
  return label;
}

bool rstartjob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
  pappl_printer_t* printer = papplJobGetPrinter(job);
  const ModelInfo* model = modelOf(printer);
  if (!model) return false;
  auto* state = new JobState{model, labelOfJob(*model, printer, options), options->copies > 0 ? options->copies : 1,
                             std::make_unique<LabelJobWriter>(&deviceWriter, device)};
  // The printer prints the copies (QTY): every page goes out once.
  options->copies = 1;
  papplJobSetData(job, state);
  PrinterSettings settings;
  settings.speed = speedCodeOf(*model->profile, options);
  const driver::DefValues def = defValuesFor(*model->profile, state->label, settings);
  if (!state->writer->startJob(def, driver::defRulesOf(*model->profile), settings.graphicsMode)) {
    papplJobSetMessage(job, "The printer stopped taking data.");
    return false;
  }
  return true;
}

bool rstartpage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned) {
  auto* state = static_cast<JobState*>(papplJobGetData(job));
  if (!state) return false;
  const int bits = static_cast<int>(options->header.cupsBitsPerPixel);
  if (bits != 1 && bits != 8) {
    papplJobSetMessage(job, "Unsupported raster: %d bits per pixel.", bits);
    return false;
  }
  return state->writer->startPage(pageDotsOf(*state->model->profile, state->label), bits,
                                  static_cast<LONG>(options->header.cupsWidth), state->copies);
}

bool rwriteline(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned y, const unsigned char* line) {
  auto* state = static_cast<JobState*>(papplJobGetData(job));
  return state && state->writer->writeRow(static_cast<LONG>(y), line);
}

bool rendpage(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned) {
  auto* state = static_cast<JobState*>(papplJobGetData(job));
  if (!state) return false;
  if (!state->writer->endPage()) {
    papplJobSetMessage(job, "The printer stopped taking data.");
    return false;
  }
  return true;
}

bool rendjob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
  std::unique_ptr<JobState> state(static_cast<JobState*>(papplJobGetData(job)));
  papplJobSetData(job, nullptr);
  if (!state) return false;
  bool ok = state->writer->endJob();
  papplDeviceFlush(device);
  if (!ok) papplJobSetMessage(job, "The printer stopped taking data; the job was not printed.");
  return ok;
}

// A raw job: checked whole before a byte is sent.
bool printfile(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
  const char* filename = papplJobGetFilename(job);
  FILE* f = filename ? std::fopen(filename, "rb") : nullptr;
  if (!f) {
    papplJobSetMessage(job, "Cannot open the job file.");
    return false;
  }
  std::vector<uint8_t> data;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + n);
  std::fclose(f);
  const RawCheck check = checkRawJob(data.data(), data.size());
  if (!check.ok) {
    papplJobSetMessage(job, "Not a label job, nothing sent: %s", check.describe().c_str());
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Raw file refused: %s", check.describe().c_str());
    return false;
  }
  size_t at = 0;
  while (at < data.size()) {
    const ssize_t w = papplDeviceWrite(device, data.data() + at, data.size() - at);
    if (w <= 0) {
      papplJobSetMessage(job, "The printer stopped taking data; the job was not printed.");
      return false;
    }
    at += static_cast<size_t>(w);
  }
  papplDeviceFlush(device);
  return true;
}

Scaling scalingOf(pappl_scaling_t s) {
  switch (s) {
    case PAPPL_SCALING_NONE:
      return Scaling::None;
    case PAPPL_SCALING_FIT:
      return Scaling::Fit;
    case PAPPL_SCALING_FILL:
      return Scaling::Fill;
    default:
      return Scaling::AutoFit;
  }
}

// PNG files are placed by the application itself, so print-scaling none
// prints one image pixel per dot whatever resolution the file declares.
bool printPng(pappl_job_t* job, pappl_device_t* device, void*) {
  pappl_printer_t* printer = papplJobGetPrinter(job);
  const ModelInfo* model = modelOf(printer);
  if (!model) return false;
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, papplJobGetFilename(job))) {
    papplJobSetMessage(job, "Not a PNG image: %s", png.message);
    return false;
  }
  // Transparent parts are white, as on paper.
  png.format = PNG_FORMAT_GRAY;
  const png_color white{255, 255, 255};
  GreyImage image;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  if (png.width == 0 || png.height == 0 || png.width > 20000 || png.height > 20000) {
    png_image_free(&png);
    papplJobSetMessage(job, "The image is too large (%ux%u pixels).", png.width, png.height);
    return false;
  }
  image.pixels.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, &white, image.pixels.data(), 0, nullptr)) {
    papplJobSetMessage(job, "Bad PNG image: %s", png.message);
    png_image_free(&png);
    return false;
  }
  pappl_pr_options_t* options = papplJobCreatePrintOptions(job, 1, false);
  const LabelSpec label = labelOfJob(*model, printer, options);
  const PageDots page = pageDotsOf(*model->profile, label);
  const std::vector<uint8_t> rows =
      placeImage(image, page, scalingOf(options->print_scaling), quarterTurnsOf(options->orientation_requested));
  const int copies = options->copies > 0 ? options->copies : 1;
  PrinterSettings settings;
  settings.speed = speedCodeOf(*model->profile, options);
  papplJobDeletePrintOptions(options);
  papplJobSetImpressions(job, 1);

  LabelJobWriter writer(&deviceWriter, device);
  bool ok = writer.startJob(defValuesFor(*model->profile, label, settings), driver::defRulesOf(*model->profile),
                            settings.graphicsMode);
  ok = writer.startPage(page, 1, page.width, copies) && ok;
  const size_t bytesPerRow = size_t(page.width + 7) / 8;
  for (LONG y = 0; y < page.height && ok; ++y) ok = writer.writeRow(y, rows.data() + size_t(y) * bytesPerRow);
  ok = writer.endPage() && ok;
  ok = writer.endJob() && ok;
  papplDeviceFlush(device);
  if (!ok) {
    papplJobSetMessage(job, "The printer stopped taking data; the job was not printed.");
    return false;
  }
  papplJobSetImpressionsCompleted(job, 1);
  return true;
}

void fillDriverData(const ModelInfo& model, pappl_pr_driver_data_t* data) {
  const driver::ModelProfile& p = *model.profile;
  std::snprintf(data->make_and_model, sizeof data->make_and_model, "Varodyn %s", p.modelName);
  data->rstartjob_cb = rstartjob;
  data->rstartpage_cb = rstartpage;
  data->rwriteline_cb = rwriteline;
  data->rendpage_cb = rendpage;
  data->rendjob_cb = rendjob;
  data->printfile_cb = printfile;
  data->format = kRawFormat;
  data->kind = PAPPL_KIND_LABEL;
  data->ppm = 10;
  data->orient_default = IPP_ORIENT_PORTRAIT;
  data->color_supported = PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_MONOCHROME;
  data->color_default = PAPPL_COLOR_MODE_MONOCHROME;
  data->raster_types = PAPPL_PWG_RASTER_TYPE_BLACK_1 | PAPPL_PWG_RASTER_TYPE_SGRAY_8;
  data->force_raster_type = PAPPL_PWG_RASTER_TYPE_BLACK_1;
  std::memcpy(data->gdither, g_threshold, sizeof g_threshold);
  data->scaling_default = PAPPL_SCALING_AUTO;
  data->num_resolution = 1;
  data->x_resolution[0] = data->x_default = p.resolution.dpiX;
  data->y_resolution[0] = data->y_default = p.resolution.dpiY;
  data->borderless = true;
  data->left_right = 0;
  data->bottom_top = 0;
  data->num_media = 0;
  for (const MediaEntry& e : model.media) data->media[data->num_media++] = e.pwgName.c_str();
  data->media[data->num_media++] = model.customMin.c_str();
  data->media[data->num_media++] = model.customMax.c_str();
  data->num_source = 1;
  data->source[0] = "main-roll";
  data->num_type = 3;
  data->type[0] = mediaTypeOf(2);
  data->type[1] = mediaTypeOf(1);
  data->type[2] = mediaTypeOf(3);
  data->tracking_supported = PAPPL_MEDIA_TRACKING_GAP | PAPPL_MEDIA_TRACKING_MARK | PAPPL_MEDIA_TRACKING_CONTINUOUS;
  const MediaEntry& first = model.media.front();
  pappl_media_col_t& media = data->media_default;
  std::memset(&media, 0, sizeof media);
  std::snprintf(media.size_name, sizeof media.size_name, "%s", first.pwgName.c_str());
  media.size_width = first.label.width * 10;
  media.size_length = first.label.height * 10;
  std::snprintf(media.source, sizeof media.source, "main-roll");
  std::snprintf(media.type, sizeof media.type, "%s", mediaTypeOf(first.label.labelType));
  media.tracking = PAPPL_MEDIA_TRACKING_GAP;
  data->media_ready[0] = media;
  data->mode_supported = PAPPL_LABEL_MODE_TEAR_OFF | PAPPL_LABEL_MODE_PEEL_OFF | PAPPL_LABEL_MODE_CUTTER |
                         PAPPL_LABEL_MODE_APPLICATOR;
  data->mode_configured = labelModeOf(first.label.printMode);
  data->darkness_supported = 16;
  data->darkness_configured = darknessOfDensity(first.label.density);
  data->darkness_default = 0;
  data->tear_offset_supported[0] = -1000;
  data->tear_offset_supported[1] = 1000;
  data->identify_supported = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
  data->identify_default = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
}

bool driverCallback(pappl_system_t* system, const char* driverName, const char*, const char*, pappl_pr_driver_data_t* data,
                    ipp_t** attrs, void*) {
  const ModelInfo* model = driverName ? modelByDriver(driverName) : nullptr;
  if (!model) return false;
  fillDriverData(*model, data);
  data->num_vendor = 1;
  data->vendor[0] = kSpeedCode;
  if (!*attrs) *attrs = ippNew();
  const std::string supported = std::string(kSpeedCode) + "-supported";
  const std::string fallback = std::string(kSpeedCode) + "-default";
  ippAddRange(*attrs, IPP_TAG_PRINTER, supported.c_str(), 1, speedCodeCount(*model->profile));
  ippAddInteger(*attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, fallback.c_str(),
                static_cast<int>(model->profile->defaultSpeed));
  // Filters to the printer's own format come before PAPPL's raster path.
  static std::once_flag filterAdded;
  std::call_once(filterAdded, [system] { papplSystemAddMIMEFilter(system, "image/png", kRawFormat, printPng, nullptr); });
  return true;
}

const char* autoadd(const char*, const char*, const char* deviceId, void*) {
  const ModelInfo* model = deviceId ? modelOfDeviceId(deviceId) : nullptr;
  return model ? model->driverName : nullptr;
}

}  // namespace

int run(int argc, char* argv[]) {
  for (auto& row : g_threshold)
    for (auto& v : row) v = 127;
  DriverTable& t = driverTable();
  return papplMainloop(argc, argv, "1.0.0", nullptr, static_cast<int>(t.drivers.size()), t.drivers.data(), autoadd,
                       driverCallback, nullptr, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace printerapp

int main(int argc, char* argv[]) { return printerapp::run(argc, argv); }
