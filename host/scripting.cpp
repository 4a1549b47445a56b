#include "host/scripting.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/utf8_text.h"
#include "settings/enumerations.h"

namespace orichalcumite {
namespace {

// Hosts that announce themselves with these signatures never script.
constexpr ps::OSType kHostWithoutScripting1 = ps::fourCC("PSP8");
constexpr ps::OSType kHostWithoutScripting2 = ps::fourCC("PSP9");

// A host whose getKeyProc never reports the end must not hang the plug-in. No sound descriptor
// comes near this many keys: we ask for 75.
constexpr int kMaxKeysRead = 65536;

bool readProcsUsable(const ps::ReadDescriptorProcs* p) {
  return p && p->readDescriptorProcsVersion == ps::kCurrentReadDescriptorProcsVersion &&
         p->numReadDescriptorProcs >= ps::kCurrentReadDescriptorProcsCount &&
         p->openReadDescriptorProc && p->closeReadDescriptorProc && p->getKeyProc &&
         p->getIntegerProc && p->getFloatProc && p->getBooleanProc && p->getEnumeratedProc &&
         p->getStringProc;
}

bool writeProcsUsable(const ps::WriteDescriptorProcs* p) {
  return p && p->writeDescriptorProcsVersion == ps::kCurrentWriteDescriptorProcsVersion &&
         p->numWriteDescriptorProcs >= ps::kCurrentWriteDescriptorProcsCount &&
         p->openWriteDescriptorProc && p->closeWriteDescriptorProc && p->putIntegerProc &&
         p->putFloatProc && p->putBooleanProc && p->putEnumeratedProc && p->putStringProc;
}

// Gives a descriptor handle back to the host. Without a disposal procedure the handle stays
// where it is: a leak is better than a handle we can no longer reach or free twice.
void disposeDescriptor(ps::FilterRecord& rec) {
  ps::PIDescriptorParameters& params = *rec.descriptorParameters;
  ps::HandleProcs* handles = rec.handleProcs;
  if (!params.descriptor || !handles || !handles->disposeProc) return;
  handles->disposeProc(params.descriptor);
  params.descriptor = nullptr;
}

void readValue(const ps::ReadDescriptorProcs& procs, ps::PIReadDescriptor reader, EffectSettings& s,
               const ParameterInfo& p) {
  switch (p.kind) {
    // setParameterNumber clamps every value into its parameter's range: a host or an action
    // file may hold anything, and the dialog's sliders could not have made it.
    case ParameterKind::integer:
    case ParameterKind::colourChannel: {
      int32_t value = 0;
      if (procs.getIntegerProc(reader, &value) == ps::noErr) setParameterNumber(s, p, value);
      break;
    }
    case ParameterKind::lightComponent: {
      double value = 0;
      if (procs.getFloatProc(reader, &value) == ps::noErr) setParameterNumber(s, p, value);
      break;
    }
    case ParameterKind::boolean: {
      ps::Boolean value = 0;
      if (procs.getBooleanProc(reader, &value) == ps::noErr)
        setParameterNumber(s, p, value ? 1 : 0);
      break;
    }
    case ParameterKind::enumerated: {
      ps::DescriptorEnumID code = 0;
      if (procs.getEnumeratedProc(reader, &code) != ps::noErr) break;
      // Index 0 lies outside every enumeration, so an unknown code keeps the previous value
      // (after the factory defaults: the factory value).
      const int index = enumIndexFromCode(p.enumeration, code);
      if (index != 0) setParameterNumber(s, p, index);
      break;
    }
    case ParameterKind::pictureName: {
      ps::Str255 text{};
      if (procs.getStringProc(reader, &text) != ps::noErr) break;
      // Length-prefixed to zero-terminated; the field holds 259 characters, more than 255.
      char name[sizeof(ps::Str255)] = {};
      std::memcpy(name, text + 1, text[0]);
      setText(s.*(p.textField), name);
      break;
    }
  }
}

ps::OSErr writeValue(const ps::WriteDescriptorProcs& procs, ps::PIWriteDescriptor writer,
                     const EffectSettings& s, const ParameterInfo& p) {
  switch (p.kind) {
    case ParameterKind::integer:
    case ParameterKind::colourChannel:
      return procs.putIntegerProc(writer, p.key, static_cast<int32_t>(parameterNumber(s, p)));
    case ParameterKind::lightComponent: {
      const double value = parameterNumber(s, p);
      return procs.putFloatProc(writer, p.key, &value);
    }
    case ParameterKind::boolean:
      return procs.putBooleanProc(writer, p.key, parameterNumber(s, p) != 0 ? 1 : 0);
    case ParameterKind::enumerated:
      return procs.putEnumeratedProc(
          writer, p.key, enumTypeCode(p.enumeration),
          enumCodeFromIndex(static_cast<int>(parameterNumber(s, p)), p.enumeration));
    case ParameterKind::pictureName: {
      const char* name = s.*(p.textField);
      if (name[0] == '\0') name = kNoPictureName;
      ps::Str255 text{};
      // A name longer than a Pascal string is cut on a character boundary: half a character
      // would make the text unreadable to whoever keeps the descriptor.
      const size_t length =
          utf8PrefixLength(std::string_view(name, strnlen(name, kTextCapacity)), 255);
      text[0] = static_cast<unsigned char>(length);
      std::memcpy(text + 1, name, length);
      return procs.putStringProc(writer, p.key, text);
    }
  }
  return ps::noErr;
}

}  // namespace

DescriptorKeyList descriptorKeyList() noexcept {
  DescriptorKeyList keys{};
  const auto table = parameterTable();
  for (size_t i = 0; i < table.size(); ++i) keys[i] = table[i].key;
  keys[table.size()] = 0;
  return keys;
}

bool scriptingUsable(const ps::FilterRecord& rec) noexcept {
  const ps::PIDescriptorParameters* params = rec.descriptorParameters;
  if (!params || params->descriptorParametersVersion != ps::kCurrentDescriptorParametersVersion)
    return false;
  if (rec.hostSig == kHostWithoutScripting1 || rec.hostSig == kHostWithoutScripting2) return false;
  return readProcsUsable(params->readDescriptorProcs) &&
         writeProcsUsable(params->writeDescriptorProcs);
}

bool descriptorPresent(ps::FilterRecord& rec) noexcept {
  // Opening the descriptor here would consume it: once its reader is closed the handle is
  // disposed of, and readDescriptor would find nothing. A non-null handle is what a host passes
  // exactly when it plays a descriptor back, and it is the handle readDescriptor opens.
  return scriptingUsable(rec) && rec.descriptorParameters->descriptor != nullptr;
}

void readDescriptor(ps::FilterRecord& rec, EffectSettings& s, bool& showDialogOnStart) noexcept {
  // An unusable host changes nothing at all: the picture names are only reset once there is a
  // descriptor to take them from, so a run without one keeps the names its pictures came from.
  if (!scriptingUsable(rec)) return;
  ps::PIDescriptorParameters& params = *rec.descriptorParameters;
  const ps::ReadDescriptorProcs& procs = *params.readDescriptorProcs;

  if (params.descriptor) {
    DescriptorKeyList keys = descriptorKeyList();
    ps::PIReadDescriptor reader = procs.openReadDescriptorProc(params.descriptor, keys.data());
    if (reader) {
      setText(s.environmentName, kNoPictureName);
      setText(s.textureName, kNoPictureName);
      // Keys the descriptor leaves out get their factory values.
      loadFactoryDefaults(s);
      ps::DescriptorKeyID key = 0;
      ps::DescriptorTypeID type = 0;
      int32_t flags = 0;
      for (int count = 0; count < kMaxKeysRead && procs.getKeyProc(reader, &key, &type, &flags);
           ++count) {
        if (const ParameterInfo* p = parameterByKey(key)) readValue(procs, reader, s, *p);
        key = 0;
      }
      // Errors of single values were handled as they came; the summary adds nothing.
      procs.closeReadDescriptorProc(reader);
      disposeDescriptor(rec);
    }
  }
  showDialogOnStart = params.playInfo == ps::plugInDialogDisplay;
}

void writeDescriptor(ps::FilterRecord& rec, const EffectSettings& s) noexcept {
  if (!scriptingUsable(rec)) return;
  ps::PIDescriptorParameters& params = *rec.descriptorParameters;
  const ps::WriteDescriptorProcs& procs = *params.writeDescriptorProcs;

  ps::PIWriteDescriptor writer = procs.openWriteDescriptorProc();
  if (!writer) return;
  ps::OSErr firstError = ps::noErr;
  for (const ParameterInfo& p : parameterTable()) {
    const ps::OSErr err = writeValue(procs, writer, s, p);
    if (firstError == ps::noErr) firstError = err;
  }
  ps::PIDescriptorHandle handle = nullptr;
  const ps::OSErr closeError = procs.closeWriteDescriptorProc(writer, &handle);
  if (firstError == ps::noErr && closeError == ps::noErr && handle) {
    params.descriptor = handle;
    params.recordInfo = ps::plugInDialogOptional;
    return;
  }
  // An incomplete descriptor would replay as factory values for the missing keys; record
  // nothing rather than that, and give back what the host made.
  if (handle && rec.handleProcs && rec.handleProcs->disposeProc)
    rec.handleProcs->disposeProc(handle);
}

}  // namespace orichalcumite
