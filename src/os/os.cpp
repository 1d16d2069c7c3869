#include "os/os.h"

namespace {
sys::Os* g_os = nullptr;
}

sys::Os& sys::os() { return *g_os; }
void sys::setOs(Os* impl) { g_os = impl; }
