// The printer's query and setting commands: wire text of every command,
// reply parsers and the conversions applied to replies. Shared by the
// language monitor and the configuration tool; plain functions, no state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace printercmd {

// ---- query commands (fixed text, CR LF included, no terminating NUL sent) --
inline constexpr std::string_view kVersion = "VER\r\n";
inline constexpr std::string_view kDefInfo = "GETDEF\r\n";
inline constexpr std::string_view kMaintenance = "MAINT\r\n";
inline constexpr std::string_view kResolution = "RESOL\r\n";
inline constexpr std::string_view kTime = "GETTM\r\n";
inline constexpr std::string_view kStatus = "\x1bSTATUS\r\n";
inline constexpr std::string_view kSelfCheck = "CHECK\r\n";
inline constexpr std::string_view kPageCounter = "\x1bGETPG\r\n";
inline constexpr std::string_view kEmptyLine = "\r\n";
inline constexpr std::string_view kHeadCheck = "FSET CSET=13\r\n";
inline constexpr std::string_view kSensorLevels = "FSET CSET=14\r\n";
inline constexpr std::string_view kPrintSettings = "FSET CSET=6\r\n";
inline constexpr std::string_view kPrintIdentification = "FSET CSET=8\r\n";
inline constexpr std::string_view kPrintTestLabel = "FSET CSET=11\r\n";
inline constexpr std::string_view kFactoryReset = "FSET CSET=12\r\n";
inline constexpr std::string_view kLabelStopFollowUp = "FSET CSET=16,ADD=1\r\n";

// ---- commands with arguments ----------------------------------------------
// Each returns the complete command text ending in CR LF. Arguments are
// written as plain decimal; a negative argument (which the printer's syntax
// cannot carry) yields an empty string, which callers treat as "nothing to
// send".

// "USBS CLS=n": 0 printer mode, 1 HID mode, 2 printer mode on a parallel port.
std::string usbClass(int cls);
// "USBS CLS=2" when the queue's port name contains "LPT", else "USBS CLS=0".
std::string leaveHidMode(std::string_view portName);
// "DEF BZ=n": 0 sounds, 1 silent.
std::string buzzer(int value);
// "DEF HC=n": automatic print-head check, 1 on, 0 off.
std::string autoHeadCheck(int value);
// "DEF AP=n" (0 off, 1 automatic, 2 manual); for a value other than 0 the
// same text goes on with "FSET CSET=16,ADD=1\r\n", as both travel in one job.
std::string labelStop(int value);
// "DEF AF=a,CH=c": feed one label at power-on / when the head is closed.
std::string feed(int atPowerOn, int onHeadClose);
// "FSET SG=n" / "FSET SM=n": gap (transmissive) and mark sensor levels.
std::string gapSensorLevel(int level);
std::string markSensorLevel(int level);
// "FSET CSET=4,ADD=a,LEN=n": dump n bytes of settings memory from a.
std::string readSettingsMemory(int address, int length);

enum class Sensor { Mark = 0, Gap = 2 };
// "FSET CSET=9,ADD=2|0,CHK=30": automatic calibration of one sensor.
std::string calibrateSensor(Sensor sensor);

// ---- reply handling -------------------------------------------------------
// Removes every leading and trailing byte up to and including the space
// (white space and control characters); bytes from 0x80 up are kept.
std::string_view trim(std::string_view reply);

// Resolution probe: exactly "8\r\n" or "12\r\n", nothing trimmed.
enum class Resolution { Unknown, Dots8PerMm, Dots12PerMm };
Resolution classifyResolution(std::string_view reply);

// Reads comma-separated integers the way a scan format of "%d" (or "%x" for
// fields from firstHexField on) joined by commas does: leading white space
// before each number is skipped, a comma must follow directly, scanning
// stops at the first field that does not parse. A number outside the int
// range does not parse. Fields beyond `capacity` are still counted but not
// stored. Returns the number of fields read.
int scanIntegers(std::string_view text, int* values, int capacity, int firstHexField = -1);

// GETDEF: 27 decimal fields; the 20th is the printed media distance in mm.
struct DefInfo {
  int fields[27];
  int printDistanceMm() const { return fields[19]; }
};
// MAINT: 7 decimal then 4 hexadecimal fields.
struct Maintenance {
  int decimal[7];
  unsigned hex[4];
};
// FSET CSET=13: 6 fields; 1st result (0 normal, 1 drive circuit damaged,
// 2 broken heating dot), 2nd the broken dot's position in dots.
struct HeadCheck {
  int fields[6];
  int status() const { return fields[0]; }
  int brokenDot() const { return fields[1]; }
};
// FSET CSET=14: gap level, mark level, a third value.
struct SensorLevels {
  int gap;
  int mark;
  int third;
};

// Each parser trims the reply, scans it and returns the number of fields it
// found; the output is filled and the reply accepted only when that number
// is exactly the command's field count (27, 11, 6, 3, 1). Otherwise the
// output is left untouched.
int parseDefInfo(std::string_view reply, DefInfo* out);
int parseMaintenance(std::string_view reply, Maintenance* out);
int parseHeadCheck(std::string_view reply, HeadCheck* out);
int parseSensorLevels(std::string_view reply, SensorLevels* out);
// FSET CSET=9: one decimal integer; a level below 1 means the calibration
// failed (the count is still 1; the caller checks the level).
int parseCalibration(std::string_view reply, int* level);

inline constexpr int kDefInfoFields = 27;
inline constexpr int kMaintenanceFields = 11;
inline constexpr int kHeadCheckFields = 6;
inline constexpr int kSensorLevelFields = 3;

// VER reply: CR LF-separated lines; line 2 the system (firmware) version,
// line 3 the IPL version. Returns the number of lines found (a missing line
// leaves its text empty).
struct VersionInfo {
  std::string system;
  std::string ipl;
};
int parseVersion(std::string_view reply, VersionInfo* out);

// ---- settings memory -------------------------------------------------------
// The printer's settings memory, 8192 bytes indexed by address; a dump
// (FSET CSET=4) shows it byte by byte from address 0.
inline constexpr size_t kSettingsMemorySize = 8192;

// Where the printer keeps the stored settings the setting commands change,
// one byte each.
namespace settingsAddress {
inline constexpr size_t kBuzzer = 100;           // DEF BZ: 1 silent, other sounding
inline constexpr size_t kFeedAtPowerOn = 101;    // DEF AF: 1 on
inline constexpr size_t kFeedOnHeadClose = 109;  // DEF CH: 1 on
inline constexpr size_t kAutoHeadCheck = 122;    // DEF HC: 0 off, other on
inline constexpr size_t kLabelStop = 135;        // DEF AP: 0 off, 1 automatic, other manual
}  // namespace settingsAddress

// Settings-memory dump (FSET CSET=4): pairs of hex digits, either case,
// high digit first; pair i becomes image[i]. Decoded only when the digit
// count is even and at most 16384 (two digits for each byte of settings
// memory) and the image holds every pair. A byte that is not a hex digit
// counts as -1, so its pair becomes (16 * high + low) mod 256 (a trailing
// CR LF decodes as 0xEF). Returns the number of bytes written, or -1 when
// nothing was decoded.
inline constexpr size_t kMaxSettingsDigits = 2 * kSettingsMemorySize;
int decodeSettingsMemory(std::string_view reply, uint8_t* image, size_t imageSize);

// Broken-dot position in whole millimetres: dots x 0.0847457627118644
// truncated toward zero (118 dots -> 9, 117 -> 9, 130 -> 11, 12 -> 1).
int headDotsToMm(int dots);

// Print distance as metres: the GETDEF millimetre value times 0.001 in
// shortest decimal form, no trailing zeros (12345 -> "12.345", 1000 -> "1").
std::string formatPrintDistance(int millimetres);

}  // namespace printercmd
