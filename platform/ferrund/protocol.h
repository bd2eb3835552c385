// SPDX-License-Identifier: GPL-2.0-or-later
// The invoker protocol: how a client asks a booster to start an application.
//
// The invoker connects to the booster's Unix stream socket (its socket path,
// e.g. "/tmp/boosty") and sends one launch request. Every integer is a 32-bit
// unsigned value in host byte order (both ends run on the same machine); a
// string is its length as such an integer followed by that many bytes, with
// no terminating NUL and no NUL inside.
//
//   request   "FRNV"  version (1)  flags
//             argc  argv[0] ... argv[argc-1]     argv[0]: path of the program
//             envc  env[0] ... env[envc-1]       "NAME=value" entries
//             cwd
//   flags     FERRUND_WAIT_EXIT: keep the connection and report the exit status
//
// The booster answers a request it accepts with
//
//   "ACPT"  pid          the process that runs the application
//
// and, for a request with FERRUND_WAIT_EXIT, once the application's main has
// returned,
//
//   "EXIT"  status       0-255
//
// A request that is malformed or breaks a limit below is answered by closing
// the connection without "ACPT". A connection closed after "ACPT" but before
// "EXIT" means the application ended abnormally.
#pragma once

#define FERRUND_PROTOCOL_VERSION 1u
#define FERRUND_WAIT_EXIT 0x1u

#define FERRUND_MAX_ARGS 1024u
#define FERRUND_MAX_ENV 4096u
#define FERRUND_MAX_STRING 65536u

#define FERRUND_MAGIC_REQUEST "FRNV"
#define FERRUND_MAGIC_ACCEPT "ACPT"
#define FERRUND_MAGIC_EXIT "EXIT"
