// Carries out timeline actions through the WaveSoundBuffer members, with
// the arguments a script would pass: "setMultiTrackMask" (id, tracks,
// volume[, fade]), "setDelayMultiTrackMask" (id, points, [tracks, volume,
// ...][, fade]) and "rebindMultiTrackID" (id, new id). Keeps a record of
// what it did for the plot and the report.
#pragma once

#include "PluginSession.h"
#include "RenderLoop.h"

#include <functional>
#include <string>
#include <vector>

namespace mtrk {

struct ActionRecord {
    const TimelineAction* action = nullptr;
    std::uint64_t outputFrame = 0;
    std::vector<std::uint64_t> points; // Delay: the switch points passed, stream frames
    bool accepted = true;              // false when the member refused it or did not know the ID
    std::string what;                  // "mask pad -> 1 over 4000 ms", as reported
};

class ScriptActions final : public ActionPerformer {
public:
    // `say` receives one line per action (and per plug-in log line);
    // `skip` (may be null) names a timeline action to leave out.
    ScriptActions(PluginSession& session, std::u16string id, const StreamFormat& format, const Tempo& tempo,
                  std::function<void(const std::string&)> say, const TimelineAction* skip = nullptr);

    void Perform(const ScheduledAction& action, std::uint64_t outputFrame, std::uint64_t streamPosition) override;

    [[nodiscard]] const std::vector<ActionRecord>& Records() const { return records_; }

private:
    std::vector<std::uint64_t> SwitchPoints(const ScheduledAction& action, std::uint64_t streamPosition) const;
    void Report(const ActionRecord& record, const host::CallResult& result);

    PluginSession& session_;
    std::u16string id_;
    StreamFormat format_;
    Tempo tempo_;
    std::function<void(const std::string&)> say_;
    const TimelineAction* skip_;
    std::vector<ActionRecord> records_;
};

// "drums", "drums,bass" or "*", as the timeline wrote it.
[[nodiscard]] std::string DescribeTracks(const TrackSelection& tracks);

} // namespace mtrk
