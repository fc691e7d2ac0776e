#include "link/RecordingPort.h"

#include "link/Link.h"

namespace kelvo {

std::vector<RecordingPort::Access> RecordingPort::WithoutPauses() const {
    std::vector<Access> out;
    for (const Access& a : accesses)
        if (!(a.isWrite && a.port == kPausePort))
            out.push_back(a);
    return out;
}

} // namespace kelvo
