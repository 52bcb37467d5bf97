// A one-line text field for typing a value in place: it takes the keys while it has the focus,
// commits on Enter and cancels on Escape or when the focus moves elsewhere.
#pragma once

#include "CParamDisplay.h"

#include <string>

/// Shows its text in a filled, framed box with a caret. The owner opens it with `start` (the
/// field becomes the focus view and asks the window system for the keyboard), and hears the
/// end through the listener's valueChanged: `ending()` then says whether the text was
/// committed (Enter) or the edit was cancelled (Escape, a click elsewhere, the focus moving).
/// Every key arriving while the field is open is consumed, so none reaches the host as a
/// shortcut. Texts are UTF-8; a key adds one printable ASCII character.
class CTextEdit : public CParamDisplay
{
public:
    enum class Ending
    {
        open,      ///< still being edited (or never started)
        committed, ///< Enter: the owner reads text() and applies it
        cancelled, ///< Escape, or the focus went elsewhere
    };

    CTextEdit(const CRect& size, CControlListener* listener, long tag);

    /// Opens the field with `text`, the caret at its end; the field must be in a frame.
    void start(const char* text);
    /// Shows the text as refused (in the shadow colour) for `ms` milliseconds; the field stays
    /// open for a correction. Nothing when it is not open.
    void showRefused(long ms);
    /// Ends the refusal's highlight once its time is over; the owner calls it from its idle.
    void idleTick();

    const std::string& text() const { return content; }
    Ending ending() const { return state; }
    bool isRefused() const { return refused; }

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    long onKeyDown(VstKeyCode& keyCode) override;
    long onKeyUp(VstKeyCode& keyCode) override;
    void takeFocus(CDrawContext* context = nullptr) override;
    void looseFocus(CDrawContext* context = nullptr) override;
    bool isTypeOf(const char* className) const override;

private:
    void finish(Ending how);
    /// Byte position of the character boundary before (step -1) or after (step +1) `at`.
    size_t nextBoundary(size_t at, int step) const;

    std::string content;
    size_t caret = 0; ///< byte position in content, always on a character boundary
    Ending state = Ending::open;
    bool editing = false;
    bool refused = false;
    long refusedUntil = 0; ///< ticks at which the refusal's highlight ends
};
