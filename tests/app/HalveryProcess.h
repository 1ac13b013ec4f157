// Drives the real staged Halvery.exe from a test: a fresh copy of the program folder per test,
// the process, its main window ("#32770" titled "Morvanel"), mouse input, and a screenshot of the
// screen whenever a check fails.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Handles messages of the test's own thread and checks `done` until it holds or `limitMs` passed.
// A limit only keeps a broken program from hanging the run; tests assert on the state, not on time.
bool WaitUntil(const std::function<bool()>& done, DWORD limitMs = 20000);

// A copy of the staged program folder in a new temporary folder, removed again at the end.
// The user data a run leaves in the staged folder (database, log, cached song) is not copied.
class ProgramFolder {
 public:
  // `name` is the folder's own name (it may hold any characters a Windows path allows).
  explicit ProgramFolder(const std::wstring& name = L"Halvery");
  ~ProgramFolder();
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  const std::wstring& Path() const { return m_path; }
  std::wstring File(const std::wstring& relative) const { return m_path + L"\\" + relative; }
  bool Exists(const std::wstring& relative) const;
  void Write(const std::wstring& relative, const std::string& bytes) const;
  std::string Read(const std::wstring& relative) const;
  void Remove(const std::wstring& relative) const;

 private:
  std::wstring m_root;  // the temporary folder holding the program folder
  std::wstring m_path;
};

// The stage folder next to the tests (<build>/Halvery).
std::wstring StagedFolder();

struct WindowInfo {
  HWND hwnd = nullptr;
  RECT rect = {};  // screen coordinates
};

class HalveryProcess {
 public:
  HalveryProcess() = default;
  ~HalveryProcess();
  HalveryProcess(const HalveryProcess&) = delete;
  HalveryProcess& operator=(const HalveryProcess&) = delete;

  // Starts <folder>\Halvery.exe with the arguments. `commandLine` replaces the whole command line
  // when given (for a program path written differently). Empty `currentDir` = the test's own.
  bool Start(const ProgramFolder& folder, const std::wstring& args = L"", const std::wstring& currentDir = L"",
             const std::wstring& commandLine = L"");
  // Waits for the process's main window and until its start-up has finished; null when the
  // process ended first or the window never came.
  HWND WaitForMainWindow();
  // Closes the player as a user would (WM_CLOSE) and waits for the process to end.
  bool Close();
  bool WaitForExit(DWORD limitMs = 30000);
  bool Running() const;
  DWORD ExitCode() const;

  HWND Main() const { return m_main; }
  DWORD Pid() const { return m_pi.dwProcessId; }
  HANDLE Process() const { return m_pi.hProcess; }
  // The logo window floating over the main window (a top-level window of the process owned by it).
  HWND Logo() const;
  // Visible windows owned by the main window other than the logo and tooltips (settings, skin chooser).
  std::vector<HWND> VisibleOwnedWindows() const;

 private:
  PROCESS_INFORMATION m_pi = {};
  HWND m_main = nullptr;
};

// Window geometry.
RECT WindowRect(HWND hwnd);
RECT ClientRectOf(HWND hwnd);
// A child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND parent, int id);
int Width(const RECT& r);
int Height(const RECT& r);
RECT WorkArea();
bool SameRect(const RECT& a, const RECT& b);
std::string Describe(const RECT& r);

// Mouse input through SendInput (screen coordinates).
void MouseMove(int x, int y);
void MouseDown();
void MouseUp();
void Click(int x, int y);
// Presses at `from`, moves in steps to `to` and releases. Each step waits until the thread of
// `target` has handled it, so a busy machine cannot merge the press into the first move.
void Drag(POINT from, POINT to, HWND target);

// The cursor that the thread of `hwnd` shows now (a handle of that process). Read through the
// thread's own input state, so that another test's window in the foreground does not matter.
HCURSOR CursorOf(HWND hwnd);
// Waits until the thread of `hwnd` has handled the input sent so far: a window repaints only when
// no input is waiting for it, so a piece of it is invalidated and its repainting awaited.
bool InputHandled(HWND hwnd);

// Width and height of a PNG file, read with GDI+.
SIZE ImageSize(const std::wstring& path);

// Saves the whole screen as a PNG.
bool SaveScreenshot(const std::wstring& path);

// The UTF-8 text of a file, or "" when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);

// One integer from a SQLite database file (no row gives `fallback`).
int QueryInt(const std::wstring& dbPath, const char* sql, int fallback);
// Runs statements on a SQLite database file, creating it when missing.
bool ExecSql(const std::wstring& dbPath, const char* sql);

// The current directory of another process, read from its process parameters.
std::wstring ProcessCurrentDirectory(HANDLE process);
