#include "device/model/lighting_preview.h"

#include "device/model/lighting_engine.h"

#include <algorithm>

namespace model {

std::vector<LightFrame> runPreview(const PreviewRequest& request)
{
    LightingEngine engine(request.seed);
    engine.setAudioSettings(request.audio);
    engine.setExternalColour(request.external);
    engine.setSettings(request.settings);
    // The engine starts in mode 0, so only a request for mode 0 itself needs the start.
    if (request.settings.mode == 0) {
        engine.resetEffects();
        engine.startStep();
    }

    std::vector<LightFrame> frames;
    if (request.steps <= 0) {
        frames.push_back(engine.lights().snapshot());
        return frames;
    }
    frames.reserve(request.keepEveryFrame ? std::size_t(request.steps) : 1);
    // Start well after time 0, as a running system does, so that timed effects see time pass.
    std::chrono::microseconds now = std::chrono::hours(1);
    const auto stepTime = kSystemTick * std::max(engine.threshold(), 1);
    for (int step = 0; step < request.steps; ++step) {
        if (!request.bands.empty())
            engine.setAudioSpectrum(request.bands);
        engine.stepMode(std::chrono::duration_cast<LightingEngine::Milliseconds>(now));
        if (request.keepEveryFrame || step + 1 == request.steps)
            frames.push_back(engine.lights().snapshot());
        now += stepTime;
    }
    return frames;
}

} // namespace model
