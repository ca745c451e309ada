// Placeholder exports until the drive back ends land: no drives, no disc.
#define CDGRAB_BUILDING
#include "platform/cdgrab/AudioCDGrabber.h"

extern "C" {
int32_t __cdecl GetCDList(CDDriveList*) { return 0; }
CDHANDLE __cdecl GetCDHandle(CDHandleRequest*) { return 0; }
int32_t __cdecl ModifyCDParms(CDHANDLE, int32_t, int32_t) { return 0; }
int32_t __cdecl ReadTOC(CDHANDLE, CDTableOfContents*) { return 0; }
int32_t __cdecl ReadCDAudioLBA(CDHANDLE, CDAudioBlock*) { return 0; }
int32_t __cdecl CloseCDHandle(CDHANDLE) { return 0; }
int32_t __cdecl GetAspiLibError(void) { return 0; }
int32_t __cdecl GetAspiLibAspiError(void) { return 0; }
}
