// Every reply parser of the printer command layer and the settings-memory
// decoder on any reply. The first byte picks the parser and, for the
// decoder, the image size; each parser's contract is checked on the way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "printer_commands.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// A parser leaves its output alone unless it found exactly `fields` fields.
template <class Out, class Parse>
void parseKeepsContract(std::string_view reply, int fields, Parse parse) {
  Out out;
  std::memset(&out, 0xA5, sizeof out);
  Out before = out;
  const int found = parse(reply, &out);
  check(found >= 0);
  if (found != fields) check(std::memcmp(&out, &before, sizeof out) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t selector = data[0];
  const std::string_view reply(reinterpret_cast<const char*>(data + 1), size - 1);
  using namespace printercmd;

  const std::string_view trimmed = trim(reply);
  check(trimmed.empty() || (trimmed.data() >= reply.data() &&
                            trimmed.data() + trimmed.size() <= reply.data() + reply.size()));

  switch (selector % 9) {
    case 0:
      parseKeepsContract<DefInfo>(reply, kDefInfoFields, parseDefInfo);
      break;
    case 1:
      parseKeepsContract<Maintenance>(reply, kMaintenanceFields, parseMaintenance);
      break;
    case 2:
      parseKeepsContract<HeadCheck>(reply, kHeadCheckFields, parseHeadCheck);
      break;
    case 3:
      parseKeepsContract<SensorLevels>(reply, kSensorLevelFields, parseSensorLevels);
      break;
    case 4: {
      int level = 0x5A5A5A5A;
      const int found = parseCalibration(reply, &level);
      check(found == 1 || level == 0x5A5A5A5A);
      break;
    }
    case 5: {
      VersionInfo version;
      check(parseVersion(reply, &version) >= 0);
      check(version.system.size() <= reply.size() && version.ipl.size() <= reply.size());
      break;
    }
    case 6: {
      // Image sizes around the reply's pair count, so "too small" is reached.
      const size_t pairs = reply.size() / 2;
      const size_t shortBy = selector >> 4;  // 0..15: from 8 pairs short to 7 to spare
      const size_t imageSize = pairs + shortBy >= 8 ? pairs + shortBy - 8 : 0;
      std::vector<uint8_t> image(imageSize + 1, 0xCC);
      const int written = decodeSettingsMemory(reply, imageSize ? image.data() : nullptr, imageSize);
      check(written == -1 || (written >= 0 && size_t(written) <= imageSize && size_t(written) * 2 == reply.size()));
      check(image[imageSize] == 0xCC);
      break;
    }
    case 7: {
      int values[4];
      const int found = scanIntegers(reply, values, 4, (selector >> 4) - 1);
      check(found >= 0 && size_t(found) <= reply.size());
      break;
    }
    case 8: {
      classifyResolution(reply);
      int number = 0;
      if (reply.size() >= sizeof number) std::memcpy(&number, reply.data(), sizeof number);
      const long long mm = headDotsToMm(number), dots = number;
      check(std::llabs(mm) * 118 <= 10 * std::llabs(dots) && (mm < 0) == (dots < 0 && mm != 0));
      const std::string metres = formatPrintDistance(number);
      check(std::llround(std::strtod(metres.c_str(), nullptr) * 1000) == dots);
      break;
    }
  }
  return 0;
}
