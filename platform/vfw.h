// The driver side of the installable-driver and video-capture interface:
// driver messages, DVM_* messages, their parameter blocks and result codes.
// The Windows SDK ships only the application side, so this header serves
// both builds; names the SDK does declare are guarded.
#ifndef TARN2_PLATFORM_VFW_H
#define TARN2_PLATFORM_VFW_H

#ifdef _WIN32
#include <vfw.h>
// mmddk.h builds on what vfw.h brings in.
#include <mmddk.h>
// Exported by winmm but declared by no header the cross toolchain ships.
#ifdef __cplusplus
extern "C"
#endif
    BOOL WINAPI
    DriverCallback(DWORD_PTR callback, DWORD flags, HDRVR device, DWORD msg, DWORD_PTR user, DWORD_PTR param1,
                   DWORD_PTR param2);
#else
// Installable-driver messages and services (mmsystem.h on Windows).
#define DRV_LOAD 0x0001
#define DRV_ENABLE 0x0002
#define DRV_OPEN 0x0003
#define DRV_CLOSE 0x0004
#define DRV_DISABLE 0x0005
#define DRV_FREE 0x0006
#define DRV_CONFIGURE 0x0007
#define DRV_QUERYCONFIGURE 0x0008
#define DRV_INSTALL 0x0009
#define DRV_REMOVE 0x000A
#define DRV_RESERVED 0x0800
#define DRV_USER 0x4000
#define DRVCNF_CANCEL 0x0000
#define DRVCNF_OK 0x0001
#define DRVCNF_RESTART 0x0002

#define DCB_NULL 0x0000
#define DCB_WINDOW 0x0001
#define DCB_TASK 0x0002
#define DCB_FUNCTION 0x0003
#define DCB_EVENT 0x0005
#define DCB_TYPEMASK 0x0007

#define TIME_MS 0x0001
#define TIME_SAMPLES 0x0002
#define TIME_BYTES 0x0004

typedef struct mmtime_tag {
    UINT wType;
    union {
        DWORD ms;
        DWORD sample;
        DWORD cb;
        DWORD ticks;
        struct {
            BYTE hour;
            BYTE min;
            BYTE sec;
            BYTE frame;
            BYTE fps;
            BYTE dummy;
            BYTE pad[2];
        } smpte;
        struct {
            DWORD songptrpos;
        } midi;
    } u;
} MMTIME, *LPMMTIME;

typedef LRESULT(CALLBACK* DRIVERPROC)(DWORD_PTR driverId, HDRVR driver, UINT msg, LPARAM lParam1, LPARAM lParam2);
// A function callback as DriverCallback calls it with DCB_FUNCTION. As in the
// SDK, DRVCALLBACK is the function type and LPDRVCALLBACK the pointer.
typedef void(CALLBACK DRVCALLBACK)(HDRVR driver, UINT msg, DWORD_PTR user, DWORD_PTR param1, DWORD_PTR param2);
typedef DRVCALLBACK* LPDRVCALLBACK;
typedef DRVCALLBACK* PDRVCALLBACK;

W32_EXTERN_C LRESULT WINAPI DefDriverProc(DWORD_PTR driverId, HDRVR driver, UINT msg, LPARAM lParam1, LPARAM lParam2);
W32_EXTERN_C BOOL WINAPI DriverCallback(DWORD_PTR callback, DWORD flags, HDRVR device, DWORD msg, DWORD_PTR user,
                                        DWORD_PTR param1, DWORD_PTR param2);

#define MM_DRVM_OPEN 0x3D0
#define MM_DRVM_CLOSE 0x3D1
#define MM_DRVM_DATA 0x3D2
#define MM_DRVM_ERROR 0x3D3

// Application side of video capture (vfw.h on Windows).
typedef struct videohdr_tag {
    LPBYTE lpData;
    DWORD dwBufferLength;
    DWORD dwBytesUsed;
    DWORD dwTimeCaptured;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD_PTR dwReserved[4];
} VIDEOHDR, *PVIDEOHDR, *LPVIDEOHDR;

#define VHDR_DONE 0x00000001
#define VHDR_PREPARED 0x00000002
#define VHDR_INQUEUE 0x00000004
#define VHDR_KEYFRAME 0x00000008

#define DV_ERR_OK 0
#define DV_ERR_BASE 1
#define DV_ERR_NONSPECIFIC 1
#define DV_ERR_BADFORMAT 2
#define DV_ERR_STILLPLAYING 3
#define DV_ERR_UNPREPARED 4
#define DV_ERR_SYNC 5
#define DV_ERR_TOOMANYCHANNELS 6
#define DV_ERR_NOTDETECTED 7
#define DV_ERR_BADINSTALL 8
#define DV_ERR_CREATEPALETTE 9
#define DV_ERR_SIZEFIELD 10
#define DV_ERR_PARAM1 11
#define DV_ERR_PARAM2 12
#define DV_ERR_CONFIG1 13
#define DV_ERR_CONFIG2 14
#define DV_ERR_FLAGS 15
#define DV_ERR_13 16
#define DV_ERR_NOTSUPPORTED 17
#define DV_ERR_NOMEM 18
#define DV_ERR_ALLOCATED 19
#define DV_ERR_BADDEVICEID 20
#define DV_ERR_INVALHANDLE 21
#define DV_ERR_BADERRNUM 22
#define DV_ERR_NO_BUFFERS 23

#define VIDEO_EXTERNALIN 0x0001
#define VIDEO_EXTERNALOUT 0x0002
#define VIDEO_IN 0x0004
#define VIDEO_OUT 0x0008
#define VIDEO_DLG_QUERY 0x0010

#define VIDEO_CONFIGURE_QUERYSIZE 0x0001
#define VIDEO_CONFIGURE_CURRENT 0x0010
#define VIDEO_CONFIGURE_NOMINAL 0x0020
#define VIDEO_CONFIGURE_MIN 0x0040
#define VIDEO_CONFIGURE_MAX 0x0080
#define VIDEO_CONFIGURE_SET 0x1000
#define VIDEO_CONFIGURE_GET 0x2000
#define VIDEO_CONFIGURE_QUERY 0x8000
#endif  // !_WIN32

// Driver side of video capture (msviddrv.h, which the SDK does not ship).
#ifndef DVM_START
#define DVM_START DRV_USER
#define DVM_GETERRORTEXT (DVM_START + 0)
#define DVM_GETVIDEOAPIVER (DVM_START + 1)
#define DVM_DIALOG (DVM_START + 100)
#define DVM_CONFIGURESTORAGE (DVM_START + 101)
#define DVM_GET_CHANNEL_CAPS (DVM_START + 102)
#define DVM_UPDATE (DVM_START + 103)
#define DVM_FRAME (DVM_START + 200)
#define DVM_STREAM_MSG_START (DVM_START + 300)
#define DVM_STREAM_MSG_END (DVM_START + 399)
#define DVM_STREAM_ADDBUFFER (DVM_STREAM_MSG_START + 0)
#define DVM_STREAM_FINI (DVM_STREAM_MSG_START + 1)
#define DVM_STREAM_GETERROR (DVM_STREAM_MSG_START + 2)
#define DVM_STREAM_GETPOSITION (DVM_STREAM_MSG_START + 3)
#define DVM_STREAM_INIT (DVM_STREAM_MSG_START + 4)
#define DVM_STREAM_PREPAREHEADER (DVM_STREAM_MSG_START + 5)
#define DVM_STREAM_RESET (DVM_STREAM_MSG_START + 6)
#define DVM_STREAM_START (DVM_STREAM_MSG_START + 7)
#define DVM_STREAM_STOP (DVM_STREAM_MSG_START + 8)
#define DVM_STREAM_UNPREPAREHEADER (DVM_STREAM_MSG_START + 9)
#define DVM_CONFIGURE_START 0x1000
#define DVM_CONFIGURE_END 0x1FFF
#define DVM_PALETTE (DVM_CONFIGURE_START + 1)
#define DVM_FORMAT (DVM_CONFIGURE_START + 2)
#define DVM_PALETTERGB555 (DVM_CONFIGURE_START + 3)
#define DVM_SRC_RECT (DVM_CONFIGURE_START + 4)
#define DVM_DST_RECT (DVM_CONFIGURE_START + 5)
#endif

#ifndef VIDEOAPIVERSION
#define VIDEOAPIVERSION 4
#endif

typedef struct tag_video_open_parms {
    DWORD dwSize;
    FOURCC fccType;
    FOURCC fccComp;
    DWORD dwVersion;
    DWORD dwFlags;
    DWORD dwError;
    LPVOID pV1Reserved;
    LPVOID pV2Reserved;
    DWORD dnDevNode;
} VIDEO_OPEN_PARMS, *LPVIDEO_OPEN_PARMS;

typedef struct tag_video_geterrortext_parms {
    DWORD dwErrorNumber;
    LPSTR lpText;
    DWORD dwLength;
} VIDEO_GETERRORTEXT_PARMS, *LPVIDEO_GETERRORTEXT_PARMS;

typedef struct tag_video_stream_init_parms {
    DWORD dwMicroSecPerFrame;
    DWORD_PTR dwCallback;
    DWORD_PTR dwCallbackInst;
    DWORD dwFlags;
    DWORD_PTR hVideo;
} VIDEO_STREAM_INIT_PARMS, *LPVIDEO_STREAM_INIT_PARMS;

typedef struct tag_video_configure_parms {
    LPDWORD lpdwReturn;
    LPVOID lpData1;
    DWORD dwSize1;
    LPVOID lpData2;
    DWORD dwSize2;
} VIDEOCONFIGPARMS, *LPVIDEOCONFIGPARMS;

#endif
