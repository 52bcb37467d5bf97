// A control that shows its value as text, formatted by a converter the creator installs.
#pragma once

#include "CControl.h"
#include "gui/CDrawContext.h"

/// Display style bits.
enum CParamDisplayStyle : long
{
    kDisplayShadowText = 0x4,        ///< the text is drawn first in shadowColor, moved by (1, 1)
    kDisplayBevelBackFirst = 0x80,   ///< one-pixel bevel: top and left in backColor, the rest in frameColor
    kDisplayBevelFrameFirst = 0x100, ///< the bevel with the colours exchanged
    kDisplayNoText = 0x800,          ///< background and frame only
    kDisplayNoDraw = 0x1000,         ///< nothing is drawn at all
    kDisplayNoFrame = 0x4000,        ///< no frame around a filled background
};

/// Shows the value through `stringConvert2`, else `stringConvert`, else "%2.2f" (0.5 shows
/// "0.50"), over its background bitmap or a filled and framed box.
class CParamDisplay : public CControl
{
public:
    /// Writes the text for a value into a buffer of 256 characters.
    using StringConvert = void (*)(float value, char* text);
    using StringConvertWithData = void (*)(float value, char* text, void* userData);
    using String2FloatConvert = void (*)(char* text, float& value);

    /// The size of the text buffer handed to the converters, terminator included.
    static constexpr int kTextSize = 256;

    CParamDisplay(const CRect& size, CBitmap* background = nullptr, long style = 0);

    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* className) const override;

    virtual void setFont(CFont fontID);
    virtual void setFontColor(CColor color);
    virtual void setBackColor(CColor color);
    virtual void setFrameColor(CColor color);
    virtual void setShadowColor(CColor color);
    virtual void setHoriAlign(CHoriTxtAlign align);
    virtual void setStringConvert(StringConvert convert);
    virtual void setStringConvert(StringConvertWithData convert, void* userData);
    virtual void setString2FloatConvert(String2FloatConvert convert);
    virtual void setStyle(long style);
    virtual void setTxtFace(CTxtFace face);
    /// false: the text sits on an opaque box of the back colour.
    virtual void setTextTransparency(bool val) { textTransparency = val; }

    CFont getFont() const { return fontID; }
    CColor getFontColor() const { return fontColor; }
    CColor getBackColor() const { return backColor; }
    CColor getFrameColor() const { return frameColor; }
    CColor getShadowColor() const { return shadowColor; }
    CHoriTxtAlign getHoriAlign() const { return horiTxtAlign; }
    long getStyle() const { return style; }
    CTxtFace getTxtFace() const { return txtFace; }
    bool getTextTransparency() const { return textTransparency; }

    /// Draws the background (newBackground, else the view's bitmap, else a box) and `text`.
    void drawText(CDrawContext* context, const char* text, CBitmap* newBackground = nullptr);
    /// The text the display shows for `val`, written into `text` (kTextSize characters).
    void formatValue(float val, char* text) const;

protected:
    StringConvert stringConvert = nullptr;
    StringConvertWithData stringConvert2 = nullptr;
    String2FloatConvert string2FloatConvert = nullptr;
    void* userData = nullptr;
    CHoriTxtAlign horiTxtAlign = kAlignCenter;
    std::int32_t style = 0;
    CFont fontID = kNormalFont;
    CTxtFace txtFace = kNormalFace;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    CColor shadowColor = kRedCColor;
    bool textTransparency = true;
};
