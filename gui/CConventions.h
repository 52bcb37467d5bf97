// Conventions every view shares: mouse buttons and modifiers, wheel axes, cursors, messages
// and attribute keys.
#pragma once

#include <cstdint>

/// Button and modifier bits of one `long`, passed to every mouse operation. The value -1 asks the
/// receiver to fetch the bits from the draw context.
enum CButton : long
{
    kButtonLeft = 1,          ///< primary button
    kButtonMiddle = 2,        ///< middle button
    kButtonRight = 4,         ///< secondary button
    kModifierShift = 8,       ///< Shift held
    kModifierCommand = 16,    ///< Ctrl held (Command on the Mac)
    kModifierAlt = 32,        ///< Alt held (Option on the Mac)
    kModifierMacControl = 64, ///< Control held, Mac only
};

/// Mask of all modifier bits; a click carrying any of them is offered to the listener first.
constexpr long kModifierMask = kModifierShift | kModifierCommand | kModifierAlt | kModifierMacControl;

/// Axis of a mouse-wheel turn.
enum CMouseWheelAxis
{
    kWheelAxisX = 0,
    kWheelAxisY = 1,
};

/// Pointer shapes the frame can show.
enum CCursorType
{
    kCursorDefault = 0,
    kCursorWait,
    kCursorHSize,
    kCursorVSize,
    kCursorSizeAll,
    kCursorNESWSize,
    kCursorNWSESize,
    kCursorCopy,
    kCursorNotAllowed,
    kCursorHand,
};

/// Key handlers answer this when they did not handle the key; any other value means handled.
constexpr long kKeyNotHandled = -1;

/// Message asking a parent whether it is a container; compared by pointer, not by text.
extern const char* kMsgCheckIfViewContainer;

/// Key of a view attribute, a four-character code.
using CViewAttributeID = std::uint32_t;

/// Packs four characters into a code, the first in the most significant byte.
constexpr CViewAttributeID makeFourCharCode(char a, char b, char c, char d)
{
    return (static_cast<CViewAttributeID>(static_cast<unsigned char>(a)) << 24) |
           (static_cast<CViewAttributeID>(static_cast<unsigned char>(b)) << 16) |
           (static_cast<CViewAttributeID>(static_cast<unsigned char>(c)) << 8) |
           static_cast<CViewAttributeID>(static_cast<unsigned char>(d));
}

/// Attribute key of a reference pointer stored with a view ('cvrp').
constexpr CViewAttributeID kCViewAttributeReferencePointer = makeFourCharCode('c', 'v', 'r', 'p');
