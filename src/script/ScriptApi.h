// The script members the plug-in adds to the host class WaveSoundBuffer:
//
//   setMultiTrackMask(id, tracks, volume[, fadeMs])
//       tracks: void (all tracks), a track name, or an array of names.
//   setDelayMultiTrackMask(id, switchPoints, changes[, fadeMs])
//       switchPoints: a sample-frame position or an array of them (void is
//       position 0); changes: an array tracks, volume, tracks, volume, ...
//       The changes take effect at the first switch point a block reaches.
//   rebindMultiTrackID(currentId, newId)
//   multiTrackOpenCallbacks (read-only): the array of functions called as
//       callback(id, url, trackCount, namesByIndex, otherNames) whenever a
//       multi-track stream opens, in index order until one answers true.
//
// Streams are chosen by multi-track ID alone (case-insensitive). Result
// codes: 0; −1 while the script face is not linked; −1003 for an ID that is
// not a string or is empty, a changes argument that is not an object, or a
// tracks value of the wrong type ("setMultiTrackMask"); −1004 (from the
// binder) for too few arguments. An unknown ID answers 0, logs
// "VyMultiTrack: instance not found:<id>" and gives the script −1.
#pragma once

// Binds the members on the host's WaveSoundBuffer object (link true) or
// removes them (link false). True when no step failed; also true when the
// host has no WaveSoundBuffer object (nothing is done then).
bool RegisterScriptAPI(bool link);
