// The printer's stored settings, its test and maintenance commands and its
// answers over the print channel, as the settings page and the command
// line offer them: what a request asks for, the exact bytes it sends (the
// command layer's, as the configuration tool sends them), and the reading
// of the printer's replies. No PAPPL here: the callers own the device.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "printer_commands.h"

namespace printerapp {

// ---- texts ---------------------------------------------------------------
enum class Language { English, Chinese };
// The first language of an Accept-Language header: Chinese for "zh...",
// English for anything else (or none).
Language languageOf(const char* acceptLanguage);

enum class Text {
  PageTitle,
  Buzzer, BuzzerOn, BuzzerOff,
  HeadCheck, On, Off,
  LabelStop, LabelStopOff, LabelStopManual, LabelStopAuto,
  Feed, FeedAtPowerOn, FeedAtHeadClose,
  GapLevel, MarkLevel,
  Set,
  PrintSettings, PrintIdentification, PrintTest,
  FactoryReset, FactoryResetAsk, FactoryResetAskAgain, Yes,
  ReadPrinter, FirmwareVersion, IplVersion, PrintDistance, Resolution,
  MaintReply, StatusReply, PageCounterReply, RawNote,
  SettingSent, PrintSent, NotSent, NoAnswer, Printer203, Printer300,
  ResolutionMismatch, StoppedAnswering, ConnectionClosed, AnswersNotUnderstood, OutOfRange, NotANumber, BadRequest, BadToken, Busy, ShownValuesNote,
  Count_
};
// One table per language; every entry is set.
const char* text(Language language, Text id);

// ---- a request from the page or the command line --------------------------
using FormFields = std::vector<std::pair<std::string, std::string>>;
// The value of a field, or null when the form has none of that name.
const std::string* fieldOf(const FormFields& form, std::string_view name);

struct Request {
  enum class Kind {
    Send,     // `bytes` go to the printer as one job
    Confirm,  // factory reset: ask (again) before anything is sent; `step` is the next confirm value
    Read,     // run the queries
    Refused,  // nothing is sent; `why` says why
  };
  Kind kind = Kind::Refused;
  std::string bytes;
  bool isPrint = false;  // a label comes out (the print buttons), not a stored setting
  int step = 0;
  Text why = Text::BadRequest;
  std::string field;     // the refused field
  int low = 0, high = 0; // its range, when out of range
  // The values a page shows after the change: what was sent.
  FormFields shown;
};

// The request a form's `action` and fields ask for.
Request requestOf(const FormFields& form);

// The requests of the command line's -o options, in the page's order of
// settings: each setting option becomes the form of its button
// ("buzzer=1" is action=buzzer, buzzer=1; the feed options go together),
// "print=settings|identification|test" a print button,
// "factory-reset=confirm" the reset after both confirmations (any other
// value its first question), "read=all" the queries. Options of no setting
// are left to the main loop.
std::vector<FormFields> settingsRequestsOf(const FormFields& options);

// "gap-level must be 1..100" and the like, in the page's language.
std::string describeRefusal(Language language, const Request& request);

// ---- the printer's answers ------------------------------------------------
// What a query is written to and read from: the printer application's
// device connection, or a test's script.
struct Channel {
  virtual ~Channel() = default;
  virtual bool write(std::string_view bytes) = 0;
  // One read of what has arrived (empty when nothing came in the
  // device's time). Sets *closed when the printer closed the connection.
  virtual std::string read(bool* closed) = 0;
  virtual void sleep(int ms) = 0;
};

enum class Query { Version, DefInfo, Resolution, Maintenance, Status, PageCounter, Count_ };
// The command of a query and the wait before its reply is read, as the
// language monitor waits for it.
struct QueryStep {
  Query query;
  std::string_view command;
  int waitMs;
};
const std::vector<QueryStep>& querySteps();

struct Readings {
  bool written[size_t(Query::Count_)] = {};
  std::string raw[size_t(Query::Count_)];  // as received
  bool closed = false;                     // the printer dropped the connection
  bool silent = false;                     // a query got no answer: the later ones were not asked
  bool haveVersion = false;
  printercmd::VersionInfo version;
  bool haveDistance = false;
  std::string distanceMetres;
  printercmd::Resolution resolution = printercmd::Resolution::Unknown;
  const std::string& rawOf(Query q) const { return raw[size_t(q)]; }
  // The printer answered every query asked, but none of the answers whose
  // form is known (version, settings, resolution) could be read.
  bool garbled() const {
    return !closed && !silent && !haveVersion && !haveDistance && resolution == printercmd::Resolution::Unknown;
  }
};
// Sends the queries one after another on the channel and reads each reply
// after its wait. A write that fails, a closed connection or a query that
// gets no answer at all ends the run: a printer that does not answer costs
// one read's wait, not one per query.
Readings readPrinter(Channel& channel);

// The dots per inch the printer's resolution reply means (203, 300), 0 for
// an unknown reply.
int dpiOf(printercmd::Resolution resolution);
// The warning for a printer whose resolution differs from its driver's
// (empty when they agree or the printer did not say).
std::string resolutionWarning(Language language, printercmd::Resolution printer, int driverDpi);

// Bytes as shown on a page or a terminal: printable ASCII as it is, every
// other byte as \xNN (CR and LF as \r and \n).
std::string visibleBytes(std::string_view bytes);

}  // namespace printerapp
