// The window half of the framework.
#pragma once

#include "framework/win/MessageMap.h"
#include "framework/win/Wnd.h"
#include "framework/win/CmdUI.h"
#include "framework/win/Dialog.h"
#include "framework/win/PropSheet.h"
#include "framework/win/WinApp.h"
#include "framework/win/Gdi.h"
#include "framework/win/AllControls.h"
