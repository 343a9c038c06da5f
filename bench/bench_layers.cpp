// Times the layer loads, the OR composite, the layer commands and the save, on real files in a
// temporary folder. Prints figures only; build Release to read them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/layerload.h"
#include "app/memorysource.h"
#include "app/modmain.h"
#include "app/save.h"
#include "files/hexcodec.h"
#include "layers/composite.h"
#include "layers/layercommand.h"

using namespace dotreel;
namespace fs = std::filesystem;

namespace {

struct Figures {
    double best = 0;
    double median = 0;
};

Figures measure(int runs, const std::function<void()>& work) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        const auto t1 = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

void print(const char* what, int runs, const Figures& f) {
    std::printf("%-46s runs %3d  best %8.3f ms  median %8.3f ms\n", what, runs, f.best, f.median);
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace

int main() {
    char tmpl[] = "/tmp/bench_layers.XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) return 1;
    const std::string app = std::string(tmpl) + "/";
    ModMain state;
    state.strAppPath = app;
    state.strDataPath = app + "データー/";
    state.strSetPath = app + "設定/";
    fs::create_directories(state.strDataPath);
    fs::create_directories(state.strSetPath);

    FrameMemory pattern{};
    for (size_t k = 0; k < pattern.size(); ++k)
        pattern[k] = static_cast<uint8_t>(k * 37 + (k >> 8));
    writeText(state.strDataPath + "FirstData.txt", formatFrameFile(pattern));
    for (auto& b : pattern) b = static_cast<uint8_t>(b ^ 0x5A);
    writeText(state.strDataPath + "SecondData.txt", formatFrameFile(pattern));

    // A failure would spoil the figures: say so and give the load up.
    struct FailHard : Dialogs {
        Answer ask(const Dialog& dialog) override {
            std::fprintf(stderr, "%s: %s\n", dialog.title.c_str(), dialog.text.c_str());
            return Answer::Cancel;
        }
    } failHard;
    const int runs = 30;

    print("load one layer (FirstData.txt)", runs,
          measure(runs, [&] { loadLayer(state, failHard, 0); }));
    print("load image OR background (two files)", runs,
          measure(runs, [&] { loadLayer(state, failHard, 3); }));
    auto background = std::make_unique<FrameMemory>(pattern);
    print("OR composite alone (131072 bytes)", runs,
          measure(runs, [&] { orComposite(state.bytFrameData(), *background); }));

    const LayerCommandInput fillAll{1, false, "", "", ""};
    const LayerCommandInput pictureAll{2, false, "", "", "10"};
    print("fill all (check + apply)", runs, measure(runs, [&] {
              applyLayerPlan(state.bytFrameData(), std::get<LayerPlan>(checkLayerCommand(fillAll)));
          }));
    print("picture to all 268 frames (check + apply)", runs, measure(runs, [&] {
              applyLayerPlan(state.bytFrameData(),
                             std::get<LayerPlan>(checkLayerCommand(pictureAll)));
          }));

    print("format the frame file (524288 bytes)", runs,
          measure(runs, [&] { (void)formatFrameFile(state.bytFrameData()); }));
    SaveInput in;
    in.layerSelected = {true, false, false, false};
    in.settingsTexts = {"0", "267", "100"};
    // The image layer again, so that saving replaces the file the memory came from, unasked.
    loadLayer(state, failHard, 0);
    print("save without flush (format + 2 files)", runs,
          measure(runs, [&] { saveAll(state, failHard, in, /*flush=*/false); }));
    print("save with flush (format + 2 files, fsync)", runs,
          measure(runs, [&] { saveAll(state, failHard, in, /*flush=*/true); }));

    print("unsaved-work check on closing (fingerprint + grid)", runs, measure(runs, [&] {
              (void)hasUnsavedWork(state.memorySource, state.bytFrameData(), state.dots, 0, 0);
          }));

    fs::remove_all(tmpl);
    return 0;
}
