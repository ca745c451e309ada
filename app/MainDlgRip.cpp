// Rip commands.
#include "VeltraskDlg.h"

void CVeltraskDlg::OnRip() {}

void CVeltraskDlg::OnRipCurrent() {}
