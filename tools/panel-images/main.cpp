// kalvo_panel_images: draws the editor's panel images and writes them as
// bmp00128.png ... bmp00140.png into a folder, and the same at twice and three
// times the size as bmp00128@2x.png ... and bmp00128@3x.png ...
//
//   kalvo_panel_images DIR                 write the images into DIR
//   kalvo_panel_images DIR --preview FILE  also write the composed panel to
//                                          FILE and FILE with "-about" added
//
// Fails when a caption of the panel overlaps a control's rectangle.

#include "PanelImages.h"
#include "Preview.h"
#include "editor/PanelLayout.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace
{

bool overlaps(const panel::Box& b, const panel::PixelRect& r)
{
    // A caption's ink box against a control's pixels (right/bottom exclusive).
    return b.left < r.right && b.right > r.left && b.top < r.bottom && b.bottom > r.top;
}

int checkCaptions(const std::vector<panel::CaptionBox>& captions)
{
    int faults = 0;
    const auto check = [&faults](const panel::CaptionBox& caption, const panel::ControlPlace& place)
    {
        if (!overlaps(caption.box, place.rect))
            return;
        std::fprintf(stderr,
                     "kalvo_panel_images: caption \"%s\" (%.1f,%.1f..%.1f,%.1f) overlaps control "
                     "%d,%d..%d,%d\n",
                     caption.text.c_str(), caption.box.left, caption.box.top, caption.box.right,
                     caption.box.bottom, place.rect.left, place.rect.top, place.rect.right,
                     place.rect.bottom);
        ++faults;
    };
    for (const panel::CaptionBox& caption : captions)
    {
        for (const panel::ControlPlace& place : panel::kControls)
            check(caption, place);
        for (const panel::ControlPlace& place : panel::kHeadStripControls)
            check(caption, place);
    }
    return faults;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--preview"))
    {
        std::fprintf(stderr, "usage: kalvo_panel_images DIR [--preview FILE.png]\n");
        return 2;
    }
    std::vector<panel::CaptionBox> captions;
    std::vector<panel::NumberedImage> images = panel::drawAllImages(&captions);
    if (checkCaptions(captions) != 0)
        return 1;
    const std::string dir = argv[1];
    for (const panel::NumberedImage& image : images)
    {
        char name[32];
        std::snprintf(name, sizeof name, "/bmp%05d.png", image.number);
        if (!image.canvas->writePng(dir + name))
            return 1;
    }
    // The same images with two and three times the pixels, which a zoomed panel draws instead.
    for (int scale : {2, 3})
        for (const panel::NumberedImage& image : panel::drawAllImages(nullptr, scale))
        {
            char name[32];
            std::snprintf(name, sizeof name, "/bmp%05d@%dx.png", image.number, scale);
            if (!image.canvas->writePng(dir + name))
                return 1;
        }
    if (argc == 4)
    {
        std::string preview = argv[3];
        std::string about = preview;
        size_t dot = about.rfind(".png");
        about.insert(dot == std::string::npos ? about.size() : dot, "-about");
        if (!panel::writePreview(images, preview, false) || !panel::writePreview(images, about, true))
            return 1;
    }
    return 0;
}
