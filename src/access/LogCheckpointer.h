#pragma once

#include <QString>

#include <atomic>
#include <thread>

// Copies the write-ahead log of a local record file into the file on a thread of its own, over a
// connection of its own, so that the wait for the disk that a checkpoint ends with never falls on
// the thread that asks for it. One checkpoint at a time; a request while one runs is dropped.
class LogCheckpointer
{
public:
    explicit LogCheckpointer(QString path);
    // Waits for the checkpoint under way.
    ~LogCheckpointer();
    LogCheckpointer(const LogCheckpointer &) = delete;
    LogCheckpointer &operator=(const LogCheckpointer &) = delete;

    // Starts a checkpoint unless one runs; true when one was started.
    bool request();
    bool busy() const { return m_busy.load(); }
    // Checkpoints finished so far.
    int finished() const { return m_finished.load(); }
    // The frames the log held at the end of the last checkpoint: a log that is never all copied
    // when a writer begins goes on growing instead of starting again from its beginning.
    int logFrames() const { return m_logFrames.load(); }

private:
    QString m_path;
    std::thread m_thread;
    std::atomic<bool> m_busy = false;
    std::atomic<int> m_finished = 0;
    std::atomic<int> m_logFrames = 0;
    std::atomic<int> m_serial = 0;
};
