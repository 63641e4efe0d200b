// A private PulseAudio server for end-to-end tests of the sound-card input,
// on a machine without a sound card: a null sink "vsink" at 22050 Hz stereo
// plays what a test sends (the radio receiver), and the remap source "vmic"
// on its monitor, described as "VirtualMic", is the capture device that Qt
// lists (Qt hides monitor sources). A keep-alive recorder keeps the idle
// sink rendering steadily instead of in bursts of two seconds.
//
// Everything lives in a folder of its own (socket, runtime folder, home),
// and the process environment is pointed at it, so parallel tests never meet
// and no user's audio server is touched. Works as root (as CI runs).
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tolvana::test {

class PulseServer {
public:
    PulseServer() = default;
    /// Stops the server and its helpers and removes the folder.
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    /// Starts the server and points this process's XDG_RUNTIME_DIR, HOME and
    /// PULSE_SERVER at it (children inherit them). False, with the reason in
    /// error(), when pulseaudio is missing or does not come up.
    bool start();
    const std::string& error() const { return m_error; }
    const std::string& dir() const { return m_dir; }

    /// Runs pactl with `args`; returns its exit code.
    int pactl(const std::vector<std::string>& args) const;
    /// Plays a sound file into the sink and waits until it has been played.
    bool play(const std::string& file) const;
    /// Starts playing in the background; returns the player's process id.
    pid_t playInBackground(const std::string& file) const;
    /// Unloads the capture device (as if it were unplugged).
    bool removeCaptureDevice() const;
    /// Brings it back.
    bool restoreCaptureDevice() const;
    /// Ends the server abruptly, as a crash would.
    void kill();

    static constexpr const char* kCaptureDevice = "VirtualMic";

private:
    std::string m_dir;
    std::string m_error;
    pid_t m_server = -1;
    pid_t m_keepAlive = -1;
};

/// Starts `argv[0]` (searched in PATH) with `argv`, output to /dev/null;
/// it is killed should the test process end without stopping it.
pid_t spawn(const std::vector<std::string>& argv);
/// Waits for a child; returns its exit code, or 128 + signal.
int waitFor(pid_t pid);

} // namespace tolvana::test
