// Scripting: the effect exchanged with the host as a descriptor, so that a run can be recorded
// into an action and played back. Start reads the host's descriptor, Finish hands one back.
//
// Every function here runs on the host's thread inside a PluginMain call, talks to the host
// only through the descriptor procedures of `rec.descriptorParameters` (and the handle
// procedures to dispose of a consumed descriptor), and never throws.
#pragma once

#include <array>

#include "protocol/filter_protocol.h"
#include "settings/effect_settings.h"
#include "settings/parameter_table.h"

namespace orichalcumite {

// The keys handed to the host when a descriptor is opened for reading: every parameter in
// descriptor order, ended by a zero code. The host zeroes each key it returns, so a reader
// needs a fresh, writable copy.
using DescriptorKeyList = std::array<ps::DescriptorKeyID, kDescriptorKeyCount + 1>;
DescriptorKeyList descriptorKeyList() noexcept;

// True when the host's descriptor procedures may be used: descriptorParameters present with
// version 0, a read table of version 0 with at least 18 procedures, a write table of version 0
// with at least 16, every procedure this file calls non-null, and a host whose signature is
// neither "PSP8" nor "PSP9" (those never script).
bool scriptingUsable(const ps::FilterRecord& rec) noexcept;

// True when the host passes a descriptor to apply: scripting is usable and the descriptor handle
// is not null. The descriptor itself is not opened: reading consumes a descriptor, so opening
// it here would leave nothing for readDescriptor. A descriptor that is present but empty thus
// still stands in for the cached settings (readDescriptor then gives the factory defaults). Run
// initialisation uses this to decide whether the cached last settings are loaded.
bool descriptorPresent(ps::FilterRecord& rec) noexcept;

// Applies the host's descriptor to `s` (Start). When scripting is not usable nothing changes,
// `showDialogOnStart` included. Otherwise, when a descriptor is present and the host opens it:
// both picture names become "<none>", the factory defaults are loaded, and every known key
// overwrites its field (colour channels × 256, enumerations by code; an enumerated code we do
// not know keeps the field's previous value; a value the host fails to deliver is skipped;
// unknown keys are skipped). Numbers outside their parameter's range are clamped into it and
// a light component that is not a number takes its factory value (setParameterNumber), so a
// later Finish records the clamped values. The reader is closed and the consumed descriptor
// disposed of and cleared. Finally `showDialogOnStart` is set to whether the host's play-info asks
// for the dialog to be displayed. Finding and loading the named pictures is the caller's job.
void readDescriptor(ps::FilterRecord& rec, EffectSettings& s, bool& showDialogOnStart) noexcept;

// Hands the host a descriptor holding all 75 parameters of `s` (Finish): integers as "long",
// light components as "doub" unchanged, flags as "bool", enumerations as "enum" with their
// type, picture names as strings ("<none>" when empty; at most 255 bytes, cut on a UTF-8
// character boundary). On success the new handle goes to descriptorParameters->descriptor and
// recordInfo becomes 0. Does nothing when scripting is not usable, and stores nothing when the
// host fails to make the descriptor.
void writeDescriptor(ps::FilterRecord& rec, const EffectSettings& s) noexcept;

}  // namespace orichalcumite
