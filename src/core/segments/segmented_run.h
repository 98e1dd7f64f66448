#pragma once

// A converter's run in segments: the span is cut at source key frames (segment_plan.h), each
// video segment is converted by a worker process of its own, at most a given number at once,
// the sound and subtitles of the whole span by one more worker beside them, and the results
// are joined into the target by remuxing (segment_join.h). The target is written beside its
// final name and renamed once whole. The owner sees one run: one set of figures over all
// segments, its pause, resume and stop reaching every worker, one failure with the message of
// the segment that failed (a segment that fails is converted once more first).

#include <atomic>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/converter.h"
#include "jobs/worker_supervisor.h"
#include "segments/host_jobs.h"
#include "segments/segment_cache.h"
#include "segments/segment_plan.h"

namespace tw {

class TAVConverter::SegmentedRun {
public:
    SegmentedRun(TAVConverter& owner, int workers, int segmentSeconds);
    ~SegmentedRun();
    SegmentedRun(const SegmentedRun&) = delete;
    SegmentedRun& operator=(const SegmentedRun&) = delete;

    // On the converter's worker thread. Converts in segments and returns true, or returns false
    // having done and reported nothing when the run does not go in segments (it then converts
    // in one piece).
    bool Run();
    // The owner's pause, resume or stop reach every worker at once. Any thread.
    void ControlChanged();

private:
    class Job;
    class JoinLog;

    // Starts the jobs that may start now; with mutex_ held.
    void StartJobs();
    // Every job has ended; with mutex_ not held.
    void ClearJobs();
    // Looks at the jobs that ended; with mutex_ held.
    void CollectEnded();
    // The owner's figures from those of all jobs; posted to the owner's progress handler unless
    // post is false.
    void Report(bool post = true);
    void Finish(bool stopped);
    void Fail(const Job& job);
    jobs::Control Wanted();
    // To the owner's log, one line at a time; once: a line said before is not said again.
    void Log(int level, const std::string& text, bool once = false);

    // Takes what an earlier run left in folder_ when it was made from the same, else empties
    // it; writes the manifest. Throws EAVError when the folder cannot be written.
    void TakeKeptParts();
    // Starts checking the other computers (their versions), which opens the connections to
    // them. Before the plan: it runs alongside.
    void StartCheck();
    // Segments on other computers: starts parallel and the thread that hands it the waiting
    // segments, each once its request is made (and, unless the folder is shared, its source
    // span copied into folder_) and the check connected. Throws EAVError (nothing started).
    // Before the loop.
    void StartHosts();
    // That thread: runs the jobs and ends each hosted segment with its outcome.
    void RunHosts(std::vector<Job*> hosted, std::vector<segments::HostJobs::Job> hostJobs);
    // Returns once the check made the connections, knows some cannot be made, or the run
    // stops.
    void WaitForConnections();
    // Another thread while they run: stops their workers where they run while the run is
    // paused (holdHosts_), continues them otherwise; a computer may take its time to answer.
    void HoldHosts();

    // Notes a part converted whole in the manifest; false (with the job failed) when that
    // cannot be written. With mutex_ held.
    bool RecordFinished(Job& job);

    TAVConverter& owner_;
    const int workers_;
    const int64_t segmentUs_;
    // The converter's worker thread only.
    segments::SegmentPlan plan_;
    std::string folder_;
    segments::SegmentManifest manifest_;

    const Job* failedJob_ = nullptr;
    int64_t pausedUs_ = 0;

    std::mutex mutex_;  // guards jobs_ and each job's state and figures
    std::condition_variable changed_;
    std::vector<std::unique_ptr<Job>> jobs_;  // the rest (when there is one), then the segments
    std::atomic<bool> abort_{false};  // a job failed for good: all others stop (read by any)
    // The segments go to the computers of the owner's login file, run by hostJobs_ on
    // hostThread_ (joined before the jobs are cleared).
    const segments::HostChoice hosts_;
    const bool hosted_;
    std::unique_ptr<segments::HostLogins> logins_;  // while the jobs run
    std::exception_ptr loginsFailure_;              // why there are none
    segments::HostJobs hostJobs_;
    std::jthread hostThread_;
    std::jthread holdThread_;  // HoldHosts, joined once the hosted segments ended
    // Guarded by mutex_: whether the hosts' workers are to be held (the run is paused), a worker
    // started there since they were told (it is held as well), and the hold thread's end.
    bool holdHosts_ = false;
    bool holdAgain_ = false;
    bool holdEnd_ = false;
    std::mutex logMutex_;  // one log line at a time reaches the owner; guards logged_
    std::set<std::string> logged_;
    // The computers' versions, checked alongside the jobs' start (first to go: it logs), and
    // the places of those it could not reach in the logins (set by the check).
    std::future<void> hostCheck_;
    std::set<size_t> downLogins_;
};

}  // namespace tw
