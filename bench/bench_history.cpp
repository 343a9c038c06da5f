// What the undo history costs: memory kept after 100 steps of the commands that change the most,
// and the time to record, undo and redo one step. Prints figures only; build Release to read the
// times (the memory figures do not depend on the build).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <span>
#include <string>

#include "app/history.h"
#include "layers/layercommand.h"

using namespace dotreel;

namespace {

using History = MemoryHistory<int>;  // the source record: any small value

std::span<uint8_t> stored(FrameMemory& m) { return {m.data(), static_cast<size_t>(kStoreBytes)}; }

void randomStore(FrameMemory& memory, unsigned seed) {
    std::mt19937 random(seed);
    for (int k = 0; k < kStoreBytes; ++k) memory[static_cast<size_t>(k)] = uint8_t(random());
}

LayerPlan wholeStore(LayerCommand command) {
    const auto check = checkLayerCommand({static_cast<int16_t>(command), false, "", "", "0"});
    return std::get<LayerPlan>(check);
}

double microseconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - since)
        .count();
}

// Runs `step` 100 times as history steps on a store of random bytes, then undoes and redoes
// them all; prints the steps kept, the bytes they take and the mean time of each operation.
void scenario(const char* name, const std::function<void(FrameMemory&, int)>& step) {
    auto memory = std::make_unique<FrameMemory>();
    randomStore(*memory, 1);
    History history;
    int source = 0;
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) {
        const auto before = History::snapshot(stored(*memory), source);
        step(*memory, i);
        history.commit(before, stored(*memory), source);
    }
    const double record = microseconds(t0) / 100;
    const size_t kept = history.undoCount();
    t0 = std::chrono::steady_clock::now();
    while (history.undo(stored(*memory), source)) {
    }
    const double undo = kept > 0 ? microseconds(t0) / double(kept) : 0;
    t0 = std::chrono::steady_clock::now();
    while (history.redo(stored(*memory), source)) {
    }
    const double redo = kept > 0 ? microseconds(t0) / double(kept) : 0;
    std::printf("%-46s %4zu steps %10zu bytes   record %7.1f us  undo %7.1f us  redo %7.1f us\n",
                name, kept, history.memoryUse(), record, undo, redo);
}

}  // namespace

int main() {
    std::printf("100 commands on a store of random bytes (the hardest content to keep):\n");
    scenario("全消去, whole store, pressed 100 times",
             [](FrameMemory& m, int) { applyLayerPlan(m, wholeStore(LayerCommand::Erase)); });
    scenario("全塗潰 / 全消去 in turn, whole store", [](FrameMemory& m, int i) {
        applyLayerPlan(m, wholeStore(i % 2 == 0 ? LayerCommand::Fill : LayerCommand::Erase));
    });
    scenario("全画像 from frame i, whole store", [](FrameMemory& m, int i) {
        auto plan = wholeStore(LayerCommand::Picture);
        plan.source = i;
        applyLayerPlan(m, plan);
    });
    scenario("記憶 of a changed frame i", [](FrameMemory& m, int i) {
        std::fill_n(m.begin() + i * kFrameBytes, kFrameBytes, uint8_t(0x55));
    });
    scenario("layer load of unrelated content (worst case)",
             [](FrameMemory& m, int i) { randomStore(m, 1000 + static_cast<unsigned>(i)); });
    return 0;
}
