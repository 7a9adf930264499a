// One thread renders a DC track block after block while another fires
// thousands of immediate and delayed gain changes. Every change must be
// heard exactly once: the output is the gain itself (DC 1.0), so it must be
// a run of each requested volume in order, and a delayed change's run must
// start exactly at its switch point.
#include "multitrack/MultiTrackDecoderTestSupport.h"

#include <atomic>
#include <random>
#include <thread>

namespace {

struct Change {
    float volume;
    bool delayed;
    std::uint64_t point; // for delayed changes
};

constexpr int kChanges = 1000;

} // namespace

TEST(MaskChangeStress, EveryChangeIsHeardOnceAtTheFrameItWasDue)
{
    MultiTrackDecoderBaseImpl* decoder = OpenOverFakeMixer(nullptr, DcListInfo(1, 1), {1.0f}, 0);
    const char16_t* const track[] = {u"t0"};

    std::atomic<std::uint64_t> framesRendered{0};
    // The render thread may not mix past this frame, which only grows: it
    // lets the script thread arm a delayed change before the block that
    // holds its point.
    std::atomic<std::uint64_t> renderBudget{4096};
    std::atomic<bool> done{false};
    std::vector<float> output;
    output.reserve(24'000'000);

    std::thread renderer([&] {
        std::mt19937 random(1);
        std::vector<float> block(2048);
        while (!done.load()) {
            const std::uint64_t budget = renderBudget.load();
            const std::uint64_t at = framesRendered.load();
            if (at >= budget) {
                std::this_thread::yield();
                continue;
            }
            const auto frames = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(budget - at, 1 + random() % 2048));
            std::uint32_t rendered = 0;
            if (decoder->Render(block.data(), frames, &rendered, nullptr) != S_OK || rendered != frames)
                break;
            output.insert(output.end(), block.begin(), block.begin() + frames);
            framesRendered.store(at + frames);
        }
    });

    std::mt19937 random(2);
    std::vector<Change> changes;
    for (int k = 0; k < kChanges; ++k) {
        const float volume = static_cast<float>(k + 2) / 4096.0f;
        if (random() % 2 == 0) {
            // The renderer runs while the change is made.
            renderBudget.store(std::max(renderBudget.load(), framesRendered.load() + 8192));
            decoder->SetTrackMask(track, 1, volume, 0);
            changes.push_back({volume, false, 0});
            // The block in flight now ends within 2048 frames; the frames after
            // it come from a block that began after the change.
            const std::uint64_t after = framesRendered.load() + 2048 + 1;
            renderBudget.store(std::max(renderBudget.load(), after + 4096));
            while (framesRendered.load() < after)
                std::this_thread::yield();
        } else {
            // The budget keeps the renderer at or before `budget`, so a point
            // past it is still ahead of the decoder's position.
            const std::uint64_t point = renderBudget.load() + 1 + random() % 3000;
            decoder->BeginDelayedMask();
            decoder->SetTrackMask(track, 1, volume, 0);
            decoder->CommitDelayedMask(&point, 1);
            changes.push_back({volume, true, point});
            renderBudget.store(point + 1 + random() % 4096);
            while (framesRendered.load() <= point)
                std::this_thread::yield();
        }
    }
    done.store(true);
    renderer.join();
    decoder->Release();

    // Cut the output into runs of equal value and match them to the changes.
    ASSERT_FALSE(output.empty());
    std::size_t frame = FirstFrameNotEqual(output, 1.0f);
    for (const Change& change : changes) {
        ASSERT_LT(frame, output.size()) << "change to " << change.volume << " never heard";
        ASSERT_EQ(output[frame], change.volume) << "at frame " << frame;
        if (change.delayed) {
            ASSERT_EQ(frame, change.point) << "delayed change heard off its point";
        }
        const std::vector<float> rest(output.begin() + static_cast<std::ptrdiff_t>(frame), output.end());
        frame += FirstFrameNotEqual(rest, change.volume);
    }
    EXPECT_EQ(frame, output.size()) << "a value no change asked for";
}
