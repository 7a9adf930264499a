// The host engine's free functions as the plug-in calls them. Each binds its
// host function by signature on first use (HostBinding.h); a function the
// host lacks raises the host's "unbound function" error instead.
//
// Names follow the host's; the namespace keeps them apart from the host's
// own definitions.
#pragma once

#include <vymultitrack/HostEngine.h>
#include <vymultitrack/PkqDispatch.h>

namespace hostapi {

// The host's global script object with one reference for the caller (who
// releases it), or null.
[[nodiscard]] iPKQDispatch2* HMRGetScriptDispatch();

// Append one line to the host log; the second marks it important.
void HMRAddLog(const tPKQString& text);
void HMRAddImportantLog(const tPKQString& text);

// The command-line option `name` (e.g. u"-opus_gain"): true when present,
// with its value stored into `value` (may be null to test presence only).
bool HMRGetCommandLine(const pkq_char* name, tPKQVariant* value);
// A number that changes whenever the host's command-line options change.
pkq_int HMRGetCommandLineArgumentGeneration();

// `format` with "%1" and "%2" replaced by `first` and `second`.
[[nodiscard]] tPKQString HMRFormatMessage(const pkq_char* format, const tPKQString& first,
                                          const tPKQString& second);

// Runs `tryBlock(data)`; on a host exception runs `catchBlock(data, desc)`;
// then `finallyBlock(data)` when it is not null.
void HMRDoTryBlock(tHMRTryBlockFunction tryBlock, tHMRCatchBlockFunction catchBlock,
                   tHMRFinallyBlockFunction finallyBlock, void* data);

// Writes `value` as decimal text into `buffer` (at least 12 code units,
// zero-terminated) and answers `buffer`.
pkq_char* PKQ_int_to_str(pkq_int value, pkq_char* buffer);
// Case-insensitive comparison by the host's rule: 0 when equal, else the
// sign of the difference. Neither argument may be null.
pkq_int PKQ_stricmp(const pkq_char* left, const pkq_char* right);

// A new host array / dictionary with one reference for the caller, or null.
[[nodiscard]] iPKQDispatch2* PKQCreateArrayObject();
[[nodiscard]] iPKQDispatch2* PKQCreateDictionaryObject();

// Applies the script operation `code` to `target` with `operand` (may be
// null for the operations that take none).
void PKQDoVariantOperation(pkq_int code, tPKQVariant& target, const tPKQVariant* operand);

// Reports to the host that the plug-in needs `signature`, which the host
// does not export. The host raises an error and the call does not return.
[[noreturn]] void HMRThrowPluginUnboundFunctionError(const char* signature);

} // namespace hostapi
