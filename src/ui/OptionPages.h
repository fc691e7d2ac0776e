#pragma once

#include "ui/CRHGenericChildDialog.h"

#include <array>
#include <memory>

namespace kelvo {

// The nine option page objects, indexed by page number (kPageFiring ..
// kPageDialogMode): FiringChildDialog, CBFiringChildDialog, EyeChildDialog,
// TimerChildDialog, LCDDisplayChildDialog, LCDMenuChildDialog,
// PresetsChildDialog, PowerChildDialog, DialogModeChildDialog.
using OptionPageSet = std::array<std::unique_ptr<CRHGenericChildDialog>, 9>;

OptionPageSet MakeOptionPages(PageEnvironment& env);

} // namespace kelvo
