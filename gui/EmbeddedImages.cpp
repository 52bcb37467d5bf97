#include "EmbeddedImages.h"

namespace kalvo
{

// The default table for binaries without embedded images; the source that kalvo_embed_images()
// generates defines the strong version, which the linker prefers.
__attribute__((weak)) const EmbeddedImageTable& embeddedImages()
{
    static const EmbeddedImageTable empty{nullptr, 0};
    return empty;
}

const EmbeddedImage* findEmbeddedImage(long id)
{
    const EmbeddedImageTable& table = embeddedImages();
    for (std::size_t i = 0; i < table.count; i++)
    {
        if (table.images[i].id == id)
            return &table.images[i];
    }
    return nullptr;
}

} // namespace kalvo
