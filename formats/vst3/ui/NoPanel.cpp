#include "ControllerPanel.h"

namespace kalvo::vst3adapter
{

// Builds without the editor: the controller offers no view.
ControllerPanel* createControllerPanel(KalvoController&)
{
    return nullptr;
}

} // namespace kalvo::vst3adapter
