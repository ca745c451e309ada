// The one application object of Corvane.exe (tests bring their own) and the entry.
#include "VeltraskApp.h"

CVeltraskApp g_theApp;

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
  return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
