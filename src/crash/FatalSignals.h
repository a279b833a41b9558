#pragma once

// The last resort for faults that end the process (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT):
// a minimal report written with async-signal-safe calls only, after which the signal's default
// action runs as if nothing had been caught.

namespace brenvik::crash {

// Makes the reports folder, keeps it open and prepares the report's fixed header, then installs
// the handlers (on an alternate stack, so that a stack overflow is reported too). Calling it again
// re-reads the folder from the environment. False when the folder cannot be made; the handlers
// are not installed then.
bool installFatalSignalHandlers();

} // namespace brenvik::crash
