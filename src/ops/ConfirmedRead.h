#pragma once

#include "ops/BoardSearch.h"

namespace kelvo {

// Reads after the first that may disagree before a board's answers are
// given up on: a cable that flips a bit now and then gets through, one that
// flips bits on every read does not.
inline constexpr int kExtraReads = 3;

// Reads the settings as a search does, then reads them again from the board
// that answered until two reads in a row agree, so that nothing kept,
// shown or written back rests on a single pass over a noisy cable.
// Disagreed: no two reads agreed; the user has been told, and the image
// holds the last read.
AttemptResult ReadSettingsConfirmed(FlowContext& ctx);

// The same for the whole code memory (state.codeRead).
AttemptResult ReadCodeConfirmed(FlowContext& ctx);

// ReadSettingsConfirmed into `board`, leaving the image as it was.
AttemptResult ReadSettingsAside(FlowContext& ctx, BoardSettingsImage& board);

// After a settings write by the `written` family: reads the settings back
// (confirmed as above) and compares every entry the write sent with the
// image, and every other entry with `before`, the board's settings read
// just before the write: a bit error in an address sends a byte to another
// entry, and the write's own check never looks there. The image is left
// as it was. False, with the user told, when they differ or cannot be read.
bool VerifySettingsWritten(FlowContext& ctx, AttemptResult written,
                           const BoardSettingsImage& before);

} // namespace kelvo
