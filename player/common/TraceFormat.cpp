#include "player/common/TraceFormat.h"

#include <cstdio>

std::string FormatTracePrefix(int year, int month, int day, int hour, int minute, int second) {
  char buf[64];
  snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d: ", year, month, day, (hour + 8) % 24, minute, second);
  return buf;
}
