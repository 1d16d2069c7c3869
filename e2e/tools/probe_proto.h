// What the driver (vdrv.exe) and the hook DLL (vprobe.dll) share.
// The driver writes a request into a named file mapping and sends the
// registered message below to a window of the target thread; the hook sees
// that message in the target's own thread (WH_CALLWNDPROC), carries the request
// out there and writes the answer (UTF-8 JSON) back into the mapping before the
// send returns.
#pragma once
#include <cstdint>

#define VPROBE_MESSAGE_NAME L"VantrelE2eProbeRequest"
#define VPROBE_MAP_PREFIX L"Local\\vprobe-map-"  // followed by the cookie in hex
#define VPROBE_MAP_SIZE (1u << 20)

enum ProbeOp : uint32_t {
  kProbeMenu = 1,      // the menu bar of `target`, every popup and item
  kProbeBoxIcon = 2,   // which standard icon a message box `target` shows
  kProbeStatus = 3,    // the text of status bar `target` (SB_GETTEXTW 0 and SB_SIMPLEID)
  kProbePing = 4,
  kProbeBarrier = 5,   // posted; answered when the target's loop takes it from its queue
};

// lParam of the probe message when it is posted as a barrier: the WH_GETMESSAGE
// hook marks the request done when the target's message loop takes it from the
// queue with no input waiting, that is after every message posted and every
// input event queued before it.
constexpr uintptr_t kProbeBarrierTag = 0x56425252;

struct ProbeHeader {
  uint32_t magic;   // 'VPRB'
  uint32_t op;
  uint64_t target;  // HWND as integer
  uint32_t done;    // set to 1 by the hook
  uint32_t length;  // bytes of answer following the header
};

constexpr uint32_t kProbeMagic = 0x42525056;
