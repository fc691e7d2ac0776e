#include "ui/OptionPages.h"

#include "ui/CBFiringChildDialog.h"
#include "ui/DialogModeChildDialog.h"
#include "ui/EyeChildDialog.h"
#include "ui/FiringChildDialog.h"
#include "ui/LCDDisplayChildDialog.h"
#include "ui/LCDMenuChildDialog.h"
#include "ui/PowerChildDialog.h"
#include "ui/PresetsChildDialog.h"
#include "ui/TimerChildDialog.h"

namespace kelvo {

OptionPageSet MakeOptionPages(PageEnvironment& env) {
    return {
        std::make_unique<FiringChildDialog>(env),     std::make_unique<CBFiringChildDialog>(env),
        std::make_unique<EyeChildDialog>(env),        std::make_unique<TimerChildDialog>(env),
        std::make_unique<LCDDisplayChildDialog>(env), std::make_unique<LCDMenuChildDialog>(env),
        std::make_unique<PresetsChildDialog>(env),    std::make_unique<PowerChildDialog>(env),
        std::make_unique<DialogModeChildDialog>(env)};
}

} // namespace kelvo
