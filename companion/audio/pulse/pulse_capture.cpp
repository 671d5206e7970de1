#include "companion/audio/audio_source.h"

#include "companion/audio/spectrum_analyzer.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <vector>

namespace companion {
namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint8_t kChannels = 2;

class PulseCapture : public AudioSource {
public:
    explicit PulseCapture(pa_simple* stream) : m_stream(stream) {}
    ~PulseCapture() override { pa_simple_free(m_stream); }

    double sampleRate() const override { return kRate; }

    bool read(std::span<float> hop) override
    {
        m_frames.resize(hop.size() * kChannels);
        int error = 0;
        if (pa_simple_read(m_stream, m_frames.data(), m_frames.size() * sizeof(float), &error) <
            0) {
            m_error = pa_strerror(error);
            return false;
        }
        for (std::size_t i = 0; i < hop.size(); ++i)
            hop[i] = 0.5f * (m_frames[2 * i] + m_frames[2 * i + 1]);
        return true;
    }

    std::string error() const override { return m_error; }

private:
    pa_simple* m_stream;
    std::vector<float> m_frames;
    std::string m_error;
};

} // namespace

platform::Result<std::unique_ptr<AudioSource>> openDesktopCapture()
{
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, kRate, kChannels};
    // Small fragments keep the latency at one hop; the server wakes us once per hop.
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.fragsize = static_cast<std::uint32_t>(kHopSize * kChannels * sizeof(float));
    int error = 0;
    pa_simple* stream =
        pa_simple_new(nullptr, "halvek-audio", PA_STREAM_RECORD, "@DEFAULT_MONITOR@",
                      "keyboard lighting", &spec, nullptr, &attributes, &error);
    if (stream == nullptr)
        return platform::makeError(platform::Error::Code::Unavailable,
                                   std::string("cannot capture the desktop's sound: ") +
                                       pa_strerror(error));
    return std::unique_ptr<AudioSource>(std::make_unique<PulseCapture>(stream));
}

} // namespace companion
