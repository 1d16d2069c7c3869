#pragma once
#include "vcl/vcl.h"

// Makes the forms create and show native windows.
void InstallNativeForms();
