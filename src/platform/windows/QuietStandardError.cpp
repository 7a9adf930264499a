#include <platform/QuietStandardError.h>

// The Windows sound APIs print nothing on standard error: nothing to hide.
namespace platform {

QuietStandardError::QuietStandardError() = default;

QuietStandardError::~QuietStandardError() = default;

} // namespace platform
