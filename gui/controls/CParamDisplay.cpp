#include "CParamDisplay.h"

#include "gui/CBitmap.h"

#include <cstdio>
#include <cstring>

CParamDisplay::CParamDisplay(const CRect& size, CBitmap* background, long style)
    : CControl(size, nullptr, 0, background), style(static_cast<std::int32_t>(style))
{
    // A display that never draws starts clean, so the idle pass leaves it alone until its value
    // changes.
    if (style & kDisplayNoDraw)
        setDirty(false);
}

bool CParamDisplay::isTypeOf(const char* className) const
{
    if (className && std::strcmp(className, "CParamDisplay") == 0)
        return true;
    return CControl::isTypeOf(className);
}

void CParamDisplay::setFont(CFont newFont)
{
    if (fontID != newFont)
    {
        fontID = newFont;
        setDirty(true);
    }
}

void CParamDisplay::setFontColor(CColor color)
{
    if (fontColor != color)
    {
        fontColor = color;
        setDirty(true);
    }
}

void CParamDisplay::setBackColor(CColor color)
{
    if (backColor != color)
    {
        backColor = color;
        setDirty(true);
    }
}

void CParamDisplay::setFrameColor(CColor color)
{
    if (frameColor != color)
    {
        frameColor = color;
        setDirty(true);
    }
}

void CParamDisplay::setShadowColor(CColor color)
{
    if (shadowColor != color)
    {
        shadowColor = color;
        setDirty(true);
    }
}

void CParamDisplay::setHoriAlign(CHoriTxtAlign align)
{
    if (horiTxtAlign != align)
    {
        horiTxtAlign = align;
        setDirty(true);
    }
}

void CParamDisplay::setStringConvert(StringConvert convert)
{
    stringConvert = convert;
}

void CParamDisplay::setStringConvert(StringConvertWithData convert, void* data)
{
    stringConvert2 = convert;
    userData = data;
}

void CParamDisplay::setString2FloatConvert(String2FloatConvert convert)
{
    string2FloatConvert = convert;
}

void CParamDisplay::setStyle(long newStyle)
{
    if (style != newStyle)
    {
        style = static_cast<std::int32_t>(newStyle);
        setDirty(true);
    }
}

void CParamDisplay::setTxtFace(CTxtFace face)
{
    if (txtFace != face)
    {
        txtFace = face;
        setDirty(true);
    }
}

void CParamDisplay::formatValue(float val, char* text) const
{
    std::memset(text, 0, kTextSize);
    if (stringConvert2)
        stringConvert2(val, text, userData);
    else if (stringConvert)
        stringConvert(val, text);
    else
        std::snprintf(text, kTextSize, "%2.2f", static_cast<double>(val));
    // A converter that filled the whole buffer still leaves a terminated text.
    text[kTextSize - 1] = 0;
}

void CParamDisplay::draw(CDrawContext* context)
{
    char text[kTextSize];
    formatValue(value, text);
    drawText(context, text, nullptr);
}

void CParamDisplay::drawText(CDrawContext* context, const char* text, CBitmap* newBackground)
{
    setDirty(false);
    if ((style & kDisplayNoDraw) || !context)
        return;

    CBitmap* image = newBackground ? newBackground : background;
    if (image)
    {
        CRect where = size;
        if (transparent)
            image->drawTransparent(context, where, backOffset);
        else
            image->draw(context, where, backOffset);
    }
    else if (!transparent)
    {
        context->setFillColor(backColor);
        context->fillRect(size);
        if (!(style & (kDisplayNoFrame | kDisplayBevelFrameFirst | kDisplayBevelBackFirst)))
        {
            context->setLineWidth(1);
            context->setLineStyle(kLineSolid);
            context->setFrameColor(frameColor);
            context->drawRect(size, kDrawStroked);
        }
    }

    if (style & (kDisplayBevelBackFirst | kDisplayBevelFrameFirst))
    {
        const bool backFirst = (style & kDisplayBevelBackFirst) != 0;
        context->setLineWidth(1);
        context->setLineStyle(kLineSolid);
        context->setFrameColor(backFirst ? backColor : frameColor);
        context->moveTo(CPoint(size.left, size.bottom - 1));
        context->lineTo(CPoint(size.left, size.top + 1));
        context->lineTo(CPoint(size.right - 1, size.top + 1));
        context->setFrameColor(backFirst ? frameColor : backColor);
        context->moveTo(CPoint(size.right - 1, size.top + 1));
        context->lineTo(CPoint(size.right - 1, size.bottom - 1));
        context->lineTo(CPoint(size.left, size.bottom - 1));
    }

    if ((style & kDisplayNoText) || !text)
        return;

    CRect oldClip;
    context->getClipRect(oldClip);
    CRect clip = size;
    clip.bound(oldClip);
    context->setClipRect(clip);
    context->setFont(fontID, 0, txtFace);
    // An opaque text box is painted in the back colour.
    context->setFillColor(backColor);
    const short opaque = textTransparency ? 0 : 1;
    if (style & kDisplayShadowText)
    {
        CRect shadow = size;
        shadow.offset(1, 1);
        context->setFontColor(shadowColor);
        context->drawString(text, shadow, opaque, horiTxtAlign);
    }
    context->setFontColor(fontColor);
    context->drawString(text, size, opaque, horiTxtAlign);
    context->setClipRect(oldClip);
}
