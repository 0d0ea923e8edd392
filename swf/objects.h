#pragma once

#include <cstdint>

class FSWFStream;

// Base of every tag object. Tags are created with new and owned by whoever they are handed to
// (usually an FObjCollection), which deletes them through this virtual destructor.
class FObj {
public:
    virtual ~FObj() = default;
    // Appends the complete tag (header and body). Writing does not change the tag, so a movie
    // may be written more than once.
    virtual void WriteTo(FSWFStream& out) = 0;
    virtual bool EndsFrame() const { return false; }
    // True when the tag's content cannot be expressed in its fields (see the tags that override).
    virtual bool ExceedsFormatLimits() const { return false; }
};

// Definition tags: each takes its character id from NextCharacterId when it is constructed.
class FDT : public FObj {
public:
    void WriteTo(FSWFStream&) override {}
    virtual uint16_t CharacterId() const { return 0; }
};

// Control tags.
class FCT : public FObj {
public:
    void WriteTo(FSWFStream&) override {}
};

// Process-wide character-id counter: the first definition of a movie gets id 1. It restarts when
// FObjCollection::WriteMovie has finished with a movie (see there) or on ResetCharacterIds.
uint16_t NextCharacterId();
// True once more ids were handed out since the last restart than the 16-bit field can number
// (65,535); ids then wrap, and a movie holding them must not be written.
bool CharacterIdsExhausted();
// Restarts the counter, for a caller that abandons a movie without writing it.
void ResetCharacterIds();
