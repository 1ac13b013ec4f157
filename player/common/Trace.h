// The program's one trace function and its debugger lines.
//
// Trace lines go to "Halvery.log" next to the program, one UTF-8 line each, prefixed with the
// time (see TraceFormat.h). Debugger lines go to OutputDebugStringW only.
#pragma once
#include <string>

void Trace(const std::wstring& text);
void Trace(const wchar_t* text);
void DebugLine(const std::wstring& text);

// Full path of the trace file (program folder + "\Halvery.log").
std::wstring TraceFilePath();
