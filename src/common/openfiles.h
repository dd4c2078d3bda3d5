#pragma once

// The usual limit of 1,024 open files is small for a program that listens on the network: a
// crowd of idle connections could take every descriptor, and then the log could be neither
// written nor moved. Programs raise their own limit as far as the system allows at start; the
// servers' connection caps then keep a wide margin for files.

namespace halyx {

// Raises the soft limit on open files to the hard limit (at most 65,536). Answers the limit now
// in force, or -1 when it cannot be read.
long RaiseOpenFileLimit();

} // namespace halyx
