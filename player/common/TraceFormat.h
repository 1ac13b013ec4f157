// The time prefix of trace lines, kept free of Windows so it can be checked anywhere.
#pragma once
#include <string>

// "%04d-%02d-%02d %02d:%02d:%02d: " from a UTC time: the hour is shifted by +8 (China time)
// modulo 24 while the date stays the UTC date, as the service's own logs have always read.
std::string FormatTracePrefix(int year, int month, int day, int hour, int minute, int second);
