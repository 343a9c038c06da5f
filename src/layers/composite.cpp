#include "layers/composite.h"

#include <cstddef>

namespace dotreel {

void orComposite(FrameMemory& target, const FrameMemory& background) {
    for (size_t k = 0; k < static_cast<size_t>(kStoreBytes); ++k) target[k] |= background[k];
}

}  // namespace dotreel
