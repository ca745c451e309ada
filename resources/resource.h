// Resource ids shared by the resource script and the code.
#pragma once

#define IDR_MAINFRAME 128
