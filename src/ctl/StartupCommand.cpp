#include "ctl/Commands.h"

#include <ostream>

namespace brenvik::ctl {

int runStartup(Invocation& call) {
    call.err << "brenvikctl: this command is not available in this build\n";
    return 1;
}

} // namespace brenvik::ctl
