#pragma once
#include <cstdint>

extern int32_t Volume;  // the last position handed to vbmp3_setVolume
