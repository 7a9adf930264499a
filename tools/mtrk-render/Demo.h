// --demo [DIR]: writes the demo set into DIR and renders it.
//
//   drums.opus bass.opus     Ogg Opus stems      (DemoStems.h)
//   pad.ogg lead.ogg         Ogg Vorbis stems
//   stems6.opus              drums, bass and pad in one 6-channel Ogg Opus file
//   demo.mtrk                the four stems, file form
//   demo.mchx                the three tracks of stems6.opus
//   inline-name.txt          the same four stems as an inline-form name
//   demo.timeline            pad fades in, the lead comes in on a bar line
//                            through a delayed switch, everything fades out
//
// then renders demo.mtrk with demo.timeline to demo.wav and demo.svg.
#pragma once

#include "Options.h"

#include <atomic>

namespace mtrk {

// `program` is how the tool was started, for the commands it suggests.
[[nodiscard]] int RunDemo(const Options& options, const std::string& program, const std::atomic<bool>* stop);

} // namespace mtrk
