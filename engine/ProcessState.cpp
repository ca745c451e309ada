#include "engine/ProcessState.h"

BOOL g_bVistaOrLater = FALSE;
BOOL g_bWin7OrLater = FALSE;
BOOL g_bKoreanLocale = FALSE;
ITaskbarList3* g_pTaskbarList = nullptr;
std::atomic<BOOL> g_bSoundAvailable{TRUE};
