// The undo history of the frame memory: every command that changes the memory is one step, kept
// as the bytes it changed (an XOR delta, run-coded) together with the record of where the memory
// came from before and after it. Undo and redo apply the same delta, so a step costs about as
// much as the bytes it changed, however large the range it touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <utility>
#include <vector>

namespace dotreel {

// The changed bytes between two equally long views, as runs: unchanged stretches are skipped,
// a stretch of one repeated difference is kept as one byte. Empty when nothing differs.
struct ByteDelta {
    std::vector<uint8_t> packed;
    bool empty() const { return packed.empty(); }
};

ByteDelta makeDelta(std::span<const uint8_t> before, std::span<const uint8_t> after);

// XORs the delta into `bytes` (which must be as long as the views it was made from): turns
// `before` into `after` and `after` back into `before`.
void applyDelta(const ByteDelta& delta, std::span<uint8_t> bytes);

// `Source` is the caller's record of which file the memory came from: copyable and comparable
// with ==. The history treats it as an opaque value.
template <class Source>
class MemoryHistory {
public:
    static constexpr size_t kDefaultDepth = 100;

    explicit MemoryHistory(size_t depth = kDefaultDepth) : depth_(depth < 1 ? 1 : depth) {}

    // The state before a command: taken just before the command runs, given back to commit().
    struct Before {
        std::vector<uint8_t> bytes;
        Source source;
    };
    static Before snapshot(std::span<const uint8_t> memory, const Source& source) {
        return {std::vector<uint8_t>(memory.begin(), memory.end()), source};
    }

    // Records the step from `before` to the memory and source as they now are. A command that
    // changed nothing adds no step (so an undo never seems to do nothing). A new step drops the
    // steps that were undone; past the depth the oldest step is forgotten. True when recorded.
    bool commit(const Before& before, std::span<const uint8_t> memory, const Source& source) {
        ByteDelta delta = makeDelta(before.bytes, memory);
        if (delta.empty() && before.source == source) return false;
        delta.packed.shrink_to_fit();
        steps_.resize(done_);
        steps_.push_back({std::move(delta), before.source, source});
        if (steps_.size() > depth_) steps_.pop_front();
        done_ = steps_.size();
        return true;
    }

    // Undoes the last step done: the memory as it was before it, and the source too when the step
    // changed it. False when
    // there is nothing to undo (memory and source untouched).
    bool undo(std::span<uint8_t> memory, Source& source) {
        if (done_ == 0) return false;
        const Step& step = steps_[--done_];
        applyDelta(step.delta, memory);
        // Only a step that changed the source (a layer load) gives it back: after a save, the
        // source is the file as saved, and undoing a drawing step must not make it look stale.
        if (!(step.before == step.after)) source = step.before;
        return true;
    }

    // Does again the step last undone. False when there is nothing to redo.
    bool redo(std::span<uint8_t> memory, Source& source) {
        if (done_ == steps_.size()) return false;
        const Step& step = steps_[done_++];
        applyDelta(step.delta, memory);
        if (!(step.before == step.after)) source = step.after;
        return true;
    }

    void clear() {
        steps_.clear();
        done_ = 0;
    }

    size_t undoCount() const { return done_; }
    size_t redoCount() const { return steps_.size() - done_; }
    size_t depth() const { return depth_; }

    // Heap and object bytes the kept steps take (a Source's own heap is not counted).
    size_t memoryUse() const {
        size_t bytes = sizeof(*this);
        for (const Step& step : steps_) bytes += sizeof(Step) + step.delta.packed.capacity();
        return bytes;
    }

private:
    struct Step {
        ByteDelta delta;
        Source before;
        Source after;
    };
    std::deque<Step> steps_;
    size_t done_ = 0;  // steps_[0 .. done_) are applied; the rest can be redone
    size_t depth_;
};

}  // namespace dotreel
