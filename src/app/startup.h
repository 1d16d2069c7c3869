// The life of the process: loading the decoder library, the single-instance
// guard, the main window and the message loop.
#pragma once
#include <string>

#include "os/os.h"

extern sys::Handle BootMutex;
extern std::string ProgramDir;  // the executable's folder with its trailing backslash

// The initialisation of the main window's unit, before the entry runs.
void InitUnit1();
// The entry: returns the process exit code.
int ProgramMain();
// Puts every program-wide variable back to its start value (for the tests).
void ResetProgramState();
