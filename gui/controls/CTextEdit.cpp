#include "CTextEdit.h"

#include "gui/CFrame.h"
#include "vst2/VstInterface.h"

#include <cstring>

namespace
{
// The caret keeps this many pixels from the field's right edge when the text is wider than
// the field; the text then scrolls left.
constexpr long kCaretMargin = 3;

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}
} // namespace

CTextEdit::CTextEdit(const CRect& size, CControlListener* listener, long tag)
    : CParamDisplay(size, nullptr, 0)
{
    setListener(listener);
    setTag(tag);
    focusable = false; // Tab traversal skips it: it is opened on purpose, not walked into
    horiTxtAlign = kAlignLeft;
    fontColor = kBlackCColor;
    backColor = kWhiteCColor;
    frameColor = kBlackCColor;
    shadowColor = kRedCColor;
}

bool CTextEdit::isTypeOf(const char* className) const
{
    if (className && std::strcmp(className, "CTextEdit") == 0)
        return true;
    return CParamDisplay::isTypeOf(className);
}

void CTextEdit::start(const char* text)
{
    content = text ? text : "";
    caret = content.size();
    state = Ending::open;
    refused = false;
    editing = true;
    setDirty(true);
    if (frame)
        frame->setFocusView(this);
    takeFocus(nullptr);
}

void CTextEdit::showRefused(long ms)
{
    if (!editing)
        return;
    refused = true;
    refusedUntil = (frame ? frame->getTicks() : 0) + ms;
    setDirty(true);
}

void CTextEdit::idleTick()
{
    if (!refused || !frame)
        return;
    // The clock wraps; the difference says whether the time is over.
    if (static_cast<std::int32_t>(static_cast<std::uint32_t>(frame->getTicks()) -
                                  static_cast<std::uint32_t>(refusedUntil)) >= 0)
    {
        refused = false;
        setDirty(true);
    }
}

void CTextEdit::draw(CDrawContext* context)
{
    setDirty(false);
    if (!context)
        return;
    context->setFillColor(backColor);
    context->fillRect(size);
    context->setLineWidth(1);
    context->setLineStyle(kLineSolid);
    context->setFrameColor(frameColor);
    context->drawRect(size, kDrawStroked);

    CRect oldClip;
    context->getClipRect(oldClip);
    const CRect inner(size.left + 1, size.top + 1, size.right - 1, size.bottom - 1);
    CRect clip = inner;
    clip.bound(oldClip);
    context->setClipRect(clip);
    context->setFont(fontID, 0, txtFace);
    const long caretX = context->getStringWidth(content.substr(0, caret).c_str());
    // Scroll so that the caret stays inside the field.
    const long shift = caretX + kCaretMargin > inner.width() ? caretX + kCaretMargin - inner.width() : 0;
    CRect line = inner;
    line.left -= shift;
    context->setFontColor(refused ? shadowColor : fontColor);
    context->drawString(content.c_str(), line, 0, kAlignLeft);
    if (editing)
    {
        // drawString starts one pixel inside its rectangle.
        const long x = line.left + 1 + caretX;
        context->setFrameColor(refused ? shadowColor : fontColor);
        context->moveTo(CPoint(x, inner.top + 1));
        context->lineTo(CPoint(x, inner.bottom - 2));
    }
    context->setClipRect(oldClip);
}

void CTextEdit::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    // A click inside the open field keeps it open; the caret goes to the end.
    (void)context;
    (void)where;
    (void)buttons;
    if (!editing)
        return;
    caret = content.size();
    setDirty(true);
}

size_t CTextEdit::nextBoundary(size_t at, int step) const
{
    if (step < 0)
    {
        if (at == 0)
            return 0;
        size_t i = at - 1;
        while (i > 0 && isContinuationByte(content[i]))
            --i;
        return i;
    }
    if (at >= content.size())
        return content.size();
    size_t i = at + 1;
    while (i < content.size() && isContinuationByte(content[i]))
        ++i;
    return i;
}

long CTextEdit::onKeyDown(VstKeyCode& keyCode)
{
    if (!editing)
        return kKeyNotHandled;
    refused = false;
    switch (keyCode.virt)
    {
    case VKEY_RETURN:
    case VKEY_ENTER:
        finish(Ending::committed);
        return 1;
    case VKEY_ESCAPE:
        finish(Ending::cancelled);
        return 1;
    case VKEY_BACK:
        if (caret > 0)
        {
            const size_t from = nextBoundary(caret, -1);
            content.erase(from, caret - from);
            caret = from;
        }
        break;
    case VKEY_DELETE:
        content.erase(caret, nextBoundary(caret, +1) - caret);
        break;
    case VKEY_LEFT:
        caret = nextBoundary(caret, -1);
        break;
    case VKEY_RIGHT:
        caret = nextBoundary(caret, +1);
        break;
    case VKEY_HOME:
        caret = 0;
        break;
    case VKEY_END:
        caret = content.size();
        break;
    default:
    {
        char c = 0;
        if (keyCode.virt >= VKEY_NUMPAD0 && keyCode.virt <= VKEY_NUMPAD9)
            c = static_cast<char>('0' + (keyCode.virt - VKEY_NUMPAD0));
        else if (keyCode.virt == VKEY_DECIMAL)
            c = '.';
        else if (keyCode.virt == VKEY_SUBTRACT)
            c = '-';
        else if (keyCode.character >= 0x20 && keyCode.character < 0x7f &&
                 !(keyCode.modifier & (MODIFIER_COMMAND | MODIFIER_CONTROL)))
            c = static_cast<char>(keyCode.character);
        if (c && content.size() < kTextSize - 1)
        {
            content.insert(caret, 1, c);
            ++caret;
        }
        break;
    }
    }
    setDirty(true);
    // Every key is the field's while it is open, so none becomes a host shortcut.
    return 1;
}

long CTextEdit::onKeyUp(VstKeyCode& keyCode)
{
    (void)keyCode;
    return editing ? 1 : kKeyNotHandled;
}

void CTextEdit::takeFocus(CDrawContext* context)
{
    (void)context;
    if (editing && frame)
        frame->setKeyboardFocus(true);
}

void CTextEdit::looseFocus(CDrawContext* context)
{
    (void)context;
    if (editing)
        finish(Ending::cancelled);
}

void CTextEdit::finish(Ending how)
{
    editing = false;
    refused = false;
    state = how;
    if (frame)
    {
        frame->setKeyboardFocus(false);
        if (frame->getFocusView() == this)
            frame->setFocusView(nullptr);
    }
    setDirty(true);
    // The listener may take the field out of the frame; it must hold a reference of its own.
    if (listener)
        listener->valueChanged(nullptr, this);
}
