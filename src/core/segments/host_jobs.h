#pragma once

// Segment jobs run on several computers by GNU parallel over SSH. The computers are those of a
// login file in parallel's --sshloginfile form (one login a line, "N/" ahead of it for N jobs at
// once there, ":" for this computer). Each job is a plain command line: tidewell-convert, as
// found on the host's PATH, converting the request it is given (tidewell-convert --worker
// --request). Parallel retries a job that fails on another host, logs every attempt in its job log
// and stops the rest once a job has failed everywhere.
//
// Two ways for a host to reach its files: a shared folder (the segment folder and the source at
// the same path on every host; nothing is copied), or transfer: each job's source span goes to
// the host with it, into a working folder of its own, the converted part comes back, and the
// host's copies are removed. The job's request always goes on its command line.

#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "jobs/worker_process.h"
#include "segments/host_logins.h"

namespace tw::segments {

// The computers this process's conversions in segments use, besides this one. Chosen before
// conversions start (the command line's --hosts, the desktop program's options); a run reads
// it as it starts.
struct HostChoice {
    std::string loginFile;  // empty: this computer only
    bool sharedFolder = false;
};
void SetSegmentHosts(const HostChoice& choice);
HostChoice SegmentHosts();

// Writes logins (one a line) as a login file named name in this program's cache folder and
// returns its path. Throws EAVError with the system's reason.
std::string WriteLoginFile(const std::string& logins, const std::string& name);

// What a check of the computers found.
struct HostCheck {
    // The computers that cannot be reached, in lines for the log: their jobs go to the others.
    std::vector<std::string> unreachable;
    std::set<size_t> down;  // their places in the logins
    // The computers whose tidewell-convert was not started: its file is as it was when an
    // earlier check found this version.
    std::vector<std::string> unchanged;
};
// Whether a program whose file is as it was at an earlier check is trusted or started.
enum class EarlierChecks { Trust, Ignore };

// Tells the version of tidewell-convert on every computer of logins at once (this computer's
// through the program in workerFolder) and compares it with this program's version. Throws
// EAVError naming the computer when one has another version or none, when none can be reached,
// or when GNU parallel is not installed here; one that cannot be reached is only named.
HostCheck CheckHosts(const HostLogins& logins, const std::string& workerFolder,
                     EarlierChecks earlier = EarlierChecks::Trust);
// The same for the computers of a login file, each over a connection of its own.
HostCheck CheckHosts(const std::string& loginFile, const std::string& workerFolder,
                     EarlierChecks earlier = EarlierChecks::Trust);

class HostJobs {
public:
    struct Settings {
        const HostLogins* logins = nullptr;
        bool sharedFolder = false;
        std::string folder;        // the segment folder: requests, spans, parts and the job log
        std::string workerFolder;  // where this computer's tidewell-convert is
        std::string extension;     // of the parts, ".mp4"
    };
    // How a job ended for good: its last attempt.
    struct Ended {
        int exitValue = -1;  // -1: it never ran
        int signal = 0;
        std::string host;                    // ":" for this computer
        std::vector<std::string> lastLines;  // what it wrote on its standard error
    };
    // Called on the thread that runs Run.
    struct Events {
        std::function<void(size_t job, const std::string& line)> report;  // a report line
        std::function<void(const std::string& line)> log;                 // parallel's own words
        std::function<void(const std::string& line)> note;  // each attempt, once all ended
    };

    // A segment's job: its name and what makes its request (a request line of the worker
    // protocol) once it is its turn to go: its files may take a while to write, and the jobs
    // before it go meanwhile. Its files in the folder: NAME.request.json (its request, for
    // other schedulers), NAME.span.nut (its source span, when transferred) and NAME.partial +
    // extension (what it writes).
    struct Job {
        std::string name;
        std::function<std::string()> request;  // may throw EAVError
    };
    static std::string RequestFile(const std::string& name) { return name + ".request.json"; }
    static std::string SpanFile(const std::string& name) { return name + ".span.nut"; }
    static std::string JobLog() { return "jobs.log"; }

    // Starts parallel, which then waits for its jobs (it takes a while to start). Throws
    // EAVError when it cannot be started.
    void Start(const Settings& settings);
    // Starts parallel again, once Run ended, with the same settings (it reads the login file
    // anew). On the thread that runs Run. Throws EAVError when it cannot be started.
    void Restart();
    // Hands parallel the jobs, each once its request is made (on a thread of its own), and
    // runs them to their end (or Stop); one Ended for each. On the thread that reads events,
    // once Start returned. When a request cannot be made, no later job is handed over,
    // parallel is stopped, and that EAVError is thrown once it ended.
    std::vector<Ended> Run(const std::vector<Job>& jobs, const Events& events);
    // Ends parallel, which ends every job on every host; Run then removes the working folders
    // the ended jobs were sent into. Any thread.
    void Stop();
    bool Stopped() const { return stopped_.load(); }
    // Stops (held) or continues this run's workers on every computer, this one's included,
    // through the logins' connections; returns once every computer answered, a line for each
    // that could not be reached (or has no way to signal them). A worker that starts later is
    // not held: hold again once one reports its start. Any thread, once Start returned.
    std::vector<std::string> Hold(bool held) const;

private:
    void Launch();

    Settings settings_;
    std::string tag_;  // on this run's workers' command lines, and on no other's
    std::unique_ptr<jobs::WorkerProcess> process_;  // parallel, from Start to Run's end
    std::atomic<pid_t> pid_{-1};
    std::atomic<bool> stopped_{false};
};

}  // namespace tw::segments
