// Pixel canvases for GDI, the text conversion and the run-time lookup of the blending library.
#include "Win32Gdi.h"

#include <cstring>

namespace kalvo::win32
{

std::wstring widen(const char* text)
{
    if (!text || !*text)
        return std::wstring();
    const int length = static_cast<int>(std::strlen(text));
    // Code page 1252 whatever the system's own: the build's texts are written in it.
    const int wide = MultiByteToWideChar(1252, 0, text, length, nullptr, 0);
    std::wstring out(static_cast<size_t>(wide > 0 ? wide : 0), L'\0');
    if (wide > 0)
        MultiByteToWideChar(1252, 0, text, length, &out[0], wide);
    return out;
}

const BlendFunctions& BlendFunctions::system()
{
    static const BlendFunctions functions = []
    {
        BlendFunctions found;
        if (HMODULE library = LoadLibraryW(L"msimg32.dll"))
        {
            found.alphaBlend = reinterpret_cast<AlphaBlendFn>(
                reinterpret_cast<void*>(GetProcAddress(library, "AlphaBlend")));
            found.transparentBlt = reinterpret_cast<TransparentBltFn>(
                reinterpret_cast<void*>(GetProcAddress(library, "TransparentBlt")));
        }
        return found;
    }();
    return functions;
}

HMODULE ownModule()
{
    HMODULE module = nullptr;
    // The address of a function of this module names it, whether it is the plug-in's DLL or a
    // test program; the module stays loaded while its code runs, so no reference is taken.
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&ownModule)), &module);
    return module;
}

// ---- canvas ----

std::shared_ptr<GdiCanvas> GdiCanvas::create(long width, long height)
{
    if (width <= 0 || height <= 0 || width > 0x7fff || height > 0x7fff)
        return nullptr;
    std::shared_ptr<GdiCanvas> canvas(new GdiCanvas());
    canvas->context = CreateCompatibleDC(nullptr);
    if (!canvas->context)
        return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height); // rows top to bottom
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    canvas->bitmap = CreateDIBSection(canvas->context, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!canvas->bitmap || !bits)
        return nullptr;
    canvas->bits = static_cast<std::uint32_t*>(bits);
    canvas->pixelsWide = width;
    canvas->pixelsHigh = height;
    canvas->originalBitmap = SelectObject(canvas->context, canvas->bitmap);
    canvas->originalPen = GetCurrentObject(canvas->context, OBJ_PEN);
    canvas->originalBrush = GetCurrentObject(canvas->context, OBJ_BRUSH);
    canvas->originalFont = GetCurrentObject(canvas->context, OBJ_FONT);
    // A new DIB section is black; text is drawn without its cell unless asked.
    SetBkMode(canvas->context, TRANSPARENT);
    SetTextAlign(canvas->context, TA_TOP | TA_LEFT | TA_NOUPDATECP);
    return canvas;
}

GdiCanvas::~GdiCanvas()
{
    if (context)
    {
        // Objects are deleted only once nothing of ours is selected into the context.
        SelectClipRgn(context, nullptr);
        if (originalPen)
            SelectObject(context, originalPen);
        if (originalBrush)
            SelectObject(context, originalBrush);
        if (originalFont)
            SelectObject(context, originalFont);
        if (originalBitmap)
            SelectObject(context, originalBitmap);
        DeleteDC(context);
    }
    if (pen)
        DeleteObject(pen);
    if (brush)
        DeleteObject(brush);
    for (Font& f : fonts)
        DeleteObject(f.handle);
    if (bitmap)
        DeleteObject(bitmap);
}

std::uint32_t* GdiCanvas::row(long y)
{
    // GDI may still hold drawing calls of this thread in its batch.
    GdiFlush();
    return bits + y * pixelsWide;
}

namespace
{
COLORREF colorRef(const CColor& c)
{
    return RGB(c.red, c.green, c.blue);
}
} // namespace

void GdiCanvas::usePen(const CColor& color, long width, long style)
{
    width = width < 1 ? 1 : width;
    style = style == 1 ? 1 : 0;
    if (pen && penColor.sameRGB(color) && penWidth == width && penStyle == style)
    {
        if (noPen)
            SelectObject(context, pen);
        noPen = false;
        return;
    }
    LOGBRUSH paint{BS_SOLID, colorRef(color), 0};
    HPEN made = nullptr;
    if (width == 1)
    {
        // One-pixel lines: cosmetic pens, dotted as every other pixel.
        made = style == 1 ? ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &paint, 0, nullptr)
                          : CreatePen(PS_SOLID, 1, colorRef(color));
    }
    else if (style == 1)
    {
        // Dashes and gaps one width long, each covering whole pixels.
        const DWORD dashes[2] = {static_cast<DWORD>(width), static_cast<DWORD>(width)};
        made = ExtCreatePen(PS_GEOMETRIC | PS_USERSTYLE | PS_ENDCAP_FLAT | PS_JOIN_MITER,
                            static_cast<DWORD>(width), &paint, 2, dashes);
    }
    else
    {
        // Square ends cover the end pixels as they do for one-pixel lines.
        made = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_SQUARE | PS_JOIN_MITER,
                            static_cast<DWORD>(width), &paint, 0, nullptr);
    }
    if (!made)
        return;
    SelectObject(context, made);
    if (pen)
        DeleteObject(pen);
    pen = made;
    penColor = color;
    penWidth = width;
    penStyle = style;
    noPen = false;
}

void GdiCanvas::useNoPen()
{
    if (!noPen)
        SelectObject(context, GetStockObject(NULL_PEN));
    noPen = true;
}

void GdiCanvas::useBrush(const CColor& color)
{
    if (brush && brushColor.sameRGB(color))
    {
        if (noBrush)
            SelectObject(context, brush);
        noBrush = false;
        return;
    }
    HBRUSH made = CreateSolidBrush(colorRef(color));
    if (!made)
        return;
    SelectObject(context, made);
    if (brush)
        DeleteObject(brush);
    brush = made;
    brushColor = color;
    noBrush = false;
}

void GdiCanvas::useNoBrush()
{
    if (!noBrush)
        SelectObject(context, GetStockObject(NULL_BRUSH));
    noBrush = true;
}

void GdiCanvas::useFont(const char* family, long cellPixels, long style, long* ascent, long* descent)
{
    if (!family)
        family = "Arial";
    cellPixels = cellPixels < 1 ? 1 : cellPixels;
    style &= 7;
    long found = -1;
    for (size_t i = 0; i < fonts.size(); i++)
    {
        const Font& f = fonts[i];
        if (f.cellPixels == cellPixels && f.style == style && f.family == family)
            found = static_cast<long>(i);
    }
    if (found < 0)
    {
        const bool symbol = std::strcmp(family, "Symbol") == 0;
        // A positive height asks for the cell (ascent + descent), as the toolkit reads a size.
        HFONT made =
            CreateFontW(static_cast<int>(cellPixels), 0, 0, 0, (style & 1) ? FW_BOLD : FW_NORMAL,
                        (style & 2) ? TRUE : FALSE, (style & 4) ? TRUE : FALSE, FALSE,
                        symbol ? SYMBOL_CHARSET : DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                        ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, widen(family).c_str());
        if (!made)
            return;
        const HGDIOBJ before = SelectObject(context, made);
        TEXTMETRICW metrics{};
        GetTextMetricsW(context, &metrics);
        SelectObject(context, before);
        fonts.push_back(Font{family, cellPixels, style, made, metrics.tmAscent, metrics.tmDescent});
        found = static_cast<long>(fonts.size()) - 1;
    }
    if (found != fontIndex)
        SelectObject(context, fonts[static_cast<size_t>(found)].handle);
    fontIndex = found;
    if (ascent)
        *ascent = fonts[static_cast<size_t>(found)].ascent;
    if (descent)
        *descent = fonts[static_cast<size_t>(found)].descent;
}

void GdiCanvas::useClip(const CRect& area)
{
    if (clipSet && area == clip)
        return;
    HRGN region = CreateRectRgn(static_cast<int>(area.left), static_cast<int>(area.top),
                                static_cast<int>(area.right), static_cast<int>(area.bottom));
    if (!region)
        return;
    // The context keeps a copy of the region.
    SelectClipRgn(context, region);
    DeleteObject(region);
    clip = area;
    clipSet = true;
}

void GdiCanvas::useMix(long drawMode)
{
    if (drawMode == mix)
        return;
    SetROP2(context, drawMode == 1 ? R2_MERGEPEN : drawMode == 2 ? R2_NOTXORPEN : R2_COPYPEN);
    mix = drawMode;
}

DWORD GdiCanvas::patternRop(long drawMode)
{
    constexpr DWORD kPatternOrDestination = 0x00FA0089;     // DPo
    constexpr DWORD kPatternXorDestinationNot = 0x00A50065; // PDxn
    return drawMode == 1 ? kPatternOrDestination : drawMode == 2 ? kPatternXorDestinationNot : PATCOPY;
}

} // namespace kalvo::win32
