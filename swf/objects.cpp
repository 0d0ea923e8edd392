#include "swf/objects.h"

namespace {
// Counted wider than the 16-bit ids so that running out is noticed instead of wrapping silently.
uint32_t characterIdsIssued = 0;
} // namespace

uint16_t NextCharacterId() {
    ++characterIdsIssued;
    return static_cast<uint16_t>(characterIdsIssued);
}

bool CharacterIdsExhausted() {
    return characterIdsIssued > 0xFFFF;
}

void ResetCharacterIds() {
    characterIdsIssued = 0;
}
