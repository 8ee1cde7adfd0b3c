// Every setting, print and reset choice a user can make, in the printer's
// own values, and the bytes that choice sends as one job. The
// configuration tool's window tests and the printer application's
// settings tests both run this one table, each through its own controls,
// so the two cannot send different bytes for the same choice. The
// settings page's browser test (tests/ipp/web_test.py) reads the rows as
// text and makes each choice in Chromium: keep one row per line.
#pragma once

namespace printercmd::cases {

enum class Choice {
  Buzzer,               // value: 0 sounds, 1 silent
  HeadCheck,            // value: 1 on, 0 off
  LabelStop,            // value: 0 off, 1 automatic, 2 manual
  Feed,                 // value: feed at power-on, second: feed when the head is closed (1 on)
  GapLevel,             // value: 1..100
  MarkLevel,            // value: 1..100
  PrintSettings,
  PrintIdentification,
  PrintTestLabel,
  FactoryReset,         // after both confirmations
};

struct ChoiceCase {
  const char* label;
  Choice choice;
  int value;
  int second;
  const char* bytes;
};

inline constexpr ChoiceCase kChoiceCases[] = {
    {"BuzzerSounds", Choice::Buzzer, 0, 0, "DEF BZ=0\r\n"},
    {"BuzzerSilent", Choice::Buzzer, 1, 0, "DEF BZ=1\r\n"},
    {"HeadCheckOn", Choice::HeadCheck, 1, 0, "DEF HC=1\r\n"},
    {"HeadCheckOff", Choice::HeadCheck, 0, 0, "DEF HC=0\r\n"},
    {"LabelStopOffGoesAlone", Choice::LabelStop, 0, 0, "DEF AP=0\r\n"},
    {"LabelStopAutomatic", Choice::LabelStop, 1, 0, "DEF AP=1\r\nFSET CSET=16,ADD=1\r\n"},
    {"LabelStopManual", Choice::LabelStop, 2, 0, "DEF AP=2\r\nFSET CSET=16,ADD=1\r\n"},
    {"FeedNeither", Choice::Feed, 0, 0, "DEF AF=0,CH=0\r\n"},
    {"FeedBoth", Choice::Feed, 1, 1, "DEF AF=1,CH=1\r\n"},
    {"FeedAtPowerOnOnly", Choice::Feed, 1, 0, "DEF AF=1,CH=0\r\n"},
    {"FeedOnHeadCloseOnly", Choice::Feed, 0, 1, "DEF AF=0,CH=1\r\n"},
    // The sensor levels' ends and values between them.
    {"GapLowest", Choice::GapLevel, 1, 0, "FSET SG=1\r\n"},
    {"GapMiddle", Choice::GapLevel, 64, 0, "FSET SG=64\r\n"},
    {"MarkMiddle", Choice::MarkLevel, 71, 0, "FSET SM=71\r\n"},
    {"MarkHighest", Choice::MarkLevel, 100, 0, "FSET SM=100\r\n"},
    {"PrintSettings", Choice::PrintSettings, 0, 0, "FSET CSET=6\r\n"},
    {"PrintIdentification", Choice::PrintIdentification, 0, 0, "FSET CSET=8\r\n"},
    {"PrintTestLabel", Choice::PrintTestLabel, 0, 0, "FSET CSET=11\r\n"},
    {"FactoryReset", Choice::FactoryReset, 0, 0, "FSET CSET=12\r\n"},
};

// The bytes of a choice that takes no value (the print buttons, the reset).
inline const char* bytesOf(Choice choice) {
  for (const ChoiceCase& c : kChoiceCases)
    if (c.choice == choice) return c.bytes;
  return "";
}

}  // namespace printercmd::cases
