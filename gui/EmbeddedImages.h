// Images compiled into the binary, found by numeric id like resources. The CMake function
// kalvo_embed_images() (cmake/KalvoEmbedImages.cmake) turns files named bmp00128.png etc. into a
// source that defines embeddedImages(); without it the table is empty.
#pragma once

#include <cstddef>

namespace kalvo
{

/// One embedded file: its id and its PNG bytes.
struct EmbeddedImage
{
    long id;
    const unsigned char* data;
    std::size_t size;
};

/// The images of this binary, sorted by id.
struct EmbeddedImageTable
{
    const EmbeddedImage* images;
    std::size_t count;
};

/// The table linked into this binary (empty unless kalvo_embed_images() added one).
const EmbeddedImageTable& embeddedImages();

/// The embedded file with that id, or null.
const EmbeddedImage* findEmbeddedImage(long id);

} // namespace kalvo
