// The call log: when the environment variable STANDIN_CALL_LOG names a file
// as the library is loaded, the file is created empty then, and every entry
// point call appends its name and a line end to it. A test can so tell a
// library that was loaded but never called from one that was never loaded.
#pragma once

namespace standin {

constexpr const char* kCallLogVariable = "STANDIN_CALL_LOG";

// Appends `entryPoint` to the call log, if there is one. Never throws.
void LogCall(const char* entryPoint) noexcept;

}  // namespace standin
