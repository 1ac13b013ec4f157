// The main window's status label, which the engine's threads write directly.
#pragma once
#include <string>

// Control id of the label in the main window.
constexpr int kTitleLabelId = 1015;

// Sets the label of g_hMainWnd (nothing happens without a main window).
void SetTitleLabel(const std::wstring& text);

// "正在缓冲：%d %%" for `bytes` towards the pre-buffer threshold.
std::wstring BufferingLabel(long long bytes);
