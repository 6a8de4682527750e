#pragma once

#include <QString>

namespace kelvo {

// Starts kelvo again after a factory reset, once the current process has gone.
class Relauncher {
  public:
    virtual ~Relauncher() = default;
    // Starts the relaunch; false when it could not be started.
    virtual bool relaunch() = 0;
};

// Runs `/bin/sh -c 'sleep 1; exec "$0"' <executable>` in a new session, so the new instance
// starts one second later, after this process has quit. The default executable is this
// process's own (/proc/self/exe).
class ShellRelauncher : public Relauncher {
  public:
    explicit ShellRelauncher(QString executable = {});
    bool relaunch() override;
    // The process id of the last shell started, or 0.
    int lastPid() const { return lastPid_; }

  private:
    QString executable_;
    int lastPid_ = 0;
};

}  // namespace kelvo
