// The whole store through the link: written page by page (each block answered only once the
// EEPROM's write cycle is over), then read back in full and compared byte for byte, each with up
// to `window` requests in flight (Session::writeBlocks). Once the caller's cancel flag is set no
// block is asked for any more; those in flight are finished (or time out), so the device is left
// answering.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "link/session.h"

namespace dotreel::link {

enum class TransferPhase { Writing, Verifying };

// Called after every block answered: the phase, the bytes done in it, the bytes it has in all.
using TransferProgress = std::function<void(TransferPhase, size_t done, size_t total)>;

// Where the device's store first differs from the expected one.
struct StoreDifference {
    uint32_t address = 0;
    uint8_t expected = 0, found = 0;
    size_t differing = 0;  // bytes that differ, in all
};

inline constexpr size_t kStoreBytes = 131072;

// Writes `store` (kStoreBytes) to the device. Throws LinkError (Cancelled when `cancel` was set).
void uploadStore(Session& session, const uint8_t* store, const TransferProgress& progress,
                 const std::atomic<bool>* cancel = nullptr, unsigned window = kBlockWindow);

// Reads the device's whole store and compares it with `store`: nothing when they are equal.
std::optional<StoreDifference> verifyStore(Session& session, const uint8_t* store,
                                           const TransferProgress& progress,
                                           const std::atomic<bool>* cancel = nullptr,
                                           unsigned window = kBlockWindow);

}  // namespace dotreel::link
