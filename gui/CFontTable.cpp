#include "CFontTable.h"

namespace
{
const CFontDesc kArialTable[8] = {
    {"Arial", 12}, {"Arial", 18}, {"Arial", 14}, {"Arial", 12},
    {"Arial", 11}, {"Arial", 10}, {"Arial", 9},  {"Symbol", 13},
};
const CFontDesc kHelveticaTable[8] = {
    {"Helvetica", 12}, {"Helvetica", 18}, {"Helvetica", 14}, {"Helvetica", 12},
    {"Helvetica", 10}, {"Helvetica", 9},  {"Helvetica", 9},  {"Symbol", 12},
};

#if defined(KALVO_RULES_mac)
const CFontDesc* const kTable = kHelveticaTable;
#else
const CFontDesc* const kTable = kArialTable;
#endif
} // namespace

const CFontDesc& standardFont(long index)
{
    (void)kArialTable;
    (void)kHelveticaTable;
    if (index < 0 || index >= 8)
        index = 0;
    return kTable[index];
}
