#include "run/date_text.h"

#include <cstdio>

namespace run {
using namespace base;

std::string isoText(const DateTime& d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute, d.second);
  return buf;
}

}  // namespace run
