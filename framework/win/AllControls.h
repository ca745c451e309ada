// Every control, menu and image-list wrapper.
#pragma once

#include "framework/win/ControlBars.h"
#include "framework/win/Controls.h"
#include "framework/win/ImageList.h"
#include "framework/win/ListCtrl.h"
#include "framework/win/Menu.h"
