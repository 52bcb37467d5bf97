// Renders the test scene with the headless backend into the PNG file named by the argument.
#include "TestScene.h"

#include "gui/CFrame.h"
#include "gui/platform/headless/HeadlessWindow.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s <output.png>\n", argv[0]);
        return 2;
    }
    kalvo::headless::HostWindow host;
    CFrame* frame = buildTestScene(host.handle());
    frame->idle();
    kalvo::headless::Window* window = host.child();
    const bool written = window && window->writePng(argv[1]);
    frame->forget();
    return written ? 0 : 1;
}
