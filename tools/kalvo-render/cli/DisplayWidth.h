#pragma once

// How many terminal columns a UTF-8 text takes: most characters one, the
// wide characters of East Asian scripts (and emoji) two, combining marks and
// other zero-width characters none. "Öhringen" is 8 columns whether its Ö is
// one character or an O with a combining diaeresis; "録音" is 4. Bytes that
// are not UTF-8 count one column each, as terminals show them.

#include <string>

namespace render
{

/// Columns `text` takes on a terminal.
int displayWidth(const std::string& text);

/// `text` followed (padRight) or preceded (padLeft) by spaces up to `columns`.
std::string padRight(const std::string& text, int columns);
std::string padLeft(const std::string& text, int columns);

} // namespace render
