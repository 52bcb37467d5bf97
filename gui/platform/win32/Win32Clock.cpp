// Time, the double-click time and the per-editor OLE start-up of the Windows backend.
#include "Win32Api.h"

#include "gui/platform/Platform.h"

#include <ole2.h>

#include <algorithm>
#include <cstdint>

namespace kalvo::platform
{

namespace
{
// Some systems report very short double-click times; a double click needs at least this long.
constexpr long kMinDoubleClickMs = 250;
} // namespace

long ticksMs()
{
    // The system's tick count wraps after 2^32 ms, as the toolkit's clock does.
    return static_cast<long>(static_cast<std::int32_t>(GetTickCount()));
}

void sleepMs(long ms)
{
    if (ms > 0)
        Sleep(static_cast<DWORD>(ms));
}

long doubleClickTimeMs()
{
    return std::max(kMinDoubleClickMs, static_cast<long>(GetDoubleClickTime()));
}

bool startEditorSession()
{
    // OLE on the editor's thread, for the frame's drag-and-drop target. A thread already in
    // another apartment model refuses; then there is nothing to undo either.
    return SUCCEEDED(OleInitialize(nullptr));
}

void endEditorSession()
{
    OleUninitialize();
}

} // namespace kalvo::platform
