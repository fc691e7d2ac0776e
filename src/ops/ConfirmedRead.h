#pragma once

#include "ops/BoardSearch.h"

namespace kelvo {

// Reads the settings as a search does; the board that answers is read in
// passes until two agree (RunBoardOperation), so that nothing kept, shown
// or written back rests on a single pass over a noisy cable.
// Disagreed: no two passes agreed; the user has been told, and the image
// holds the last pass.
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
