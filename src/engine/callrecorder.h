#pragma once

#include <memory>

#include <QString>

class Settings;
class SipDialer;

// Records a call as one stereo WAV file in the recordings folder (setting UserDir), one side of the
// conversation per channel. While the call runs each side goes to its own mono file (the final
// path + "-l" / "-r"); stop() merges them into the final file and removes them. Recording starts
// when the call's audio runs (at once when it already does) and ends with the call; a file
// is never left half-written under the final name: at worst the two per-side files remain.
// UI thread only.
class CallRecorder final
{
public:
    // Left: what the call delivers (the far end); right: the local microphone (silence while the
    // microphone is muted). Nothing else the sound card plays is recorded.
    CallRecorder(Settings &settings, SipDialer *dialer, int call_id);
    // Two calls against each other (a call bridged with the external sound device): left the far
    // end of call a, right the far end of call b.
    CallRecorder(Settings &settings, SipDialer *dialer, int call_a, int call_b);
    // Stops the recording when stop() has not run.
    ~CallRecorder();
    CallRecorder(const CallRecorder &) = delete;
    CallRecorder &operator=(const CallRecorder &) = delete;

    // Ends the recording and produces the stereo file; later calls do nothing.
    void stop();

    // Full path of the final stereo file.
    QString filePath() const;

    // The engine reports each change of its microphone switch here.
    static void microphoneMuted(const SipDialer *dialer, bool muted);
    // Logs the per-side files of recordings that never finished in the recordings folder.
    static void logLeftovers(const Settings &settings);

    struct Private;

private:
    std::unique_ptr<Private> d;
};
