#pragma once

// The worker's side of the protocol (tidewell-convert --worker): one request read from
// inputFd, the conversion run by a converter of this process, its events reported on outputFd
// as they happen, the control lines that follow the request obeyed. The end of the input (the
// parent gone) stops the run, which still finishes its files.
//
// Returns the exit status: 0 once a run was reported to its end (converted or stopped), 1 when
// that run failed, 2 when the request was refused (one error line, nothing else).
//
// Not controlled (a request read from a file, for a job another program runs): nothing is read
// after the request, and only a signal ends the run early.

namespace tw::jobs {

int RunWorker(int inputFd, int outputFd, bool controlled = true);

}  // namespace tw::jobs
