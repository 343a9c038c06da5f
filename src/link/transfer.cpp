#include "link/transfer.h"

#include <vector>

namespace dotreel::link {
namespace {

constexpr size_t kBlock = DOTREEL_LINK_BLOCK_BYTES;
constexpr size_t kBlocks = kStoreBytes / kBlock;
static_assert(kStoreBytes == DOTREEL_LINK_STORE_BYTES);

}  // namespace

void uploadStore(Session& session, const uint8_t* store, const TransferProgress& progress,
                 const std::atomic<bool>* cancel, unsigned window) {
    size_t done = 0;
    session.writeBlocks(
        0, store, kBlocks,
        [&](size_t) {
            done += kBlock;
            if (progress) progress(TransferPhase::Writing, done, kStoreBytes);
        },
        cancel, window);
}

std::optional<StoreDifference> verifyStore(Session& session, const uint8_t* store,
                                           const TransferProgress& progress,
                                           const std::atomic<bool>* cancel, unsigned window) {
    std::vector<uint8_t> found(kStoreBytes);
    size_t done = 0;
    session.readBlocks(
        0, found.data(), kBlocks,
        [&](size_t) {
            done += kBlock;
            if (progress) progress(TransferPhase::Verifying, done, kStoreBytes);
        },
        cancel, window);
    // Compared once all is in: blocks arrive in any order, the first difference is by address.
    std::optional<StoreDifference> difference;
    for (size_t i = 0; i < kStoreBytes; ++i) {
        if (found[i] == store[i]) continue;
        if (!difference)
            difference = StoreDifference{static_cast<uint32_t>(i), store[i], found[i], 0};
        ++difference->differing;
    }
    return difference;
}

}  // namespace dotreel::link
