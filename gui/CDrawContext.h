// Drawing targets: CDrawContext on the frame's window, COffscreenContext on a private surface.
#pragma once

#include "CColor.h"
#include "CConventions.h"
#include "CGeometry.h"
#include "CReferenceCounter.h"

#include <memory>

class CFrame;
class CBitmap;

namespace kalvo::platform
{
class Surface;
struct DrawAttributes;
} // namespace kalvo::platform

/// Outline and/or fill.
enum CDrawStyle
{
    kDrawStroked = 0,
    kDrawFilled = 1,
    kDrawFilledAndStroked = 2,
};

/// Solid lines, or dotted lines whose dashes and gaps are one line width long.
enum CLineStyle
{
    kLineSolid = 0,
    kLineOnOffDash = 1,
};

/// How drawing combines with what is there.
enum CDrawMode
{
    kCopyMode = 0,      ///< replace, no anti-aliasing
    kOrMode = 1,        ///< bitwise OR with the destination
    kXorMode = 2,       ///< inverted exclusive OR with the destination
    kAntialiasMode = 3, ///< anti-aliased drawing
};

/// Horizontal text alignment.
enum CHoriTxtAlign
{
    kAlignLeft = 0,   ///< starts one pixel inside the left edge
    kAlignCenter = 1, ///< centred
    kAlignRight = 2,  ///< ends at the right edge
};

/// Indices into the standard font table; other values select 0.
enum CFont
{
    kSystemFont = 0,
    kNormalFontVeryBig = 1,
    kNormalFontBig = 2,
    kNormalFont = 3,
    kNormalFontSmall = 4,
    kNormalFontSmaller = 5,
    kNormalFontVerySmall = 6,
    kSymbolFont = 7,
    kNumStandardFonts = 8,
};

/// Font style bits.
enum CTxtFace
{
    kNormalFace = 0,
    kBoldFace = 1,
    kItalicFace = 2,
    kUnderlineFace = 4,
};

/// A short-lived drawing target with integer coordinates, a pen, colours, a font and a clip
/// rectangle. Every point and rectangle a caller passes is moved by `drawOffset`; `clipRect` and
/// `penPosition` are kept in moved (surface) form. A context without a surface ignores drawing.
class CDrawContext : public CReferenceCounter
{
public:
    /// A context on the frame's native window (or on `systemContext`, a platform Surface the
    /// caller keeps alive). Defaults: white lines and text, black fill, width 1, solid, copy mode,
    /// standard font 0, clip = the frame's size or (0, 0, 1000, 1000) without a frame.
    CDrawContext(CFrame* frame, void* systemContext, void* window = nullptr);
    ~CDrawContext() override;

    /// Flushes pending output, then drops the reference.
    void forget() override;

    /// The platform surface behind the context, or null.
    virtual kalvo::platform::Surface* getSurface() { return surface; }

    void setLineStyle(CLineStyle style);
    CLineStyle getLineStyle() const { return lineStyle; }
    void setLineWidth(long width);
    long getLineWidth() const { return lineWidth; }
    void setDrawMode(CDrawMode mode);
    CDrawMode getDrawMode() const { return drawMode; }

    void setFrameColor(const CColor color);
    CColor getFrameColor() const { return frameColor; }
    void setFillColor(const CColor color);
    CColor getFillColor() const { return fillColor; }
    void setFontColor(const CColor color);
    CColor getFontColor() const { return fontColor; }

    /// Selects standard font `font` (0 when >= 8), `size` points (the table's size when 0), `style` bits.
    void setFont(CFont font, const long& size = 0, long style = 0);
    CFont getFont() const { return fontId; }
    long getFontSize() const { return fontSize; }
    long getFontStyle() const { return fontStyle; }

    /// Clip in caller coordinates (stored moved by drawOffset).
    void setClipRect(const CRect& clip);
    /// The clip in caller coordinates (clipRect minus drawOffset).
    CRect& getClipRect(CRect& clip) const;
    /// Back to the frame's size, or (0, 0, 1000, 1000) without a frame.
    void resetClipRect();

    void moveTo(const CPoint& point);
    /// The pen position in caller coordinates.
    void getLoc(CPoint& where) const;
    void lineTo(const CPoint& point);
    void drawLines(const CPoint* points, const long& numberOfLines);
    void polyLine(const CPoint* points, long numberOfPoints);
    void drawPolygon(const CPoint* points, long numberOfPoints, const CDrawStyle drawStyle = kDrawStroked);
    void fillPolygon(const CPoint* points, long numberOfPoints);
    void drawRect(const CRect& rect, const CDrawStyle drawStyle = kDrawStroked);
    void fillRect(const CRect& rect);
    void drawEllipse(const CRect& rect, const CDrawStyle drawStyle = kDrawStroked);
    void fillEllipse(const CRect& rect);
    /// Arc by angles in degrees, counter-clockwise from 3 o'clock.
    void drawArc(const CRect& rect, const float startAngle, const float endAngle,
                 const CDrawStyle drawStyle = kDrawStroked);
    /// Arc between the directions of two points, counter-clockwise from point1 to point2.
    void drawArc(const CRect& rect, const CPoint& point1, const CPoint& point2);
    /// Pie between the directions of two points.
    void fillArc(const CRect& rect, const CPoint& point1, const CPoint& point2);
    /// One pixel in `color`; frameColor is kept.
    void drawPoint(const CPoint& point, CColor color);
    CColor getPoint(const CPoint& point);
    void floodFill(const CPoint& start);

    long getStringWidth(const char* text);
    /// One line, vertically centred in rect, in fontColor; null text draws nothing.
    void drawString(const char* text, const CRect& rect, const short opaque = false,
                    const CHoriTxtAlign hAlign = kAlignCenter);

    /// Current buttons and modifiers as CButton bits (0 without a window).
    long getMouseButtons();
    /// Pointer position minus screenOffset.
    void getMouseLocation(CPoint& point);
    /// Waits for a second click within the double-click time; true when it came.
    bool waitDoubleClick();
    /// Waits until the pointer moved a few pixels with a button held (true) or the button rose.
    bool waitDrag();

    void* getWindow() const { return window; }
    void* getSystemContext() const { return systemContext; }
    CFrame* getFrame() const { return frame; }

    /// True when drawing happened since the last flush.
    bool hasPendingOutput() const { return pendingOutput; }
    /// Shows pending output and clears the mark.
    void synchronize();

    CPoint screenOffset; ///< the surface origin in pointer coordinates
    CPoint drawOffset;   ///< caller origin on the surface

protected:
    /// For offscreens: no window surface, clip (0, 0, width, height).
    struct OffscreenTag
    {
    };
    CDrawContext(OffscreenTag, CFrame* frame);

    kalvo::platform::DrawAttributes drawState() const;
    CRect frameClip() const;
    CRect toSurface(const CRect& r) const
    {
        CRect moved = r;
        return moved.offset(drawOffset.x, drawOffset.y);
    }
    CPoint toSurface(const CPoint& p) const { return CPoint(p.x + drawOffset.x, p.y + drawOffset.y); }
    void touched() { pendingOutput = true; }
    void initDefaults();

    void* systemContext = nullptr;
    void* window = nullptr;
    CFrame* frame = nullptr;
    long fontSize = 0;
    long fontStyle = 0;
    CFont fontId = kSystemFont;
    CColor fontColor = kWhiteCColor;
    CPoint penPosition;
    long lineWidth = 1;
    CColor frameColor = kWhiteCColor;
    CColor fillColor = kBlackCColor;
    CLineStyle lineStyle = kLineSolid;
    CDrawMode drawMode = kCopyMode;
    CRect clipRect;

    kalvo::platform::Surface* surface = nullptr;          ///< where drawing goes, may be null
    std::unique_ptr<kalvo::platform::Surface> ownSurface; ///< the same when this context made it
    bool pendingOutput = false;

    friend class CBitmap;
    friend class COffscreenContext;
};

/// The same drawing interface on a private surface, for composing off screen and copying the
/// result to the window in one step.
class COffscreenContext : public CDrawContext
{
public:
    /// A width x height surface, filled and outlined in backgroundColor; clip (0, 0, width, height).
    COffscreenContext(CFrame* frame, long width, long height, const CColor backgroundColor = kBlackCColor);
    /// A surface of the bitmap's size (20 x 20 without one): with drawInBitmap the drawing goes
    /// into the bitmap's pixels, else into a copy of the bitmap (black without one).
    COffscreenContext(CDrawContext* context, CBitmap* bitmap, bool drawInBitmap = false);
    ~COffscreenContext() override;

    kalvo::platform::Surface* getSurface() override { return surface; }

    /// Copies surface pixels from srcOffset into dest's destRect (dest coordinates, its clip applied).
    void copyFrom(CDrawContext* dest, CRect destRect, CPoint srcOffset = CPoint(0, 0));
    /// Copies pixels of source inside srcRect (source coordinates) to this surface at destOffset.
    void copyTo(CDrawContext* source, CRect& srcRect, CPoint destOffset = CPoint(0, 0));

    long getWidth() const { return width; }
    long getHeight() const { return height; }
    CColor getBackgroundColor() const { return backgroundColor; }

protected:
    CBitmap* bitmap = nullptr;
    long width = 0;
    long height = 0;
    CColor backgroundColor = kBlackCColor;
    bool destroyPixmap = false; ///< true when this context owns its surface
};
