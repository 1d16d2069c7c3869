#include "player/state.h"

int32_t TrackIndex = 0;
int32_t TrackCount = 0;
int32_t PlayState = 0;
int32_t PlaySeconds = 0;
int32_t TotalSeconds = 0;
int32_t SpectrumStopSeconds = 0;
std::string CurrentFileName;
std::string FileNameBuffer;
bool DecoderOk = false;
