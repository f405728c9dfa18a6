#pragma once
// The plays the system starts (the scheduler's, the alarm's and the interface's), over the
// player, each recorded in the play log.
#include <memory>
#include <string>

#include "audio/logged_play.h"
#include "audio/player.h"
#include "scheduling/clock.h"
#include "scheduling/sound_starter.h"
#include "storage/play_log.h"

namespace tollwick {

class PlayerSounds : public SoundStarter {
public:
    // Every reference, and `metrics` and `alerts` when given, must outlive every play.
    PlayerSounds(Player& player, PlayLog& log, const Clock& clock, Metrics* metrics = nullptr,
                 AlertSink* alerts = nullptr)
        : _player(player), _log(log), _clock(clock), _metrics(metrics), _alerts(alerts) {}

    std::shared_ptr<PlayHandle> play(PlayRequest request, const PlayOrigin& origin) override;
    void record(const std::string& songId, const std::string& songName, const PlayOrigin& origin,
                PlayOutcome outcome, const std::string& detail) override;

private:
    // The log entry of a play of `songId` (named `songName`) from `origin`, not yet written.
    PlayLogEntry entryOf(const std::string& songId, const std::string& songName, const PlayOrigin& origin,
                         LocalMoment& lateFrom) const;

    Player& _player;
    PlayLog& _log;
    const Clock& _clock;
    Metrics* _metrics;
    AlertSink* _alerts;
};

} // namespace tollwick
