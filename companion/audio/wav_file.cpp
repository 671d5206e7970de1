#include "companion/audio/wav_file.h"

#include "platform/files.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace companion {
namespace {

using platform::Error;

std::uint32_t u32(std::string_view bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

std::uint16_t u16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                      (static_cast<std::uint8_t>(bytes[at + 1]) << 8));
}

void put32(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void put16(std::string& out, std::uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

platform::Error bad(std::string message)
{
    return platform::makeError(Error::Code::InvalidInput, "not a usable WAV file: " + message);
}

} // namespace

platform::Result<MonoSound> parseWav(std::string_view bytes)
{
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE")
        return bad("no RIFF/WAVE header");
    std::uint16_t format = 0;
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint16_t bits = 0;
    std::string_view data;
    bool haveFormat = false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string_view id = bytes.substr(at, 4);
        const std::uint32_t length = u32(bytes, at + 4);
        at += 8;
        if (length > bytes.size() - at) {
            // A recorder cut off mid-write leaves a data length past the end: take what is there.
            if (id != "data")
                return bad("chunk '" + std::string(id) + "' runs past the end");
        }
        const std::string_view body =
            bytes.substr(at, std::min<std::size_t>(length, bytes.size() - at));
        if (id == "fmt ") {
            if (body.size() < 16)
                return bad("format chunk too short");
            format = u16(body, 0);
            channels = u16(body, 2);
            rate = u32(body, 4);
            bits = u16(body, 14);
            if (format == 0xFFFE && body.size() >= 26)
                format = u16(body, 24); // the sub-format of an extensible header
            haveFormat = true;
        } else if (id == "data") {
            data = body;
            break;
        }
        at += body.size() + (body.size() & 1);
    }
    if (!haveFormat)
        return bad("no format chunk");
    if (data.data() == nullptr)
        return bad("no data chunk");
    const bool pcm16 = format == 1 && bits == 16;
    const bool float32 = format == 3 && bits == 32;
    if (!pcm16 && !float32)
        return bad("only 16-bit PCM and 32-bit float samples are read");
    if (channels == 0 || channels > 32 || rate < 1000 || rate > 384000)
        return bad("channel count or sample rate out of range");

    const std::size_t frameBytes = std::size_t{channels} * (bits / 8);
    const std::size_t frames = data.size() / frameBytes;
    MonoSound sound;
    sound.sampleRate = rate;
    sound.samples.resize(frames);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        double sum = 0;
        for (std::size_t channel = 0; channel < channels; ++channel) {
            const std::size_t offset = frame * frameBytes + channel * (bits / 8);
            if (pcm16) {
                sum += static_cast<std::int16_t>(u16(data, offset)) / 32768.0;
            } else {
                const std::uint32_t raw = u32(data, offset);
                float value = 0;
                std::memcpy(&value, &raw, sizeof value);
                sum += std::isfinite(value) ? std::clamp(value, -1.0f, 1.0f) : 0.0f;
            }
        }
        sound.samples[frame] = static_cast<float>(sum / channels);
    }
    return sound;
}

platform::Result<MonoSound> readWav(const std::filesystem::path& file)
{
    auto bytes = platform::readFileBounded(file, kMaxWavFileSize);
    if (!bytes)
        return bytes.error();
    return parseWav(*bytes);
}

std::string encodeWav(const MonoSound& sound)
{
    const auto dataBytes = static_cast<std::uint32_t>(sound.samples.size() * 2);
    const auto rate = static_cast<std::uint32_t>(sound.sampleRate);
    std::string out = "RIFF";
    put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    put32(out, 16);
    put16(out, 1);
    put16(out, 1);
    put32(out, rate);
    put32(out, rate * 2);
    put16(out, 2);
    put16(out, 16);
    out += "data";
    put32(out, dataBytes);
    for (float sample : sound.samples) {
        const auto value =
            static_cast<std::int16_t>(std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767));
        put16(out, static_cast<std::uint16_t>(value));
    }
    return out;
}

MonoSound makeSweep(double sampleRate, double seconds, double from, double to)
{
    MonoSound sound;
    sound.sampleRate = sampleRate;
    const auto count = static_cast<std::size_t>(sampleRate * seconds);
    sound.samples.resize(count);
    const double growth = std::log(to / from) / seconds;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        // The phase of an exponential sweep is the integral of its frequency.
        const double phase = 2 * std::numbers::pi * from * (std::exp(growth * t) - 1) / growth;
        sound.samples[i] = static_cast<float>(0.5 * std::sin(phase));
    }
    return sound;
}

} // namespace companion
