// What the engine tests stand on: a hidden main window with the status label 1015 that records
// every message and label text the engine sends it, helpers to wait while pumping messages, and
// file and trace helpers.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CMusicPlayer;

struct EngineEvents {
  std::vector<int> lengths;               // WM_PLAY_LENGTH
  std::vector<unsigned> positions;        // WM_PLAY_POSITION, as seconds
  std::vector<long long> progress;        // WM_DOWNLOAD_PROGRESS
  std::vector<long long> totals;          // WM_DOWNLOAD_TOTAL
  int ended = 0;                          // WM_TRACK_ENDED
  int autoNextAtEnd = -1;                 // g_bAutoNext when WM_TRACK_ENDED arrived
  long long progressAtFirstLength = -1;   // bytes received when the length arrived
  std::vector<std::wstring> labels;       // every text set on label 1015
  std::vector<size_t> positionsAtLabel;   // positions.size() when each label was set
};

// A hidden top-level window standing in for the main window; it becomes g_hMainWnd.
class TestMainWindow {
 public:
  TestMainWindow();
  ~TestMainWindow();
  TestMainWindow(const TestMainWindow&) = delete;
  TestMainWindow& operator=(const TestMainWindow&) = delete;

  HWND Handle() const { return m_hWnd; }
  EngineEvents& Events() { return m_events; }
  void Clear() { m_events = EngineEvents(); }
  std::wstring Label() const;

  // Dispatches messages until done() holds or limitMs have passed (a guard against hanging, not
  // a speed check); returns done().
  bool PumpUntil(const std::function<bool()>& done, DWORD limitMs);
  void PumpFor(DWORD ms);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK LabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  HWND m_hWnd = nullptr;
  HWND m_hLabel = nullptr;
  WNDPROC m_pfnLabelProc = nullptr;
  EngineEvents m_events;
};

// Stops the player as playback control does: safeExit until it reports 1 (messages pumped in
// between), then destroys it. Returns the number of safeExit calls it took, 0 when it never did.
int StopAndDestroy(CMusicPlayer* player, TestMainWindow& window, int maxCalls = 100);

// Bytes of a file (empty when it cannot be read); wide paths, since songs have Chinese names.
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);

// The folder of the test program and the MP3 fixtures copied beside it.
std::wstring TestFolder();
std::wstring FixturePath(const wchar_t* name);
// A fresh folder with a Chinese name for this test program's songs and its temporary stream file
// (which g_strTempMusicPath is pointed at, so test programs never share it).
std::wstring PrepareSongFolder();

// The trace file: its size now, and what was appended after `offset` (UTF-8).
size_t TraceSize();
std::string TraceSince(size_t offset);
std::string Utf8(const std::wstring& text);
