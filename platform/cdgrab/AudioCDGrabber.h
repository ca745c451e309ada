// The CD-access library's interface: plain C, __cdecl, records packed to 1 byte.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(CDGRAB_BUILDING)
#define CDGRAB_API __declspec(dllexport)
#else
#define CDGRAB_API __declspec(dllimport)
#endif

typedef int32_t CDHANDLE;

CDGRAB_API int32_t __cdecl GetCDList(void* driveList);
CDGRAB_API CDHANDLE __cdecl GetCDHandle(void* handleRequest);
CDGRAB_API int32_t __cdecl ModifyCDParms(CDHANDLE handle, int32_t code, int32_t value);
CDGRAB_API int32_t __cdecl ReadTOC(CDHANDLE handle, void* toc);
CDGRAB_API int32_t __cdecl ReadCDAudioLBA(CDHANDLE handle, void* audioBlock);
CDGRAB_API int32_t __cdecl CloseCDHandle(CDHANDLE handle);
CDGRAB_API int32_t __cdecl GetAspiLibError(void);
CDGRAB_API int32_t __cdecl GetAspiLibAspiError(void);

#ifdef __cplusplus
}
#endif
