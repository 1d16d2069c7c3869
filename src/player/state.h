// The player's program-wide state.
#pragma once
#include <cstdint>
#include <string>

extern int32_t TrackIndex;           // current playlist line; may lie outside the list
extern int32_t TrackCount;           // playlist lines
extern int32_t PlayState;            // last state code of the decoder
extern int32_t PlaySeconds;          // playing position, whole seconds
extern int32_t TotalSeconds;         // playing time of the loaded track
extern int32_t SpectrumStopSeconds;  // second from which the monitor switches the spectrum off
extern std::string CurrentFileName;  // path of the loaded track (UTF-8)
extern std::string FileNameBuffer;   // the path as handed to the decoder, system code page
extern bool DecoderOk;               // result of the last decoder call that reports success
