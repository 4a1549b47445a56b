// The user's own state between runs: the last effect, the undo copy, the picture paths and
// the memory-dot map.
//
// Stand-ins until persistent user state is built (the next piece of work, which fills these
// in beside the run they serve): nothing is kept between runs yet, so the effect Prepare
// loaded (factory defaults) stands.
#pragma once

namespace orichalcumite {

struct EffectSettings;

// Start of a run: clears the picture names and, unless the host passed a scripting
// descriptor, restores the last effect.
void initialiseRun(EffectSettings& s, bool descriptorPresent);
// End of a run (Finish, cancel, refusal): writes the memory-dot map.
void releaseRun(const EffectSettings& s);
// The undo copy taken before the dialog opens.
void takeDialogUndoStep(const EffectSettings& s);
// Written after a successful run: the last effect, and the picture paths.
void saveCachedSettings(const EffectSettings& s);
void storePicturePaths(const EffectSettings& s);

}  // namespace orichalcumite
