// The main dialog: the user shapes the effect against a live preview and accepts or cancels.
#pragma once

namespace orichalcumite {

struct EffectSettings;
class PreviewService;
class UserMessages;

// Runs the dialog modally over `settings`, rendering previews through `preview` and telling
// the user things through `messages`. True when the user accepted the effect.
bool runMainDialog(PreviewService& preview, UserMessages& messages, EffectSettings& settings);

}  // namespace orichalcumite
