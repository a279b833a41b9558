#pragma once

// The one entry point for errors that nothing else caught: creation steps, event handlers, the
// wash worker and the graphs hand them here, and the crash-reporting layer installs the handler.
// It lies below the pages so that they can report without knowing the main window.

#include <exception>
#include <functional>

namespace brenvik {

using UnexpectedErrorHandler = std::function<void(std::exception_ptr)>;

// Installs the handler every unexpected error goes to; an empty one restores the default, which
// writes the error to the standard error stream.
void setUnexpectedErrorHandler(UnexpectedErrorHandler handler);

void reportUnexpectedError(std::exception_ptr error);

} // namespace brenvik
