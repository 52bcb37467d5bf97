// kalvo-png2bmp IN.png OUT.bmp
//
// Writes the picture as an uncompressed 24-bit bottom-up BMP (file header and 40-byte info
// header, rows padded to four bytes), the format Windows loads as a bitmap resource. The output
// depends on the pixels only (no time stamp, no resolution), so builds are reproducible. Pictures
// with transparent pixels are refused: a 24-bit bitmap cannot carry them.
#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace
{

void put16(std::vector<unsigned char>& out, std::uint32_t v)
{
    out.push_back(static_cast<unsigned char>(v & 0xffu));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xffu));
}

void put32(std::vector<unsigned char>& out, std::uint32_t v)
{
    put16(out, v & 0xffffu);
    put16(out, v >> 16);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: kalvo-png2bmp IN.png OUT.bmp\n");
        return 2;
    }
    cairo_surface_t* image = cairo_image_surface_create_from_png(argv[1]);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS)
    {
        std::fprintf(stderr, "kalvo-png2bmp: cannot read %s: %s\n", argv[1],
                     cairo_status_to_string(cairo_surface_status(image)));
        cairo_surface_destroy(image);
        return 1;
    }
    const cairo_format_t format = cairo_image_surface_get_format(image);
    const int width = cairo_image_surface_get_width(image);
    const int height = cairo_image_surface_get_height(image);
    const int stride = cairo_image_surface_get_stride(image);
    const unsigned char* pixels = cairo_image_surface_get_data(image);
    if (format != CAIRO_FORMAT_RGB24 && format != CAIRO_FORMAT_ARGB32)
    {
        std::fprintf(stderr, "kalvo-png2bmp: %s: unsupported pixel format\n", argv[1]);
        cairo_surface_destroy(image);
        return 1;
    }

    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * 3u + 3u) & ~3u;
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(height);
    const std::uint32_t headerBytes = 14u + 40u;
    std::vector<unsigned char> out;
    out.reserve(headerBytes + imageBytes);
    out.push_back('B');
    out.push_back('M');
    put32(out, headerBytes + imageBytes);
    put32(out, 0); // reserved
    put32(out, headerBytes);
    put32(out, 40); // BITMAPINFOHEADER
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height)); // positive: bottom-up rows
    put16(out, 1);                                  // planes
    put16(out, 24);                                 // bits per pixel
    put32(out, 0);                                  // BI_RGB, uncompressed
    put32(out, imageBytes);
    put32(out, 0); // horizontal resolution: unspecified
    put32(out, 0); // vertical resolution: unspecified
    put32(out, 0); // colours used
    put32(out, 0); // important colours

    for (int y = height - 1; y >= 0; --y)
    {
        // cairo keeps 32-bit native-endian words: 0xAARRGGBB.
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(pixels + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x)
        {
            const std::uint32_t p = row[x];
            if (format == CAIRO_FORMAT_ARGB32 && (p >> 24) != 0xffu)
            {
                std::fprintf(stderr, "kalvo-png2bmp: %s: pixel (%d, %d) is not opaque\n", argv[1], x, y);
                cairo_surface_destroy(image);
                return 1;
            }
            out.push_back(static_cast<unsigned char>(p & 0xffu));         // blue
            out.push_back(static_cast<unsigned char>((p >> 8) & 0xffu));  // green
            out.push_back(static_cast<unsigned char>((p >> 16) & 0xffu)); // red
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(width) * 3u; pad < rowBytes; ++pad)
            out.push_back(0);
    }
    cairo_surface_destroy(image);

    std::FILE* file = std::fopen(argv[2], "wb");
    if (!file)
    {
        std::perror(argv[2]);
        return 1;
    }
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    if (std::fclose(file) != 0 || !written)
    {
        std::fprintf(stderr, "kalvo-png2bmp: cannot write %s\n", argv[2]);
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
