// Reference-counted base of views, bitmaps, draw contexts and menu schemes.
#pragma once

#include <cstdint>

/// Starts with a count of 1, held by whoever created the object. Holders call `remember` when
/// they start holding and `forget` when they stop; the `forget` that finds the count at 1
/// deletes the object. Created, remembered once and forgotten twice: the second forget deletes.
class CReferenceCounter
{
public:
    CReferenceCounter() = default;
    virtual ~CReferenceCounter() = default;

    CReferenceCounter(const CReferenceCounter&) = delete;
    CReferenceCounter& operator=(const CReferenceCounter&) = delete;

    /// Drops one reference; deletes the object when it was the last.
    virtual void forget()
    {
        if (nbReference <= 1)
            delete this;
        else
            nbReference--;
    }
    /// Takes one more reference.
    virtual void remember() { nbReference++; }

    /// The current count (for holders and tests).
    long getNbReference() const { return nbReference; }

private:
    std::int32_t nbReference = 1;
};
