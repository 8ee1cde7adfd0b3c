// The printer application: both models as IPP Everywhere printers on PAPPL,
// raster turned into the printer's job language by the driver's core.
#include <pappl/pappl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "image_page.h"
#include "jpeg_image.h"
#include "job_delivery.h"
#include "label_job.h"
#include "models.h"
#include "printer_commands.h"
#include "raw_check.h"
#include "settings_cli.h"
#include "settings_web.h"
#include "test_page.h"

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

// The label modes' settings the DEF line carries, in the label
// definition's own units and sent as they are: the peel-off and cutter
// offsets and the cutter's labels per cut (0: the printer's own).
struct VendorRange {
  const char* name;
  int low, high;
};
constexpr VendorRange kPeelOffset{"peel-off-offset", -100, 100};
constexpr VendorRange kCutterOffset{"cutter-offset", -100, 100};
constexpr VendorRange kCutInterval{"cut-interval", 0, 99};

// A vendor attribute's value for the job: the job's own, else the
// printer's default (PAPPL looks the default up among the job's
// attributes, where it never is), else `fallback`; values outside
// `low`..`high` count as absent.
int vendorValue(pappl_printer_t* printer, const pappl_pr_options_t* options, const char* name, int low, int high,
                int fallback) {
  auto accepted = [&](long v) { return v >= low && v <= high; };
  if (const char* text = cupsGetOption(name, options->num_vendor, options->vendor)) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end != text && !*end && accepted(v)) return static_cast<int>(v);
  }
  int value = fallback;
  if (ipp_t* attrs = papplPrinterGetDriverAttributes(printer)) {
    const std::string defaultName = std::string(name) + "-default";
    if (ipp_attribute_t* a = ippFindAttribute(attrs, defaultName.c_str(), IPP_TAG_INTEGER))
      if (accepted(ippGetInteger(a, 0))) value = ippGetInteger(a, 0);
    ippDelete(attrs);
  }
  return value;
}

// The job's speed code, when it names one the model has.
int speedCodeOf(pappl_printer_t* printer, const driver::ModelProfile& p, const pappl_pr_options_t* options) {
  return vendorValue(printer, options, kSpeedCode, 1, speedCodeCount(p), 0);
}

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

// A page the encoder could not code: nothing more of the job is sent.
constexpr char kNotEncoded[] = "The label could not be coded for the printer; the job was not printed.";

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
  JobState(pappl_job_t* job, const ModelInfo* m, const LabelSpec& l, int c, pappl_device_t* device)
      : model(m), label(l), copies(c), delivery(job, device), writer(&JobDelivery::write, &delivery) {}
  const ModelInfo* model;
  LabelSpec label;
  int copies;
  JobDelivery delivery;
  LabelJobWriter writer;
  bool greyRows = false;           // the page comes as sgray_8
  LONG rowWidth = 0;               // dots of each row PAPPL hands over
  std::vector<uint8_t> rowBits;    // one grey row as printed dots
  LONG rowsExpected = 0;           // rows the page header announces
  LONG rowsSeen = 0;               // rows PAPPL handed over
  bool abandoned = false;          // a page came short: the job is given up
};

LabelSpec labelOfJob(const ModelInfo& model, pappl_printer_t* printer, const pappl_pr_options_t* options) {
  LabelSpec label = labelForSize(model, options->media.size_width, options->media.size_length);
  const int type = labelTypeOf(options->media.type);
  if (type) label.labelType = type;
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  label.printMode = printModeOf(data.mode_configured);
  label.offsetTearOff = data.tear_offset_configured / 10;  // hundredths -> tenths of a millimetre
  label.offsetPeelOff = vendorValue(printer, options, kPeelOffset.name, kPeelOffset.low, kPeelOffset.high, 0);
  label.offsetCutter = vendorValue(printer, options, kCutterOffset.name, kCutterOffset.low, kCutterOffset.high, 0);
  label.cutInterval = vendorValue(printer, options, kCutInterval.name, kCutInterval.low, kCutInterval.high, 0);
  label.density = densityOf(options->darkness_configured, options->print_darkness);
  return label;
}

bool rstartjob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
  pappl_printer_t* printer = papplJobGetPrinter(job);
  const ModelInfo* model = modelOf(printer);
  if (!model) return false;
  auto* state = new JobState(job, model, labelOfJob(*model, printer, options),
                             options->copies > 0 ? options->copies : 1, device);
  // The printer prints the copies (QTY): every page goes out once.
  options->copies = 1;
  papplJobSetData(job, state);
  PrinterSettings settings;
  settings.speed = speedCodeOf(printer, *model->profile, options);
  const DefSource def = defValuesFor(*model->profile, state->label, settings);
  if (!state->writer.startJob(def, driver::defRulesOf(*model->profile), settings.graphicsMode)) {
    papplJobSetMessage(job, kNotEncoded);
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
  // Grey rows are thresholded here, as PNG and JPEG labels are, so bars
  // and text keep their edges.
  const LONG width = static_cast<LONG>(options->header.cupsWidth);
  state->greyRows = bits == 8;
  state->rowWidth = width;
  state->rowBits.assign(state->greyRows ? size_t(width + 7) / 8 : 0, 0);
  state->rowsExpected = static_cast<LONG>(options->header.cupsHeight);
  state->rowsSeen = 0;
  return state->writer.startPage(pageDotsOf(*state->model->profile, state->label), 1, width, state->copies);
}

bool rwriteline(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned y, const unsigned char* line) {
  auto* state = static_cast<JobState*>(papplJobGetData(job));
  if (!state) return false;
  state->rowsSeen = std::max(state->rowsSeen, static_cast<LONG>(y) + 1);
  if (!state->greyRows) return state->writer.writeRow(static_cast<LONG>(y), line);
  thresholdRow(line, state->rowWidth, state->rowBits.data());
  return state->writer.writeRow(static_cast<LONG>(y), state->rowBits.data());
}

bool rendpage(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned) {
  auto* state = static_cast<JobState*>(papplJobGetData(job));
  if (!state) return false;
  // PAPPL ends a page whose raster stopped early as if it were whole: a
  // cut label is not printed, and the job ends as a document error.
  if (state->rowsSeen < state->rowsExpected) {
    const bool nothingSent = state->writer.abandon();
    state->abandoned = true;
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
    papplJobSetMessage(job, "The raster page ended after %ld of its %ld rows; %s", static_cast<long>(state->rowsSeen),
                       static_cast<long>(state->rowsExpected),
                       nothingSent ? "nothing was sent to the printer." : "the job was cut short at the printer.");
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", papplJobGetMessage(job));
    return false;
  }
  if (!state->writer.endPage()) {
    papplJobSetMessage(job, kNotEncoded);
    return false;
  }
  return true;
}

bool rendjob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*) {
  std::unique_ptr<JobState> state(static_cast<JobState*>(papplJobGetData(job)));
  papplJobSetData(job, nullptr);
  if (!state) return false;
  if (state->abandoned) return false;
  if (!state->writer.endJob()) {
    papplJobSetMessage(job, kNotEncoded);
    return false;
  }
  return state->delivery.finish();
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
  JobDelivery delivery(job, device);
  DWORD written = 0;
  JobDelivery::write(&delivery, data.data(), static_cast<DWORD>(data.size()), &written);
  return delivery.finish();
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

// PNG and JPEG files are placed by the application itself, so
// print-scaling none prints one image pixel per dot whatever resolution the
// file declares.
bool printImage(pappl_job_t* job, pappl_device_t* device, const GreyImage& image);

bool printPng(pappl_job_t* job, pappl_device_t* device, void*) {
  GreyImage image;
  std::string error;
  if (!labelprint::readPng(papplJobGetFilename(job), &image, &error)) {
    papplJobSetMessage(job, "Not a PNG image: %s", error.c_str());
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Not a PNG image: %s", error.c_str());
    return false;
  }
  return printImage(job, device, image);
}

bool printJpeg(pappl_job_t* job, pappl_device_t* device, void*) {
  GreyImage image;
  std::string error;
  // Far beyond any label at 1:1, and still a bounded allocation.
  constexpr size_t kMaxPixels = size_t(1) << 27;
  if (!readJpeg(papplJobGetFilename(job), &image, &error, kMaxPixels)) {
    papplJobSetMessage(job, "Not a JPEG image: %s", error.c_str());
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Not a JPEG image: %s", error.c_str());
    return false;
  }
  return printImage(job, device, image);
}

bool printImage(pappl_job_t* job, pappl_device_t* device, const GreyImage& image) {
  pappl_printer_t* printer = papplJobGetPrinter(job);
  const ModelInfo* model = modelOf(printer);
  if (!model) return false;
  papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Placing a %dx%d image on the label.", image.width, image.height);
  pappl_pr_options_t* options = papplJobCreatePrintOptions(job, 1, false);
  const LabelSpec label = labelOfJob(*model, printer, options);
  const PageDots page = pageDotsOf(*model->profile, label);
  const Scaling scaling = scalingOf(options->print_scaling);
  const int turns = quarterTurnsOf(options->orientation_requested);
  // Printed one pixel per dot, an image larger than the largest label the
  // model takes cannot be what the user meant: refused, not cut.
  const driver::ModelProfile& p = *model->profile;
  const LONG maxAcross = LONG((long long)p.jobWidthLimit * p.resolution.dpiX / 254);
  const LONG maxAlong = LONG((long long)driver::kLongLabelLimit * p.resolution.dpiY / 254);
  const int across = turns % 2 ? image.height : image.width, along = turns % 2 ? image.width : image.height;
  if (scaling == Scaling::None && (across > maxAcross || along > maxAlong)) {
    papplJobSetMessage(job,
                       "The image is %dx%d dots, larger than any label of this printer (%dx%d); "
                       "print it with print-scaling fit.",
                       across, along, static_cast<int>(maxAcross), static_cast<int>(maxAlong));
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", papplJobGetMessage(job));
    papplJobDeletePrintOptions(options);
    return false;
  }
  const std::vector<uint8_t> rows = placeImage(image, page, scaling, turns);
  const int copies = options->copies > 0 ? options->copies : 1;
  PrinterSettings settings;
  settings.speed = speedCodeOf(printer, *model->profile, options);
  papplJobDeletePrintOptions(options);
  papplJobSetImpressions(job, 1);

  JobDelivery delivery(job, device);
  LabelJobWriter writer(&JobDelivery::write, &delivery);
  bool ok = writer.startJob(defValuesFor(*model->profile, label, settings), driver::defRulesOf(*model->profile),
                            settings.graphicsMode);
  ok = writer.startPage(page, 1, page.width, copies) && ok;
  const size_t bytesPerRow = size_t(page.width + 7) / 8;
  for (LONG y = 0; y < page.height && ok; ++y) ok = writer.writeRow(y, rows.data() + size_t(y) * bytesPerRow);
  ok = writer.endPage() && ok;
  ok = writer.endJob() && ok;
  if (!ok) {
    papplJobSetMessage(job, kNotEncoded);
    return false;
  }
  if (!delivery.finish()) return false;
  papplJobSetImpressionsCompleted(job, 1);
  return true;
}

// Identify: the printer prints its identification label.
void identify(pappl_printer_t* printer, pappl_identify_actions_t, const char*) {
  pappl_device_t* device = papplPrinterOpenDevice(printer);
  if (!device) {
    papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN, "Identify: the printer is busy or cannot be opened.");
    return;
  }
  if (!sendJob(device, std::string(printercmd::kPrintIdentification)))
    papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "Identify: the identification label was not sent.");
  papplPrinterCloseDevice(printer);
}

// The test page: a label the application draws for the label loaded,
// printed through the PNG path one pixel per dot.
const char* testPage(pappl_printer_t* printer, char* buffer, size_t size) {
  const ModelInfo* model = modelOf(printer);
  if (!model) return nullptr;
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  const pappl_media_col_t& media = data.media_ready[0].size_width > 0 ? data.media_ready[0] : data.media_default;
  const LabelSpec label = labelForSize(*model, media.size_width, media.size_length);
  const PageDots page = pageDotsOf(*model->profile, label);
  TestLabelInfo info;
  info.printerName = papplPrinterGetName(printer);
  info.model = model->profile->modelName;
  info.dpiX = int(model->profile->resolution.dpiX);
  info.dpiY = int(model->profile->resolution.dpiY);
  info.widthDots = int(page.width);
  info.heightDots = int(page.height);
  info.widthTenthsMm = media.size_width / 10;
  info.heightTenthsMm = media.size_length / 10;
  GreyImage image;
  std::string error;
  std::snprintf(buffer, size, "%s/test-label-%d-%d.png", papplGetTempDir(), papplPrinterGetID(printer),
                static_cast<int>(getpid()));
  if (!drawTestLabel(info, &image, &error) || !writeGreyPng(buffer, image, info.dpiX, info.dpiY, &error)) {
    papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "Test label: %s", error.c_str());
    return nullptr;
  }
  return buffer;
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
  // Grey only, thresholded here. PAPPL 1.3.1 hands the raster callbacks
  // the lines of the raster type it picks for the printer, converting only
  // grey to black, and that conversion writes past its line buffer when the
  // grey page is wider than the printer's (seen under valgrind with a
  // letter-size page from CUPS): with grey for both, nothing is converted.
  data->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
  data->force_raster_type = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
  data->scaling_default = PAPPL_SCALING_AUTO;
  data->num_resolution = 1;
  data->x_resolution[0] = data->x_default = p.resolution.dpiX;
  data->y_resolution[0] = data->y_default = p.resolution.dpiY;
  // Every size both edge to edge and with a 1 mm margin. A size offered
  // only without margins becomes "<size>.Borderless" in the queue CUPS
  // makes from these attributes, while its default keeps the plain name:
  // the default then names no size and CUPS renders a letter page.
  data->borderless = true;
  data->left_right = 100;
  data->bottom_top = 100;
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
  data->darkness_supported = int(driver::kDensityRule.high);
  data->darkness_configured = darknessOfDensity(first.label.density);
  data->darkness_default = 0;
  data->tear_offset_supported[0] = -1000;
  data->tear_offset_supported[1] = 1000;
  data->identify_cb = identify;
  data->testpage_cb = testPage;
  data->identify_supported = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
  data->identify_default = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
}

bool driverCallback(pappl_system_t*, const char* driverName, const char*, const char*, pappl_pr_driver_data_t* data,
                    ipp_t** attrs, void*) {
  const ModelInfo* model = driverName ? modelByDriver(driverName) : nullptr;
  if (!model) return false;
  fillDriverData(*model, data);
  data->num_vendor = 4;
  data->vendor[0] = kSpeedCode;
  if (!*attrs) *attrs = ippNew();
  int slot = 1;
  for (const VendorRange& v : {kPeelOffset, kCutterOffset, kCutInterval}) {
    data->vendor[slot++] = v.name;
    ippAddRange(*attrs, IPP_TAG_PRINTER, (std::string(v.name) + "-supported").c_str(), v.low, v.high);
    ippAddInteger(*attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, (std::string(v.name) + "-default").c_str(), 0);
  }
  const std::string supported = std::string(kSpeedCode) + "-supported";
  const std::string fallback = std::string(kSpeedCode) + "-default";
  ippAddRange(*attrs, IPP_TAG_PRINTER, supported.c_str(), 1, speedCodeCount(*model->profile));
  ippAddInteger(*attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, fallback.c_str(),
                static_cast<int>(model->profile->defaultSpeed));
  // What IPP Everywhere clients ask for, as it is here: no preferred
  // attributes, no colour management, one side, and a label roll whose
  // level the printer does not report.
  ippAddBoolean(*attrs, IPP_TAG_PRINTER, "preferred-attributes-supported", 0);
  ippAddString(*attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "print-rendering-intent-default", nullptr,
               "auto");
  ippAddString(*attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "print-rendering-intent-supported", nullptr,
               "auto");
  ippAddString(*attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "pwg-raster-document-sheet-back", nullptr,
               "normal");
  // Overrides: only the two selectors every IPP Everywhere client may send
  // (which documents, which pages); no job attribute is listed as
  // overridable, because every page of a job prints with the job's own
  // settings here.
  static const char* const overrides[] = {"document-number", "pages"};
  ippAddStrings(*attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), "overrides-supported", 2, nullptr,
                overrides);
  static const char supply[] =
      "index=1;class=supplyThatIsConsumed;type=other;unit=percent;maxcapacity=100;level=-2;colorantname=unknown;";
  ippAddOctetString(*attrs, IPP_TAG_PRINTER, "printer-supply", supply, static_cast<int>(sizeof supply - 1));
  ippAddString(*attrs, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-supply-description", nullptr, "Labels");

  return true;
}

const char* autoadd(const char*, const char*, const char* deviceId, void*) {
  const ModelInfo* model = deviceId ? modelOfDeviceId(deviceId) : nullptr;
  return model ? model->driverName : nullptr;
}

// The program's name as the main loop uses it (socket, state and spool).
std::string g_baseName = "varodyn-printer-app";

pappl_loglevel_t logLevelOf(const char* value) {
  static const struct {
    const char* name;
    pappl_loglevel_t level;
  } levels[] = {{"fatal", PAPPL_LOGLEVEL_FATAL}, {"error", PAPPL_LOGLEVEL_ERROR}, {"warn", PAPPL_LOGLEVEL_WARN},
                {"info", PAPPL_LOGLEVEL_INFO},   {"debug", PAPPL_LOGLEVEL_DEBUG}};
  for (const auto& l : levels)
    if (value && !std::strcmp(value, l.name)) return l.level;
  return PAPPL_LOGLEVEL_WARN;
}

// The spool directory the main loop's own system would use.
std::string spoolDirectory(int numOptions, cups_option_t* options) {
  if (const char* dir = cupsGetOption("spool-directory", numOptions, options)) return dir;
  if (const char* snap = std::getenv("SNAP_COMMON")) return std::string(snap) + "/" + g_baseName + ".d";
  if (getuid() == 0) {
    mkdir("/var/spool", 0755);
    return "/var/spool/" + g_baseName;
  }
  if (const char* home = std::getenv("HOME")) {
    const std::string config = std::string(home) + "/.config";
    mkdir(config.c_str(), 0700);
    return config + "/" + g_baseName + ".d";
  }
  return std::string(papplGetTempDir()) + "/" + g_baseName + std::to_string(getuid()) + ".d";
}

// The system object, made as the main loop makes its own, with the PNG
// filters to the printer's format registered before the system runs (PAPPL
// takes filters only then): they come before PAPPL's raster path.
pappl_system_t* makeSystem(int numOptions, cups_option_t* options, void*) {
  int port = 0;
  if (const char* value = cupsGetOption("server-port", numOptions, options)) {
    char* end = nullptr;
    const long n = std::strtol(value, &end, 10);
    if (n < 0 || n > 65535 || *end) {
      std::fprintf(stderr, "%s: Bad 'server-port' value.\n", g_baseName.c_str());
      return nullptr;
    }
    port = static_cast<int>(n);
  }
  const std::string spool = spoolDirectory(numOptions, options);
  pappl_system_t* system = papplSystemCreate(
      PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE, g_baseName.c_str(), port, "_print,_universal",
      spool.c_str(), cupsGetOption("log-file", numOptions, options),
      logLevelOf(cupsGetOption("log-level", numOptions, options)), cupsGetOption("auth-service", numOptions, options),
      false);
  if (!system) return nullptr;
  if (const char* group = cupsGetOption("admin-group", numOptions, options)) papplSystemSetAdminGroup(system, group);
  // PAPPL's page footer looks its text up unchecked: pages of its own and
  // ours end with it.
  papplSystemSetFooterHTML(system, "Varodyn label printers");
  addWebStrings(system);
  if (!cupsGetOption("private-server", numOptions, options))
    papplSystemAddListeners(system, cupsGetOption("listen-hostname", numOptions, options));
  DriverTable& t = driverTable();
  papplSystemSetPrinterDrivers(system, static_cast<int>(t.drivers.size()), t.drivers.data(), autoadd,
                               addSettingsPage, driverCallback, nullptr);
  watchUnreachablePrinters(system);
  papplSystemAddMIMEFilter(system, "image/png", kRawFormat, printPng, nullptr);
  papplSystemAddMIMEFilter(system, "image/jpeg", kRawFormat, printJpeg, nullptr);
  return system;
}

}  // namespace

int run(int argc, char* argv[]) {
  if (argc > 0 && argv[0]) {
    const char* slash = std::strrchr(argv[0], '/');
    g_baseName = slash ? slash + 1 : argv[0];
  }
  DriverTable& t = driverTable();
  return papplMainloop(argc, argv, "1.0.0", nullptr, static_cast<int>(t.drivers.size()), t.drivers.data(), autoadd,
                       driverCallback, "settings", settingsCommand, makeSystem, nullptr, nullptr);
}

}  // namespace printerapp

int main(int argc, char* argv[]) { return printerapp::run(argc, argv); }
