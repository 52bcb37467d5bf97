// Plays a Linux host around the built Kalvo.so on a real X server: loads the library with
// dlopen, creates effects through VSTPluginMain with a recording callback, opens their editors in
// parent windows of its own and pumps effEditIdle; a second connection acts as the user's hands
// and eyes (XTest pointer events, popup windows, pixels, the server's resource counts).
#pragma once

#include "tests/support/EditorInstance.h"
#include "tests/support/X11Screen.h"

namespace kalvo::editortest
{

constexpr long kPanelWidth = 841;
constexpr long kPanelHeight = 453;

using hosttest::automate;
using hosttest::beginEdit;
using hosttest::describe;
using hosttest::endEdit;
using hosttest::HostEvent;

/// One effect of the plug-in library as a host holds it, with its own record of host requests.
/// The library is loaded once for the process and kept, as hosts keep a scanned plug-in loaded.
class Instance : public hosttest::EditorInstance
{
public:
    Instance();
};

} // namespace kalvo::editortest
