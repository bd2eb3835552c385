// SPDX-License-Identifier: GPL-2.0-or-later
// Running the built program in the end-to-end tests.
#pragma once

#include "qktest.h"

#include <string>
#include <vector>

namespace vxtest {

// The directory list given to runs that name none, so that a run that falls
// through to the list never reaches the machine's own certificate directory.
inline const char noCertDir[] = "/nonexistent/vexlink-test";

// Runs vexlink; SSL_CERT_DIR is noCertDir unless options set it or unset it.
inline qk::RunResult vexlink(const std::vector<std::string> &args, qk::RunOptions options = {})
{
    std::vector<std::string> argv {VEXLINK_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    bool unset = false;
    for (const auto &name : options.unsetEnv) {
        unset |= name == "SSL_CERT_DIR";
    }
    if (!unset && options.env.count("SSL_CERT_DIR") == 0) {
        options.env["SSL_CERT_DIR"] = noCertDir;
    }
    return qk::run(argv, options);
}

} // namespace vxtest
