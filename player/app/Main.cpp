// The program's entry point and its one application object.
#include <windows.h>

#include "platform/win/WinApp.h"
#include "player/app/QuenbyApp.h"

static CQuenbyApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) { return RunApplication(instance); }
