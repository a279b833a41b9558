#include "common/UnexpectedError.h"

#include <iostream>

namespace brenvik {

namespace {

UnexpectedErrorHandler& installedHandler() {
    static UnexpectedErrorHandler handler;
    return handler;
}

} // namespace

void setUnexpectedErrorHandler(UnexpectedErrorHandler handler) {
    installedHandler() = std::move(handler);
}

void reportUnexpectedError(std::exception_ptr error) {
    if (installedHandler()) {
        installedHandler()(error);
        return;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::cerr << "brenvik: unexpected error: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "brenvik: unexpected error\n";
    }
}

} // namespace brenvik
