#include "link/transfer.h"

#include <array>

namespace dotreel::link {
namespace {

constexpr size_t kBlock = DOTREEL_LINK_BLOCK_BYTES;
static_assert(kStoreBytes == DOTREEL_LINK_STORE_BYTES);

void checkCancel(const std::atomic<bool>* cancel) {
    if (cancel != nullptr && cancel->load())
        throw LinkError(LinkError::Kind::Cancelled, "cancelled");
}

}  // namespace

void uploadStore(Session& session, const uint8_t* store, const TransferProgress& progress,
                 const std::atomic<bool>* cancel) {
    for (size_t address = 0; address < kStoreBytes; address += kBlock) {
        checkCancel(cancel);
        session.write(static_cast<uint32_t>(address), store + address, kBlock);
        if (progress) progress(TransferPhase::Writing, address + kBlock, kStoreBytes);
    }
}

std::optional<StoreDifference> verifyStore(Session& session, const uint8_t* store,
                                           const TransferProgress& progress,
                                           const std::atomic<bool>* cancel) {
    std::optional<StoreDifference> difference;
    std::array<uint8_t, kBlock> block{};
    for (size_t address = 0; address < kStoreBytes; address += kBlock) {
        checkCancel(cancel);
        session.read(static_cast<uint32_t>(address), block.data(), kBlock);
        for (size_t i = 0; i < kBlock; ++i) {
            if (block[i] == store[address + i]) continue;
            if (!difference)
                difference = StoreDifference{static_cast<uint32_t>(address + i), store[address + i],
                                             block[i], 0};
            ++difference->differing;
        }
        if (progress) progress(TransferPhase::Verifying, address + kBlock, kStoreBytes);
    }
    return difference;
}

}  // namespace dotreel::link
