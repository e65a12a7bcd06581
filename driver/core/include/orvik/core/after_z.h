#pragma once

namespace orvik::core {

// The step that runs after a printed Z when [Sistema] GERA_RFD_REDZ is "1": it converts the
// day's detail tape of reduction `crz` into the RFD file and answers the conversion's code.
// The Z routine lives below the RFD conversion, so the conversion registers itself here at
// load; until one is registered the Z logs that no RFD file was made.
using AfterZConversion = int (*)(int crz);

// Registers the conversion (nullptr removes it).
void SetAfterZConversion(AfterZConversion conversion);

// The registered conversion, or nullptr.
AfterZConversion GetAfterZConversion();

}  // namespace orvik::core
