// The disc worker's request to choose among several matches.
#include "VeltraskDlg.h"

LRESULT CVeltraskDlg::OnCddbMultiple(WPARAM, LPARAM) { return 0; }
