#pragma once

// Stack frames of the running thread and their description in words: function, source line and
// module, as far as the binaries' symbols allow.

#include <string>
#include <vector>

namespace brenvik::crash {

// The return addresses of the calling thread, innermost first, leaving out `skip` frames of the
// caller's own (this function's frame is never included). At most 64 frames.
std::vector<void*> captureFrames(int skip = 0);

// One line per frame: "#N 0xADDRESS function at file:line (module)". Names come from the
// system's addr2line where it is installed and the module has symbols, otherwise from the dynamic
// symbol table; an address that nothing names is shown bare.
std::vector<std::string> describeFrames(const std::vector<void*>& frames);

// A mangled C++ name in readable form; the name itself when it cannot be demangled.
std::string demangle(const char* name);

} // namespace brenvik::crash
