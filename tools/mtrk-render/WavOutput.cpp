#include "WavOutput.h"

#include <host/WavWriter.h>

#include <bit>
#include <vector>

namespace mtrk {
namespace {

static_assert(std::endian::native == std::endian::little, "samples are written as they lie in memory");

constexpr std::uint64_t kRiffSizeOffset = 4;
constexpr std::uint64_t kLargestData = 0xFFFFFFFFull - 36; // RIFF size of the plain layout must fit 32 bits

std::vector<std::uint8_t> LittleEndian32(std::uint64_t value)
{
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

} // namespace

bool WavOutput::Open(const std::filesystem::path& target, std::uint16_t channels, std::uint32_t rate, bool float32,
                     std::string& error)
{
    frameBytes_ = channels * (float32 ? 4u : 2u);
    dataBytes_ = 0;
    const std::vector<std::uint8_t> header = float32 ? host::WriteWavFloat({}, channels, rate)
                                                     : host::WriteWav16({}, channels, rate);
    return file_.Open(target, error) && file_.Write(header.data(), header.size(), error);
}

bool WavOutput::Write(const void* samples, std::uint32_t frames, std::string& error)
{
    const std::uint64_t bytes = static_cast<std::uint64_t>(frames) * frameBytes_;
    if (dataBytes_ + bytes > kLargestData) {
        error = "cannot write ";
        error.append(file_.Target().string()).append(": more than a WAV file can hold (4 GiB); use --duration");
        file_.Abandon();
        return false;
    }
    dataBytes_ += bytes;
    return file_.Write(samples, static_cast<std::size_t>(bytes), error);
}

bool WavOutput::Commit(std::string& error)
{
    const std::uint64_t dataSizeOffset = host::WavOffsetsFor(host::WavHeaderKind::Plain).dataChunk + 4;
    const auto riffSize = LittleEndian32(dataSizeOffset + 4 + dataBytes_ - 8);
    const auto dataSize = LittleEndian32(dataBytes_);
    return file_.WriteAt(kRiffSizeOffset, riffSize.data(), 4, error) &&
           file_.WriteAt(dataSizeOffset, dataSize.data(), 4, error) && file_.Commit(error);
}

} // namespace mtrk
