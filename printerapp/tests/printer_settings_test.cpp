// The settings page's logic: what each form sends (the configuration
// tool's bytes for the same choice), what is refused, the factory reset's
// two questions, the command line's options, and the reading of the
// printer's answers from a scripted printer.
#include "printer_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "choice_cases.h"

namespace {

using namespace printerapp;

// The page's form for a choice of the table the configuration tool's tests
// run too, and the values the page then shows.
struct PageForm {
  FormFields form;
  FormFields shown;
};

PageForm pageFormOf(const printercmd::cases::ChoiceCase& c) {
  using printercmd::cases::Choice;
  auto number = [&](const char* action) {
    return PageForm{{{"action", action}, {action, std::to_string(c.value)}}, {{action, std::to_string(c.value)}}};
  };
  switch (c.choice) {
    case Choice::Buzzer:
      return number("buzzer");
    case Choice::HeadCheck:
      return number("head-check");
    case Choice::LabelStop:
      return number("label-stop");
    case Choice::GapLevel:
      return number("gap-level");
    case Choice::MarkLevel:
      return number("mark-level");
    case Choice::Feed: {
      // Unchecked boxes are not in a browser's form at all.
      PageForm f{{{"action", "feed"}},
                 {{"feed-power-on", std::to_string(c.value)}, {"feed-head-close", std::to_string(c.second)}}};
      if (c.value) f.form.emplace_back("feed-power-on", "1");
      if (c.second) f.form.emplace_back("feed-head-close", "1");
      return f;
    }
    case Choice::PrintSettings:
      return {{{"action", "print-settings"}}, {}};
    case Choice::PrintIdentification:
      return {{{"action", "print-identification"}}, {}};
    case Choice::PrintTestLabel:
      return {{{"action", "print-test"}}, {}};
    case Choice::FactoryReset:
      return {{{"action", "factory-reset"}, {"confirm", "2"}}, {}};
  }
  return {};
}

TEST(SettingRequest, SendsTheToolsBytesForEachChoice) {
  for (const printercmd::cases::ChoiceCase& c : printercmd::cases::kChoiceCases) {
    const PageForm page = pageFormOf(c);
    const Request r = requestOf(page.form);
    ASSERT_EQ(r.kind, Request::Kind::Send) << c.label;
    EXPECT_EQ(r.bytes, c.bytes) << c.label;
    EXPECT_EQ(r.shown, page.shown) << c.label;
  }
  // A browser may send a checked box as "on".
  const Request on = requestOf({{"action", "feed"}, {"feed-head-close", "on"}});
  EXPECT_EQ(on.bytes, requestOf(pageFormOf({"", printercmd::cases::Choice::Feed, 0, 1, ""}).form).bytes);
  EXPECT_EQ(on.shown, (FormFields{{"feed-power-on", "0"}, {"feed-head-close", "1"}}));
}

struct RefusedCase {
  FormFields form;
  Text why;
  std::string field;
  int low, high;
};

TEST(SettingRequest, RefusesValuesOutsideTheirRangeAndNamesIt) {
  const RefusedCase cases[] = {
      {{{"action", "gap-level"}, {"gap-level", "0"}}, Text::OutOfRange, "gap-level", 1, 100},
      {{{"action", "gap-level"}, {"gap-level", "101"}}, Text::OutOfRange, "gap-level", 1, 100},
      {{{"action", "mark-level"}, {"mark-level", "-5"}}, Text::OutOfRange, "mark-level", 1, 100},
      {{{"action", "mark-level"}, {"mark-level", "abc"}}, Text::NotANumber, "mark-level", 1, 100},
      {{{"action", "mark-level"}, {"mark-level", "5x"}}, Text::NotANumber, "mark-level", 1, 100},
      {{{"action", "mark-level"}, {"mark-level", " 5"}}, Text::NotANumber, "mark-level", 1, 100},
      {{{"action", "gap-level"}, {"gap-level", ""}}, Text::NotANumber, "gap-level", 1, 100},
      {{{"action", "gap-level"}, {"gap-level", "99999999999"}}, Text::NotANumber, "gap-level", 1, 100},
      {{{"action", "gap-level"}}, Text::NotANumber, "gap-level", 1, 100},
      {{{"action", "buzzer"}, {"buzzer", "2"}}, Text::OutOfRange, "buzzer", 0, 1},
      {{{"action", "head-check"}, {"head-check", "-1"}}, Text::OutOfRange, "head-check", 0, 1},
      {{{"action", "label-stop"}, {"label-stop", "3"}}, Text::OutOfRange, "label-stop", 0, 2},
      {{{"action", "feed"}, {"feed-power-on", "2"}}, Text::OutOfRange, "feed-power-on", 0, 1},
      {{{"action", "feed"}, {"feed-head-close", "yes"}}, Text::OutOfRange, "feed-head-close", 0, 1},
      {{{"buzzer", "1"}}, Text::BadRequest, "", 0, 0},
      {{{"action", "format-disk"}}, Text::BadRequest, "", 0, 0},
      {{{"action", "factory-reset"}, {"confirm", "3"}}, Text::BadRequest, "", 0, 0},
      {{{"action", "factory-reset"}, {"confirm", "x"}}, Text::BadRequest, "", 0, 0},
  };
  for (const RefusedCase& c : cases) {
    const Request r = requestOf(c.form);
    const std::string label = c.form[0].second + (c.form.size() > 1 ? "=" + c.form[1].second : "");
    ASSERT_EQ(r.kind, Request::Kind::Refused) << label;
    EXPECT_TRUE(r.bytes.empty()) << label;
    EXPECT_EQ(r.why, c.why) << label;
    EXPECT_EQ(r.field, c.field) << label;
    if (!c.field.empty()) {
      EXPECT_EQ(r.low, c.low) << label;
      EXPECT_EQ(r.high, c.high) << label;
    }
  }
  Request level = requestOf({{"action", "gap-level"}, {"gap-level", "101"}});
  EXPECT_EQ(describeRefusal(Language::English, level), "gap-level: out of range (1..100)");
  EXPECT_EQ(describeRefusal(Language::Chinese, level), "gap-level: 超出范围 (1..100)");
}

TEST(SettingRequest, FactoryResetAsksTwiceBeforeSending) {
  const Request first = requestOf({{"action", "factory-reset"}});
  EXPECT_EQ(first.kind, Request::Kind::Confirm);
  EXPECT_EQ(first.step, 1);
  EXPECT_TRUE(first.bytes.empty());
  const Request second = requestOf({{"action", "factory-reset"}, {"confirm", "1"}});
  EXPECT_EQ(second.kind, Request::Kind::Confirm);
  EXPECT_EQ(second.step, 2);
  EXPECT_TRUE(second.bytes.empty());
}

TEST(SettingRequest, CommandLineOptionsBecomeTheSameForms) {
  const FormFields options = {{"printer-name", "a"},     {"buzzer", "1"},      {"feed-head-close", "1"},
                              {"gap-level", "30"},       {"print", "test"},    {"factory-reset", "confirm"},
                              {"read", "all"},           {"mark-level", "101"}};
  std::vector<std::string> sent;
  std::vector<Request::Kind> kinds;
  for (const FormFields& form : settingsRequestsOf(options)) {
    const Request r = requestOf(form);
    kinds.push_back(r.kind);
    sent.push_back(r.kind == Request::Kind::Send ? r.bytes : "");
  }
  const std::vector<std::string> expected = {"DEF BZ=1\r\n", "FSET SG=30\r\n", "",  // mark-level 101: refused
                                             "DEF AF=0,CH=1\r\n", "FSET CSET=11\r\n", "FSET CSET=12\r\n", ""};
  EXPECT_EQ(sent, expected);
  ASSERT_EQ(kinds.size(), expected.size());
  EXPECT_EQ(kinds[2], Request::Kind::Refused);
  EXPECT_EQ(kinds.back(), Request::Kind::Read);
  // Without "confirm" the reset from the command line is only its question.
  const auto unconfirmed = settingsRequestsOf({{"factory-reset", "yes"}});
  ASSERT_EQ(unconfirmed.size(), 1u);
  EXPECT_EQ(requestOf(unconfirmed[0]).kind, Request::Kind::Confirm);
  EXPECT_TRUE(settingsRequestsOf({{"printer-name", "a"}}).empty());
}

// A printer that answers each query from a script, and records what was
// written and how long each reply was waited for.
struct ScriptedPrinter : Channel {
  std::map<std::string, std::string> replies;
  std::string closeAfter;  // the command after which the printer hangs up
  bool failWrites = false;
  std::vector<std::string> written;
  std::vector<int> waits;
  bool write(std::string_view bytes) override {
    if (failWrites) return false;
    written.emplace_back(bytes);
    return true;
  }
  std::string read(bool* closed) override {
    if (!closeAfter.empty() && written.back() == closeAfter) {
      *closed = true;
      return {};
    }
    auto it = replies.find(written.back());
    return it == replies.end() ? std::string() : it->second;
  }
  void sleep(int ms) override { waits.push_back(ms); }
};

const std::string kDefReply = "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,12345,21,22,23,24,25,26,27\r\n";

TEST(PrinterReadings, AsksAsTheMonitorAsksAndReadsEachReply) {
  ScriptedPrinter p;
  p.replies = {{"VER\r\n", "KV830\r\nV2.10\r\nIPL 1.3\r\n"},
               {"GETDEF\r\n", kDefReply},
               {"RESOL\r\n", "12\r\n"},
               {"MAINT\r\n", "1,2,3\r\n"},
               {"\x1bSTATUS\r\n", "\x06OK\r\n"}};
  const Readings r = readPrinter(p);
  EXPECT_EQ(p.written, (std::vector<std::string>{"VER\r\n", "GETDEF\r\n", "RESOL\r\n", "MAINT\r\n", "\x1bSTATUS\r\n",
                                                 "\x1bGETPG\r\n"}));
  EXPECT_EQ(p.waits, (std::vector<int>{120, 480, 120, 600, 120, 120}));
  ASSERT_TRUE(r.haveVersion);
  EXPECT_EQ(r.version.system, "V2.10");
  EXPECT_EQ(r.version.ipl, "IPL 1.3");
  ASSERT_TRUE(r.haveDistance);
  EXPECT_EQ(r.distanceMetres, "12.345");
  EXPECT_EQ(r.resolution, printercmd::Resolution::Dots12PerMm);
  // The raw replies stay as they came; one that got nothing is empty.
  EXPECT_EQ(r.rawOf(Query::Maintenance), "1,2,3\r\n");
  EXPECT_EQ(visibleBytes(r.rawOf(Query::Status)), "\\x06OK\\r\\n");
  EXPECT_EQ(r.rawOf(Query::PageCounter), "");
  EXPECT_FALSE(r.closed);
  EXPECT_TRUE(r.silent);  // the last query got nothing
}

TEST(PrinterReadings, SilenceGarbageAndHangUpsReadAsNothing) {
  ScriptedPrinter silent;
  const Readings none = readPrinter(silent);
  EXPECT_FALSE(none.haveVersion);
  EXPECT_FALSE(none.haveDistance);
  EXPECT_EQ(none.resolution, printercmd::Resolution::Unknown);
  EXPECT_TRUE(none.silent);
  EXPECT_EQ(silent.written, std::vector<std::string>{"VER\r\n"});  // one wait, not one per query

  ScriptedPrinter garbage;
  garbage.replies = {{"VER\r\n", "\xff\xfe"}, {"GETDEF\r\n", "1,2,x\r\n"}, {"RESOL\r\n", "9\r\n"},
                     {"MAINT\r\n", "?"}, {"\x1bSTATUS\r\n", "?"}, {"\x1bGETPG\r\n", "?"}};
  const Readings bad = readPrinter(garbage);
  EXPECT_FALSE(bad.haveVersion);
  EXPECT_FALSE(bad.haveDistance);
  EXPECT_EQ(bad.resolution, printercmd::Resolution::Unknown);
  EXPECT_EQ(bad.rawOf(Query::Version), "\xff\xfe");
  EXPECT_FALSE(bad.silent);
  EXPECT_TRUE(bad.garbled());
  EXPECT_FALSE(none.garbled());
  EXPECT_EQ(garbage.written.size(), querySteps().size());

  ScriptedPrinter hangsUp;
  hangsUp.replies = {{"VER\r\n", "A\r\nB\r\nC\r\n"}};
  hangsUp.closeAfter = "GETDEF\r\n";
  const Readings dropped = readPrinter(hangsUp);
  EXPECT_TRUE(dropped.closed);
  EXPECT_TRUE(dropped.haveVersion);
  EXPECT_FALSE(dropped.garbled());
  EXPECT_EQ(hangsUp.written.size(), 2u);  // nothing more after the hang-up

  ScriptedPrinter unwritable;
  unwritable.failWrites = true;
  const Readings unsent = readPrinter(unwritable);
  EXPECT_FALSE(unsent.written[size_t(Query::Version)]);
  EXPECT_TRUE(unwritable.waits.empty());
}

TEST(PrinterReadings, ResolutionIsCheckedAgainstTheDriver) {
  struct Case {
    printercmd::Resolution printer;
    int driverDpi;
    bool warns;
  } const cases[] = {
      {printercmd::Resolution::Dots12PerMm, 203, true},  {printercmd::Resolution::Dots8PerMm, 299, true},
      {printercmd::Resolution::Dots12PerMm, 299, false}, {printercmd::Resolution::Dots8PerMm, 203, false},
      {printercmd::Resolution::Unknown, 203, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(!resolutionWarning(Language::English, c.printer, c.driverDpi).empty(), c.warns)
        << int(c.printer) << " " << c.driverDpi;
  EXPECT_EQ(resolutionWarning(Language::English, printercmd::Resolution::Dots12PerMm, 203),
            "The printer's resolution does not match its driver: the printer is 300 dpi (12 dots/mm), its driver is "
            "203 dpi");
}

TEST(PageTexts, LanguageComesFromTheFirstAcceptedLanguage) {
  struct Case {
    const char* header;
    Language language;
  } const cases[] = {{"zh-CN,zh;q=0.9,en;q=0.8", Language::Chinese},
                     {"ZH-tw", Language::Chinese},
                     {"en-US,zh-CN;q=0.5", Language::English},
                     {"", Language::English},
                     {nullptr, Language::English}};
  for (const Case& c : cases) EXPECT_EQ(languageOf(c.header), c.language) << (c.header ? c.header : "(none)");
}

TEST(PageTexts, EveryTextHasBothLanguages) {
  for (int i = 0; i < int(Text::Count_); ++i) {
    EXPECT_STRNE(text(Language::English, Text(i)), "") << i;
    EXPECT_STRNE(text(Language::Chinese, Text(i)), "") << i;
  }
}

// The Chinese texts the configuration tool has are its own, word for word.
TEST(PageTexts, ChineseTextsAreTheToolsWhereItHasThem) {
  std::string resources;
  for (const char* name : {"dialogs.rc", "strings_main.rc", "strings_sensor.rc", "strings_read.rc"}) {
    std::ifstream in(std::string(TOOL_RESOURCE_DIR) + "/" + name);
    ASSERT_TRUE(in) << name;
    std::stringstream s;
    s << in.rdbuf();
    resources += s.str();
  }
  for (Text id : {Text::Buzzer, Text::BuzzerOn, Text::BuzzerOff, Text::HeadCheck, Text::On, Text::Off,
                  Text::LabelStop, Text::LabelStopManual, Text::LabelStopAuto, Text::Feed, Text::FeedAtPowerOn,
                  Text::FeedAtHeadClose, Text::Set, Text::PrintSettings, Text::PrintIdentification,
                  Text::PrintTest, Text::FactoryReset, Text::FactoryResetAskAgain, Text::SettingSent,
                  Text::PrintSent, Text::Printer203, Text::Printer300})
    EXPECT_NE(resources.find(std::string("\"") + text(Language::Chinese, id)), std::string::npos)
        << text(Language::Chinese, id);
}

}  // namespace
